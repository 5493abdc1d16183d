// The value types of <ltpadmin/client.h> as JSON objects keyed by the records' wire field names
// ("UserID", "Text2", ...), dates as ISO-8601 text in UTC ("2026-12-24T16:00:00Z"). Written
// through the client's field reflection, so every record type is handled by the same code.
#pragma once

#include <stdexcept>
#include <string>

#include <ltpadmin/client.h>
#include <nlohmann/json.hpp>

namespace ltptools {

// "2026-12-24T16:00:00Z"; the plain number for a date outside the years 1 to 9999.
nlohmann::json DateToJson(double days);
// Accepts what ltpctl accepts ("YYYY-MM-DD[THH:MM[:SS[.fff]]][Z]"); throws std::invalid_argument
// naming what is wrong.
double DateFromText(const std::string& text);

template <class T> nlohmann::json RecordToJson(const T& record) {
    nlohmann::json out = nlohmann::json::object();
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        switch (f.kind) {
            case ltp::FieldKind::text:
                out[f.wire_name] = record.*f.text;
                break;
            case ltp::FieldKind::integer:
                out[f.wire_name] = record.*f.integer;
                break;
            case ltp::FieldKind::decimal:
                out[f.wire_name] = record.*f.decimal;
                break;
            case ltp::FieldKind::date:
                out[f.wire_name] = DateToJson(record.*f.decimal);
                break;
        }
    }
    return out;
}

// Sets the fields that object names onto record; the fields must have the right JSON types
// (texts strings, integers 32-bit integers, decimals numbers, dates ISO text). Fields the object
// does not name are left as they are; names that are not fields of T are refused. Throws
// std::invalid_argument naming the field.
template <class T> void RecordFromJson(const nlohmann::json& object, T& record) {
    if (!object.is_object())
        throw std::invalid_argument(std::string("a ") + ltp::record_name<T>() +
                                    " must be a JSON object");
    for (const auto& item : object.items()) {
        const ltp::Field<T>* field = nullptr;
        for (const ltp::Field<T>& f : ltp::fields<T>())
            if (item.key() == f.wire_name)
                field = &f;
        if (!field)
            throw std::invalid_argument("unknown field \"" + item.key() + "\"");
        const nlohmann::json& v = item.value();
        auto wrong = [&](const char* what) {
            return std::invalid_argument("field \"" + item.key() + "\" must be " + what);
        };
        switch (field->kind) {
            case ltp::FieldKind::text:
                if (!v.is_string())
                    throw wrong("a string");
                record.*field->text = v.get<std::string>();
                break;
            case ltp::FieldKind::integer:
                if (!v.is_number_integer() ||
                    (v.is_number_unsigned() ? v.get<std::uint64_t>() > 2147483647u
                                            : v.get<std::int64_t>() < -2147483648LL ||
                                                  v.get<std::int64_t>() > 2147483647LL))
                    throw wrong("a 32-bit integer");
                record.*field->integer = static_cast<std::int32_t>(v.get<std::int64_t>());
                break;
            case ltp::FieldKind::decimal:
                if (!v.is_number())
                    throw wrong("a number");
                record.*field->decimal = v.get<double>();
                break;
            case ltp::FieldKind::date:
                if (!v.is_string())
                    throw wrong("an ISO-8601 date text");
                try {
                    record.*field->decimal = DateFromText(v.get<std::string>());
                } catch (const std::invalid_argument& e) {
                    throw std::invalid_argument("field \"" + item.key() + "\": " + e.what());
                }
                break;
        }
    }
}

} // namespace ltptools
