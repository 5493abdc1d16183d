#include "tools/ltpctl/record_fields.h"

#include <cctype>
#include <cstdio>

#include <ltpadmin/ltp/wire.h>

#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"

namespace ltpctl {

std::string OptionName(const FieldInfo& field) {
    std::string name = "--";
    for (const char* p = field.name; *p; ++p)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return name;
}

std::string WholeText(std::int32_t value) {
    return std::to_string(value);
}

std::string DecimalText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", value);
    return buf;
}

namespace {
unsigned g_codePage = 0;
} // namespace

void SetRunCodePage(unsigned codePage) {
    g_codePage = codePage;
}

int CheckCarriable(const std::string& value, const std::string& optionName, std::string& error) {
    const std::size_t bad = ltp::find_uncarriable(value, g_codePage);
    if (bad == std::string::npos)
        return kExitOk;
    const char c = value[bad];
    const std::string what = c == '|' || c == '<' ? "'" + std::string(1, c) + "'"
                             : c == '\0'          ? std::string("a zero byte")
                             : c == '\r' || c == '\n'
                                 ? std::string("a line break")
                                 : std::string("a double-byte character cut short");
    error = "the text of " + optionName + " holds " + what + ", which the protocol cannot carry";
    return kExitUncarried;
}

int CheckDecimal(double value, const std::string& optionName, std::string& error) {
    if (!(value < 0))
        return kExitOk;
    error = optionName + " is below 0 (a date before 1899-12-30 is one), which the protocol " +
            "cannot carry";
    return kExitUncarried;
}

int ParseLong(const std::string& value, const std::string& optionName, std::int32_t& out,
              std::string& error) {
    if (ltp::parse_integer(value, out))
        return kExitOk;
    error = optionName + " needs a whole number between -2147483648 and 2147483647, not '" + value +
            "'";
    return kExitUsage;
}

int ParseDecimalText(const std::string& value, const std::string& optionName, double& out,
                     std::string& error) {
    if (ltp::parse_decimal(value, out))
        return kExitOk;
    double magnitude = 0;
    if (!value.empty() && value[0] == '-' && ltp::parse_decimal(value.substr(1), magnitude))
        return CheckDecimal(-magnitude, optionName, error);
    error = optionName + " needs a number, not '" + value + "'";
    return kExitUsage;
}

int ParseDateText(const std::string& value, const std::string& optionName, double& out,
                  std::string& error) {
    double v = 0;
    std::string why;
    if (!ltptools::ParseIsoDate(value, v, why)) {
        error = optionName + ": " + why;
        return kExitUsage;
    }
    const int rc = CheckDecimal(v, optionName, error);
    if (rc == kExitOk)
        out = v;
    return rc;
}

} // namespace ltpctl
