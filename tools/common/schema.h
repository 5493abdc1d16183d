// What the server's values mean: the labels file grown into a schema. Per record kind and wire
// field it may give a label, a help line, the kind of value (a date, minutes, a set of named bits,
// an enumeration, a reference to another record), the longest text the server takes, whether the
// server assigns the field or fills it only in answers, the value meaning "none", a unit, and
// whether the field is unused. Named bit sets, enumerations and the values that are no record
// field (rights) sit beside the records:
//
//     [bits.days]
//     names = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
//     ranges = true
//     [Schedule]
//     Number6 = { label = "days", kind = "bits", bits = "days" }
//     Text2 = "channel"                  # a label alone, as labels files always were
//
// A labels-only file is a schema that names fields and says nothing more. Without a file every
// field keeps the kind the protocol carries. Value forms (printing and reading) are in
// value_forms.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/labels.h"

namespace ltptools {

enum class ValueKind { text, integer, decimal, date, minutes, bits, enumeration, ref };

// "text", "integer", ..., "enum", "ref": the names the file and the JSON API use.
const char* ValueKindName(ValueKind kind);

// What one value means.
struct Meaning {
    ValueKind kind = ValueKind::text;
    std::string bits;             // kind bits: the name of the bit set
    std::string enumeration;      // kind enumeration: the name of the enumeration
    std::string ref;              // kind ref: the record kind whose key the value is
    std::optional<double> none{}; // the value meaning "none" (a 0 date), shown empty
    std::string unit{};           // "seconds", "minutes"; empty for none
};

// What one record field means.
struct FieldMeaning : Meaning {
    std::string label;
    std::string help;
    std::optional<std::size_t> max{}; // the longest text the server takes, in bytes
    bool assigned = false;            // the server gives it on add
    bool answerOnly = false;          // the server fills it in answers and never reads it
    bool hidden = false;              // unused: shown only when asked for
};

// Names of bits: names[i] is the bit 1 << i. With ranges, three or more neighbours read
// "Mon-Fri".
struct BitNames {
    std::vector<std::string> names;
    bool ranges = false;
};

using EnumNames = std::vector<std::pair<std::int32_t, std::string>>;

class Schema {
public:
    Schema() = default;

    // Reads a schema (or labels) file; throws ConfigError naming the file and the fault.
    static Schema Load(const std::string& path);
    // The same from TOML text; source names it in messages.
    static Schema Parse(std::string_view toml, const std::string& source);

    const FieldLabels& Labels() const { return m_labels; }
    bool Empty() const { return m_labels.Empty() && m_fields.empty() && m_values.empty(); }

    // What kind's field means: the file's word where it says something, else the kind the
    // protocol carries (integer, text, ...). nullptr for a kind or field the protocol lacks.
    const FieldMeaning* Field(std::string_view kind, std::string_view wire) const;
    // The field that names a record of kind (Program: Text2), or nullptr.
    const std::string* Display(std::string_view kind) const;
    // A value that is no record field ("user_rights"), or nullptr when the file says nothing.
    const Meaning* Value(std::string_view name) const;
    const BitNames* Bits(std::string_view name) const;
    const EnumNames* Enum(std::string_view name) const;

    const std::map<std::string, BitNames, std::less<>>& AllBits() const { return m_bits; }
    const std::map<std::string, EnumNames, std::less<>>& AllEnums() const { return m_enums; }
    const std::map<std::string, Meaning, std::less<>>& AllValues() const { return m_values; }

private:
    friend struct SchemaBuilder;

    FieldLabels m_labels;
    // kind -> wire -> meaning; every field of every record kind, after Build.
    std::map<std::string, std::map<std::string, FieldMeaning, std::less<>>, std::less<>> m_fields;
    std::map<std::string, std::string, std::less<>> m_display;
    std::map<std::string, Meaning, std::less<>> m_values;
    std::map<std::string, BitNames, std::less<>> m_bits;
    std::map<std::string, EnumNames, std::less<>> m_enums;
};

} // namespace ltptools
