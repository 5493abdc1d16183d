#include "tools/ltpctl/record_fields.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

int CheckCarriable(const std::string& value, const std::string& optionName, std::string& error) {
    for (const char c : value) {
        if (c == '|' || c == '<') {
            error = "the text of " + optionName + " holds '" + std::string(1, c) +
                    "', which the protocol cannot carry";
            return kExitUncarried;
        }
        if (c == '\0') {
            error =
                "the text of " + optionName + " holds a zero byte, which the protocol cannot carry";
            return kExitUncarried;
        }
        if (c == '\r' || c == '\n') {
            error = "the text of " + optionName +
                    " holds a line break, which the protocol cannot carry";
            return kExitUncarried;
        }
    }
    return kExitOk;
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
    const char* s = value.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (value.empty() || *end != '\0' || std::isspace(static_cast<unsigned char>(*s)) ||
        errno == ERANGE || v < -2147483648LL || v > 2147483647LL) {
        error = optionName + " needs a whole number between -2147483648 and 2147483647, not '" +
                value + "'";
        return kExitUsage;
    }
    out = static_cast<std::int32_t>(v);
    return kExitOk;
}

int ParseDecimalText(const std::string& value, const std::string& optionName, double& out,
                     std::string& error) {
    char* end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(v)) {
        error = optionName + " needs a number, not '" + value + "'";
        return kExitUsage;
    }
    const int rc = CheckDecimal(v, optionName, error);
    if (rc == kExitOk)
        out = v;
    return rc;
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
