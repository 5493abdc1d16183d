// The fields of the client's value types as commands use them: their names (used as option
// names and as column names) and kinds, in the order the types declare them. Commands fill
// records from options and print them through these descriptions instead of naming every field
// by hand.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"

namespace ltpctl {

using ltp::FieldKind;

struct FieldInfo {
    const char* name; // the record's field name, e.g. "Text2"
    FieldKind kind;
    bool sent;         // false for fields the server fills and never reads
    std::size_t index; // in ltp::fields<V>(), which lists the wire order
};

namespace detail {

// Where the field sits in the value: declaration order, which is the order people read.
template <class V> std::size_t PlaceOf(const V& value, const ltp::Field<V>& field) {
    const void* member = field.text      ? static_cast<const void*>(&(value.*field.text))
                         : field.integer ? static_cast<const void*>(&(value.*field.integer))
                                         : static_cast<const void*>(&(value.*field.decimal));
    return static_cast<std::size_t>(static_cast<const char*>(member) -
                                    reinterpret_cast<const char*>(&value));
}

} // namespace detail

// The fields of V in declaration order: the order of columns and options.
template <class V> const std::vector<FieldInfo>& RecordFields() {
    static const std::vector<FieldInfo> fields = [] {
        const V value{};
        const std::vector<ltp::Field<V>>& wire = ltp::fields<V>();
        std::vector<FieldInfo> ordered;
        for (std::size_t i = 0; i < wire.size(); ++i)
            ordered.push_back({wire[i].wire_name, wire[i].kind, wire[i].sent, i});
        std::sort(ordered.begin(), ordered.end(), [&](const FieldInfo& a, const FieldInfo& b) {
            return detail::PlaceOf(value, wire[a.index]) < detail::PlaceOf(value, wire[b.index]);
        });
        return ordered;
    }();
    return fields;
}

// The record's own name, as the labels file names its kind: "User", "MTPSvr".
template <class V> const char* RecordName() {
    return ltp::record_name<V>();
}

// "--text2" for the field Text2.
std::string OptionName(const FieldInfo& field);

std::string WholeText(std::int32_t value);
std::string DecimalText(double value);

// The field's value as text: texts whole, numbers in decimal, dates as ISO-8601.
template <class V> std::string FieldText(const V& value, const FieldInfo& info) {
    const ltp::Field<V>& field = ltp::fields<V>()[info.index];
    switch (field.kind) {
        case FieldKind::text:
            return value.*field.text;
        case FieldKind::integer:
            return WholeText(value.*field.integer);
        case FieldKind::decimal:
            return DecimalText(value.*field.decimal);
        case FieldKind::date:
            return ltptools::FormatIsoDate(value.*field.decimal);
    }
    return std::string();
}

int ParseDecimalText(const std::string& value, const std::string& optionName, double& out,
                     std::string& error);
int ParseDateText(const std::string& value, const std::string& optionName, double& out,
                  std::string& error);

// Checks that a text can travel inside an element (ltp::find_uncarriable, in the run's code page).
// Returns kExitOk or kExitUncarried with error set.
int CheckCarriable(const std::string& value, const std::string& optionName, std::string& error);
// The code page the run's texts are judged in: --code-page's, 0 (the system's) until it is set.
void SetRunCodePage(unsigned codePage);

// Decimals (dates too) travel without a sign: a value below 0 would reach the server as another
// one. Returns kExitOk or kExitUncarried with error set.
int CheckDecimal(double value, const std::string& optionName, std::string& error);

// A whole number by the wire's rule (ltp::parse_integer); kExitUsage with error set when it is not
// one.
int ParseLong(const std::string& value, const std::string& optionName, std::int32_t& out,
              std::string& error);

// Stores value into the field. On failure returns an exit code (kExitUsage for a number or date
// that does not parse, kExitUncarried for text the protocol cannot carry) and says why in error,
// naming the option by optionName.
template <class V>
int SetField(V& record, const FieldInfo& info, const std::string& value,
             const std::string& optionName, std::string& error) {
    const ltp::Field<V>& field = ltp::fields<V>()[info.index];
    int rc = kExitOk;
    switch (field.kind) {
        case FieldKind::text:
            rc = CheckCarriable(value, optionName, error);
            if (rc == kExitOk)
                record.*field.text = value;
            break;
        case FieldKind::integer:
            rc = ParseLong(value, optionName, record.*field.integer, error);
            break;
        case FieldKind::decimal:
            rc = ParseDecimalText(value, optionName, record.*field.decimal, error);
            break;
        case FieldKind::date:
            rc = ParseDateText(value, optionName, record.*field.decimal, error);
            break;
    }
    return rc;
}

} // namespace ltpctl
