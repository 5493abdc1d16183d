// The fields of the twelve records as the library describes them: their names (used as option
// names and as column names), kinds, places and widths. Commands fill records from options and
// print them through these descriptions instead of naming every field by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <ltpadmin/client.h>
#include <ltpadmin/ltpadmin.h>

#include "ltpadmin/client/records.h"
#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"

#include "ltpadmin/protocol/record_fields.h"

namespace ltpctl {

// Dates (see dates.h) are shown and read as ISO-8601 text.
using ltp::detail::FieldKind;

struct FieldInfo {
    const char* name; // the record's field name, e.g. "Text2"
    FieldKind kind;
    std::size_t offset;
    std::size_t width; // bytes of the array for Text; sizeof the number otherwise
    bool sent;         // false for fields the server fills but the library never sends
};

template <class T> const std::vector<FieldInfo>& RecordFields();
// The record's own name, as the labels file names its kind: "User", "MTPSvr".
template <class T> const char* RecordName();

// "--text2" for the field Text2.
std::string OptionName(const FieldInfo& field);

// The field's value as text: texts as they are, numbers in decimal, dates as ISO-8601.
std::string FieldText(const void* record, const FieldInfo& field);
std::string WholeText(std::int32_t value);
std::string DecimalText(double value);

// The same for a field of the client's value types, texts whole.
template <class V> std::string FieldText(const V& value, const ltp::Field<V>& field) {
    switch (field.kind) {
        case ltp::FieldKind::text:
            return value.*field.text;
        case ltp::FieldKind::integer:
            return WholeText(value.*field.integer);
        case ltp::FieldKind::decimal:
            return DecimalText(value.*field.decimal);
        case ltp::FieldKind::date:
            return ltptools::FormatIsoDate(value.*field.decimal);
    }
    return std::string();
}

// Stores value into the field. On failure returns an exit code (kExitUsage for a number or date
// that does not parse, kExitUncarried for text the protocol cannot carry) and says why in error,
// naming the option by optionName.
int SetField(void* record, const FieldInfo& field, const std::string& value,
             const std::string& optionName, std::string& error);

// The same for a field of the client's value types, whose texts travel whole.
int ParseDecimalText(const std::string& value, const std::string& optionName, double& out,
                     std::string& error);
int ParseDateText(const std::string& value, const std::string& optionName, double& out,
                  std::string& error);
template <class V>
int SetField(V& record, const ltp::Field<V>& field, const std::string& value,
             const std::string& optionName, std::string& error);

// Checks that a text can travel inside an element: no "|", "<" or line break, and at most
// width - 1 bytes when width is not 0. Returns kExitOk or kExitUncarried with error set.
int CheckCarriable(const std::string& value, const std::string& optionName, std::size_t width,
                   std::string& error);

// Decimals (dates too) travel without a sign: a value below 0 would reach the server as another
// one. Returns kExitOk or kExitUncarried with error set.
int CheckDecimal(double value, const std::string& optionName, std::string& error);

// A 32-bit signed number from text; kExitUsage with error set when it is not one.
int ParseLong(const std::string& value, const std::string& optionName, LONG& out,
              std::string& error);

template <class V>
int SetField(V& record, const ltp::Field<V>& field, const std::string& value,
             const std::string& optionName, std::string& error) {
    int rc = kExitOk;
    switch (field.kind) {
        case ltp::FieldKind::text:
            rc = CheckCarriable(value, optionName, 0, error);
            if (rc == kExitOk)
                record.*field.text = value;
            break;
        case ltp::FieldKind::integer: {
            LONG v = 0;
            rc = ParseLong(value, optionName, v, error);
            if (rc == kExitOk)
                record.*field.integer = v;
            break;
        }
        case ltp::FieldKind::decimal:
            rc = ParseDecimalText(value, optionName, record.*field.decimal, error);
            break;
        case ltp::FieldKind::date:
            rc = ParseDateText(value, optionName, record.*field.decimal, error);
            break;
    }
    return rc;
}

} // namespace ltpctl
