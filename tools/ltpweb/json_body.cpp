#include "tools/ltpweb/json_body.h"

#include <cmath>
#include <limits>

#include "tools/common/json_numbers.h"
#include "tools/ltpweb/api_error.h"

namespace ltpweb {
namespace {

// Bodies are flat objects; refusing deep nesting before parsing keeps a hostile body from costing
// stack or memory.
bool NestedTooDeep(const std::string& text, int limit) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > limit)
                return true;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

bool HasType(const nlohmann::ordered_json& v, JsonType type) {
    switch (type) {
        case JsonType::String:
        case JsonType::Date:
            return v.is_string();
        case JsonType::Integer: {
            std::int32_t n = 0;
            return ltptools::WireInteger(v, n);
        }
        case JsonType::Number:
            return v.is_number() && std::isfinite(v.get<double>());
        case JsonType::Boolean:
            return v.is_boolean();
    }
    return false;
}

} // namespace

const char* OpenApiType(JsonType type) {
    switch (type) {
        case JsonType::String:
        case JsonType::Date:
            return "string";
        case JsonType::Integer:
            return "integer";
        case JsonType::Number:
            return "number";
        case JsonType::Boolean:
            return "boolean";
    }
    return "string";
}

nlohmann::ordered_json ParseBody(const std::string& text, const std::vector<BodyField>& fields) {
    if (text.size() > kMaxBody)
        throw ApiError(413, "too_large", "the body is larger than 1 MiB");
    if (NestedTooDeep(text, 2))
        throw BadRequest("the body nests too deep");
    nlohmann::ordered_json body = nlohmann::ordered_json::parse(text, nullptr, false);
    if (body.is_discarded())
        throw BadRequest("the body is not valid JSON");
    if (!body.is_object())
        throw BadRequest("the body must be a JSON object");
    for (const auto& item : body.items()) {
        const BodyField* field = nullptr;
        for (const BodyField& f : fields)
            if (f.name == item.key())
                field = &f;
        if (!field)
            throw BadRequest("unknown field \"" + item.key() + "\"");
        if (!HasType(item.value(), field->type))
            throw BadRequest("field \"" + item.key() + "\" must be " +
                             (field->type == JsonType::Integer ? "a 32-bit integer"
                              : field->type == JsonType::Date
                                  ? "an ISO-8601 date text"
                                  : std::string("of type ") + OpenApiType(field->type)));
    }
    for (const BodyField& f : fields)
        if (f.required && !body.contains(f.name))
            throw BadRequest("field \"" + f.name + "\" is missing");
    return body;
}

} // namespace ltpweb
