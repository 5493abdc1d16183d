// Request bodies: one JSON object, at most kMaxBody bytes, holding only the fields a request takes,
// each of its type. Anything else is refused with a reason before the LTP server is asked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ltpweb {

constexpr std::size_t kMaxBody = 1 << 20;

enum class JsonType { String, Integer, Number, Boolean, Date };

struct BodyField {
    std::string name;
    JsonType type;
    bool required;
};

// The body as an object; throws ApiError (400, or 413 past kMaxBody) naming the first fault.
nlohmann::ordered_json ParseBody(const std::string& text, const std::vector<BodyField>& fields);

// "string", "integer", ... as OpenAPI names the type.
const char* OpenApiType(JsonType type);

} // namespace ltpweb
