// GET /api/schema: what every field of every record kind means, for the page to show values by
// name (checkboxes, day toggles, pickers, limits). Every field the protocol has is listed, in wire
// order, with a file or without one.
#include <tuple>
#include <type_traits>

#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

using Json = nlohmann::ordered_json;

void PutMeaning(Json& out, const ltptools::Meaning& m) {
    out["kind"] = ltptools::ValueKindName(m.kind);
    if (m.kind == ltptools::ValueKind::bits)
        out["bits"] = m.bits;
    if (m.kind == ltptools::ValueKind::enumeration)
        out["enum"] = m.enumeration;
    if (m.kind == ltptools::ValueKind::ref)
        out["ref"] = m.ref;
    if (m.none) {
        const double none = *m.none;
        const bool whole = none == static_cast<double>(static_cast<long long>(none));
        out["none"] = whole ? Json(static_cast<long long>(none)) : Json(none);
    }
    if (!m.unit.empty())
        out["unit"] = m.unit;
}

template <class V> Json RecordJson(const ltptools::Schema& schema, Json& units) {
    const char* kind = ltp::record_name<V>();
    const auto& wire = ltp::fields<V>();
    Json record = Json::object();
    record["key"] = wire.empty() ? Json(nullptr) : Json(wire.front().wire_name);
    const std::string* display = schema.Display(kind);
    record["display"] = display ? Json(*display) : Json(nullptr);
    Json fields = Json::array();
    for (const ltp::Field<V>& f : wire) {
        Json field = Json::object();
        field["wire"] = f.wire_name;
        field["name"] = f.name;
        const ltptools::FieldMeaning* m = schema.Field(kind, f.wire_name);
        if (m && !m->label.empty())
            field["label"] = m->label;
        if (m && !m->help.empty())
            field["help"] = m->help;
        if (m) {
            PutMeaning(field, *m);
            if (m->max)
                field["max"] = *m->max;
            if (m->assigned)
                field["assigned"] = true;
            if (m->answerOnly)
                field["answer_only"] = true;
            if (m->hidden)
                field["hidden"] = true;
            if (!m->unit.empty())
                units[kind][f.wire_name] = m->unit;
        }
        fields.push_back(std::move(field));
    }
    record["fields"] = std::move(fields);
    return record;
}

} // namespace

Json SchemaDocument(const ltptools::Schema& schema) {
    Json doc = Json::object();
    Json records = Json::object();
    Json units = Json::object();
    std::apply(
        [&](const auto&... r) {
            ((records[ltp::record_name<std::decay_t<decltype(r)>>()] =
                  RecordJson<std::decay_t<decltype(r)>>(schema, units)),
             ...);
        },
        ltp::RecordTypes{});
    doc["records"] = std::move(records);
    Json bits = Json::object();
    for (const auto& [name, set] : schema.AllBits()) {
        Json list = Json::array();
        for (size_t i = 0; i < set.names.size(); ++i)
            list.push_back({{"value", 1u << i}, {"name", set.names[i]}});
        bits[name] = std::move(list);
    }
    doc["bits"] = std::move(bits);
    Json enums = Json::object();
    for (const auto& [name, values] : schema.AllEnums()) {
        Json list = Json::array();
        for (const auto& [value, label] : values)
            list.push_back({{"value", value}, {"name", label}});
        enums[name] = std::move(list);
    }
    doc["enums"] = std::move(enums);
    Json values = Json::object();
    for (const auto& [name, meaning] : schema.AllValues()) {
        Json value = Json::object();
        PutMeaning(value, meaning);
        values[name] = std::move(value);
    }
    doc["values"] = std::move(values);
    doc["units"] = std::move(units);
    return doc;
}

void AddSchemaRoute(std::vector<Route>& routes, const ltptools::Schema& schema) {
    const Json doc = SchemaDocument(schema);
    Route route{"GET",
                "/api/schema",
                "meta",
                "What the record fields and values mean: kinds, labels, limits, named bits",
                {},
                {},
                [doc](Call&) { return Reply{doc}; }};
    route.operation = "schema";
    routes.push_back(std::move(route));
}

} // namespace ltpweb
