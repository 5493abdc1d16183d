// A request that cannot be answered as asked: the HTTP status, a short machine-readable kind and
// the reason for people. Sent as {"error": kind, "status": code, "reason": text}, where status is
// the LTP server's status code when the server refused, else the HTTP status.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace ltpweb {

struct ApiError : std::runtime_error {
    ApiError(int httpStatus, std::string errorKind, std::string why, int ltpStatus = 0)
        : std::runtime_error(why), http(httpStatus), kind(std::move(errorKind)),
          status(ltpStatus != 0 ? ltpStatus : httpStatus) {}
    int http;
    std::string kind;
    int status;
};

inline ApiError BadRequest(std::string why) {
    return ApiError(400, "bad_request", std::move(why));
}

inline nlohmann::ordered_json ErrorBody(const ApiError& e) {
    return {{"error", e.kind}, {"status", e.status}, {"reason", e.what()}};
}

} // namespace ltpweb
