// The JSON API as a table: each route's method, path, family, summary, body fields and handler.
// The server registers the table and the OpenAPI document is written from it, so the two cannot
// disagree.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/ltpweb/json_body.h"
#include "tools/ltpweb/sessions.h"

namespace ltpweb {

struct QueryParam {
    std::string name;
    JsonType type;
    bool required;
};

// One request as a handler sees it.
struct Call {
    std::map<std::string, std::string> path;  // {id} -> value, decoded
    std::map<std::string, std::string> query; // only the route's declared parameters
    nlohmann::ordered_json body;              // checked against the route's fields
    Session* session = nullptr;               // null only for routes that need none
    std::string clientAddress;

    const std::string& Path(const std::string& name) const { return path.at(name); }
    // A path or query value as a 32-bit integer; ApiError 400 otherwise.
    long PathLong(const std::string& name) const;
    bool HasQuery(const std::string& name) const { return query.count(name) != 0; }
};

// What a handler answers: a JSON value and its HTTP status; extra headers when needed (sign-in).
struct Reply {
    nlohmann::ordered_json body;
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers = {};
};

using Handler = std::function<Reply(Call&)>;

struct Route {
    std::string method; // GET, POST, PUT, DELETE
    std::string path;   // "/api/users/{id}"
    std::string family; // OpenAPI tag
    std::string summary;
    std::vector<BodyField> body;
    std::vector<QueryParam> query;
    Handler handler;
    bool needsSession = true;
    int okStatus = 200;
    std::string operation = {}; // OpenAPI operationId: the operation's name ("find_user")
    bool deprecated = false;    // an earlier path that still answers
};

// The OpenAPI 3 document of the routes.
nlohmann::ordered_json OpenApiDocument(const std::vector<Route>& routes);

// A whole number by the wire's rule (ltp::parse_integer); false when it is not one.
bool ParseLongText(const std::string& text, long& out);

} // namespace ltpweb
