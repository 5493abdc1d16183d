"""The failures of ltpadmin: every one is an Error."""


class Error(Exception):
    """Base of every failure of ltpadmin; str() says what happened in a sentence."""


class Refused(Error):
    """The server answered with a status other than 200 (a lookup's 404 is None instead)."""

    def __init__(self, message: str, status: int, reason: str) -> None:
        super().__init__(message)
        self.status = status
        self.reason = reason


class TransportError(Error):
    """The exchange with the server failed; the next call connects again.

    kind is "connect", "closed", "timeout", "send", "receive" or "limit"; system_message is the
    system's text for the failure, or empty.
    """

    def __init__(self, message: str, kind: str, system_message: str = "") -> None:
        super().__init__(message)
        self.kind = kind
        self.system_message = system_message


class InvalidInput(Error):
    """A text holds a character the protocol cannot carry ("|", "<" or a line end); nothing
    was sent. argument names the argument or field, character is the character."""

    def __init__(self, message: str, argument: str, character: str) -> None:
        super().__init__(message)
        self.argument = argument
        self.character = character


class ProtocolError(Error):
    """The server's response cannot be used by the operation."""
