// Records of the client's value types as JSON objects and back, through the client's field
// reflection, so that ltpctl, ltpweb and the configuration commands write a record the same way.
// Keys are the wire names ("UserID", "Text2") unless labels are given, then the label where the
// field has one. Texts are strings, whole numbers and decimals numbers, dates ISO-8601 strings in
// UTC (as "2026-12-07" or "2026-12-07T12:00:00").
#pragma once

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <ltpadmin/client.h>
#include <nlohmann/json.hpp>

#include "tools/common/dates.h"
#include "tools/common/json_numbers.h"
#include "tools/common/labels.h"

namespace ltptools {

// A JSON value that is not a record of the kind: the message names the key and what is wrong.
class RecordJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <class T> std::string JsonKey(const ltp::Field<T>& field, const FieldLabels* labels) {
    return labels ? labels->Name(ltp::record_name<T>(), field.wire_name) : field.wire_name;
}

template <class T>
nlohmann::ordered_json RecordToJson(const T& record, const FieldLabels* labels = nullptr) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        nlohmann::ordered_json& value = object[JsonKey(f, labels)];
        switch (f.kind) {
            case ltp::FieldKind::text:
                value = record.*f.text;
                break;
            case ltp::FieldKind::integer:
                value = record.*f.integer;
                break;
            case ltp::FieldKind::decimal:
                value = record.*f.decimal;
                break;
            case ltp::FieldKind::date:
                value = FormatIsoDate(record.*f.decimal);
                break;
        }
    }
    return object;
}

template <class T>
nlohmann::ordered_json RecordsToJson(const std::vector<T>& records,
                                     const FieldLabels* labels = nullptr) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const T& r : records)
        list.push_back(RecordToJson(r, labels));
    return list;
}

// Sets the fields the object names (by wire name, or by label when labels are given) and keeps
// the others, so that a partial object changes only what it holds. Throws RecordJsonError for an
// unknown key, a value of the wrong type, a whole number outside 32 bits, a negative decimal or
// date (the wire carries no sign for them) and a date that does not parse.
template <class T, class Json>
void FillRecordFromJson(const Json& object, T& record, const FieldLabels* labels = nullptr) {
    const char* kind = ltp::record_name<T>();
    if (!object.is_object())
        throw RecordJsonError(std::string("a ") + kind + " must be a JSON object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        const ltp::Field<T>* field = nullptr;
        const std::string* wire = labels ? labels->Wire(kind, key) : nullptr;
        for (const ltp::Field<T>& f : ltp::fields<T>())
            if (key == f.wire_name || (wire && *wire == f.wire_name))
                field = &f;
        if (!field)
            throw RecordJsonError(std::string(kind) + " has no field '" + key + "'");
        const auto& value = it.value();
        const std::string where = std::string(kind) + "." + key;
        switch (field->kind) {
            case ltp::FieldKind::text:
                if (!value.is_string())
                    throw RecordJsonError(where + " must be a string");
                record.*field->text = value.template get<std::string>();
                break;
            case ltp::FieldKind::integer: {
                if (!value.is_number_integer())
                    throw RecordJsonError(where + " must be a whole number");
                if (!WireInteger(value, record.*field->integer))
                    throw RecordJsonError(where + " must fit in 32 bits");
                break;
            }
            case ltp::FieldKind::decimal:
            case ltp::FieldKind::date: {
                double d = 0;
                if (value.is_number()) {
                    if (!WireDecimal(value, d))
                        throw RecordJsonError(where +
                                              " is below 0, which the protocol cannot carry");
                } else if (field->kind == ltp::FieldKind::date && value.is_string()) {
                    std::string error;
                    if (!ParseIsoDate(value.template get<std::string>(), d, error))
                        throw RecordJsonError(where + ": " + error);
                } else {
                    throw RecordJsonError(where + (field->kind == ltp::FieldKind::date
                                                       ? " must be an ISO-8601 date or a number"
                                                       : " must be a number"));
                }
                if (!std::isfinite(d) || d < 0)
                    throw RecordJsonError(where + " is below 0, which the protocol cannot carry");
                record.*field->decimal = d;
                break;
            }
        }
    }
}

template <class T, class Json>
T RecordFromJson(const Json& object, const FieldLabels* labels = nullptr) {
    T record{};
    FillRecordFromJson(object, record, labels);
    return record;
}

} // namespace ltptools
