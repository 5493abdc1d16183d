#include "ltpadmin/ltp/errors.h"

namespace ltp {
namespace {

std::string RefusedText(int status, const std::string& reason) {
    std::string text = "the server refused the request: " + std::to_string(status);
    if (!reason.empty())
        text += " " + reason;
    return text;
}

std::string InvalidText(const std::string& argument, char character) {
    const char* shown = character == '\r'   ? "carriage return"
                        : character == '\n' ? "line feed"
                        : character == '|'  ? "\"|\""
                        : character == '<'  ? "\"<\""
                        : character == '\0' ? "a zero byte"
                                            : "a double-byte character cut short";
    return argument + " holds " + shown + ", which the protocol cannot carry; nothing was sent";
}

} // namespace

Error::Error(const std::string& what) : std::runtime_error(what) {}

Refused::Refused(int status, std::string reason)
    : Error(RefusedText(status, reason)), status_(status), reason_(std::move(reason)) {}

TransportError::TransportError(Kind kind, std::string system_message, const std::string& what)
    : Error(system_message.empty() ? what : what + ": " + system_message), kind_(kind),
      system_message_(std::move(system_message)) {}

const char* to_string(TransportError::Kind kind) noexcept {
    switch (kind) {
        case TransportError::Kind::connect:
            return "connect";
        case TransportError::Kind::closed:
            return "closed";
        case TransportError::Kind::timeout:
            return "timeout";
        case TransportError::Kind::send:
            return "send";
        case TransportError::Kind::receive:
            return "receive";
        case TransportError::Kind::limit:
            return "limit";
    }
    return "unknown";
}

InvalidInput::InvalidInput(std::string argument, char character)
    : Error(InvalidText(argument, character)), argument_(std::move(argument)),
      character_(character) {}

ProtocolError::ProtocolError(const std::string& what) : Error(what) {}

} // namespace ltp
