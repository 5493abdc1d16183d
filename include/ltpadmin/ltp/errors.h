/// @file
/// The exceptions of the modern interface: every failure is an Error, and its subclass says
/// whether the server refused, the exchange failed, the input cannot be carried or the answer
/// cannot be used.
#pragma once

#include <ltpadmin/export.h>

#include <stdexcept>
#include <string>

namespace ltp {

/// @name Errors
/// Every failure is an exception derived from Error; what() says what happened in a sentence.
/// @{

/// Base of every error of the interface.
class LTPADMIN_API Error : public std::runtime_error {
public:
    explicit Error(const std::string& what);
};

/// The server answered with a status other than 200.
class LTPADMIN_API Refused : public Error {
public:
    Refused(int status, std::string reason);
    /// The status code, such as 404 or 409.
    int status() const noexcept { return status_; }
    /// The reason text after the code, without the blank before it.
    const std::string& reason() const noexcept { return reason_; }

private:
    int status_;
    std::string reason_;
};

/// The exchange with the server failed; the connection is closed (the next call reconnects).
class LTPADMIN_API TransportError : public Error {
public:
    enum class Kind {
        connect, ///< the host could not be resolved or the connection was not accepted in time
        closed,  ///< the server closed the connection before the response was whole
        timeout, ///< nothing moved for request_timeout
        send,    ///< sending failed
        receive, ///< receiving failed
        limit,   ///< the response or its records passed a limit of Options
    };
    TransportError(Kind kind, std::string system_message, const std::string& what);
    Kind kind() const noexcept { return kind_; }
    /// The system's text for the failure ("Connection refused"), empty when there is none.
    const std::string& system_message() const noexcept { return system_message_; }

private:
    Kind kind_;
    std::string system_message_;
};

/// The name of a TransportError kind: "connect", "closed", "timeout", "send", "receive", "limit".
LTPADMIN_API const char* to_string(TransportError::Kind kind) noexcept;

/// A text holds a character the protocol cannot carry ("|", "<" or a line end); nothing was sent.
class LTPADMIN_API InvalidInput : public Error {
public:
    InvalidInput(std::string argument, char character);
    /// The argument or field that holds it: "user_id", "text2", "password", ...
    const std::string& argument() const noexcept { return argument_; }
    /// The character that cannot be carried.
    char character() const noexcept { return character_; }

private:
    std::string argument_;
    char character_;
};

/// The server's response cannot be used by the operation (an add without the new number, a
/// value element missing, no status line).
class LTPADMIN_API ProtocolError : public Error {
public:
    explicit ProtocolError(const std::string& what);
};
/// @}

} // namespace ltp
