#include "tools/ltpweb/routes.h"

#include <cstdint>

#include <ltpadmin/ltp/wire.h>

#include "tools/ltpweb/api_error.h"

namespace ltpweb {

bool ParseLongText(const std::string& text, long& out) {
    std::int32_t value = 0;
    if (!ltp::parse_integer(text, value))
        return false;
    out = value;
    return true;
}

long Call::PathLong(const std::string& name) const {
    long v = 0;
    if (!ParseLongText(Path(name), v))
        throw BadRequest("\"" + name + "\" must be a 32-bit integer");
    return v;
}

namespace {

nlohmann::ordered_json Schema(JsonType type) {
    nlohmann::ordered_json s = {{"type", OpenApiType(type)}};
    if (type == JsonType::Date)
        s["format"] = "date-time";
    if (type == JsonType::Integer)
        s["format"] = "int32";
    return s;
}

const nlohmann::ordered_json kErrorRef = {{"$ref", "#/components/responses/Error"}};

} // namespace

nlohmann::ordered_json OpenApiDocument(const std::vector<Route>& routes) {
    nlohmann::ordered_json paths = nlohmann::ordered_json::object();
    for (const Route& r : routes) {
        nlohmann::ordered_json op = {
            {"tags", {r.family}}, {"summary", r.summary}, {"operationId", r.operation}};
        if (r.deprecated)
            op["deprecated"] = true;
        nlohmann::ordered_json params = nlohmann::ordered_json::array();
        for (std::string::size_type at = r.path.find('{'); at != std::string::npos;
             at = r.path.find('{', at + 1)) {
            auto close = r.path.find('}', at);
            params.push_back({{"name", r.path.substr(at + 1, close - at - 1)},
                              {"in", "path"},
                              {"required", true},
                              {"schema", {{"type", "string"}}}});
        }
        for (const QueryParam& q : r.query)
            params.push_back({{"name", q.name},
                              {"in", "query"},
                              {"required", q.required},
                              {"schema", Schema(q.type)}});
        if (!params.empty())
            op["parameters"] = params;
        if (!r.body.empty()) {
            nlohmann::ordered_json props = nlohmann::ordered_json::object();
            nlohmann::ordered_json required = nlohmann::ordered_json::array();
            for (const BodyField& f : r.body) {
                props[f.name] = Schema(f.type);
                if (f.required)
                    required.push_back(f.name);
            }
            nlohmann::ordered_json schema = {
                {"type", "object"}, {"properties", props}, {"additionalProperties", false}};
            if (!required.empty())
                schema["required"] = required;
            op["requestBody"] = {{"required", true},
                                 {"content", {{"application/json", {{"schema", schema}}}}}};
        }
        op["responses"] = {{std::to_string(r.okStatus), {{"description", "done"}}},
                           {"default", kErrorRef}};
        if (r.needsSession)
            op["security"] = {{{"session", nlohmann::ordered_json::array()}}};
        std::string method = r.method;
        for (char& c : method)
            c = static_cast<char>(c - 'A' + 'a');
        paths[r.path][method] = op;
    }
    return {{"openapi", "3.0.3"},
            {"info",
             {{"title", "ltpweb"},
              {"version", "1.0"},
              {"description", "Administration of an LTP/1.0 server. Changing requests carry the "
                              "X-CSRF-Token header returned by POST /api/session."}}},
            {"paths", paths},
            {"components",
             {{"securitySchemes",
               {{"session", {{"type", "apiKey"}, {"in", "cookie"}, {"name", "ltpweb_session"}}}}},
              {"responses",
               {{"Error",
                 {{"description", "refused"},
                  {"content",
                   {{"application/json",
                     {{"schema",
                       {{"type", "object"},
                        {"properties",
                         {{"error", {{"type", "string"}}},
                          {"status", {{"type", "integer"}}},
                          {"reason", {{"type", "string"}}}}}}}}}}}}}}}}}};
}

} // namespace ltpweb
