// Values in the forms people read and type, by what they mean (schema.h): bits as "read,edit",
// days as "Mon-Fri", enumerations by name, references as "1 News", minutes as "90 min", the
// "none" date as empty. Every printed form reads back to the same wire value, and the plain wire
// value is always accepted too, so that scripts keep working.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/schema.h"

namespace ltptools {

// "read,edit"; with ranges "Mon-Fri" for three or more neighbours; bits without a name as a
// number ("read,16"); 0 as "0".
std::string FormatBits(const BitNames& bits, std::int32_t value);
// Names, ranges (with ranges), whole numbers, separated by ',' without regard to case or blanks.
bool ParseBits(const BitNames& bits, std::string_view text, std::int32_t& value,
               std::string& error);

std::string FormatEnum(const EnumNames& names, std::int32_t value);
bool ParseEnum(const EnumNames& names, std::string_view text, std::int32_t& value,
               std::string& error);

// "90 min", "22.5 min".
std::string FormatMinutes(double minutes);
// "90", "90 min", "1h", "1h30", "1:30", "2 h 15 min".
bool ParseMinutes(std::string_view text, double& minutes, std::string& error);

// A whole wire value in its named form; references print their number (see FormatRef).
std::string FormatWhole(const Schema& schema, const Meaning& meaning, std::int32_t value);
// The reverse; false with error set for a text of no such form. References take numbers only
// here: names need the records (ResolveRef).
bool ParseWhole(const Schema& schema, const Meaning& meaning, std::string_view text,
                std::int32_t& value, std::string& error);

// A decimal wire value: dates as ISO-8601 (the "none" value empty), minutes with their unit.
std::string FormatNumber(const Meaning& meaning, double value);
bool ParseNumber(const Meaning& meaning, std::string_view text, double& value, std::string& error);

// What a reference names: "1 News" (key and display name), or the key alone when the record has
// no name. Records named by a text key print the key alone, which is already a name.
std::string FormatRef(const std::string& key, const std::string& name, bool textKey);

struct RefCandidate {
    std::string key;
    std::string name;
};
// Which record text means, among candidates: a key as it is, the printed form "1 News", a plain
// number (kept even when no candidate has it: the server judges), else the one record so named
// (exactly, else without regard to case). An unknown or ambiguous name is an error naming kind
// and, when ambiguous, every candidate.
bool ResolveRef(std::string_view text, const std::vector<RefCandidate>& candidates,
                const std::string& kind, std::string& key, std::string& error);

// A text over the field's limit: false with error naming the field and the limit.
bool CheckLimit(const FieldMeaning& meaning, const std::string& fieldName, std::string_view text,
                std::string& error);

} // namespace ltptools
