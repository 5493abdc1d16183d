#include "tools/ltpctl/record_fields.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"

namespace ltpctl {

namespace {

// The record's fields in declaration order, which is the order of columns and options.
template <class T> std::vector<FieldInfo> Describe() {
    const ltp::detail::RecordDescription& d = ltp::detail::DescriptionOf<T>();
    std::vector<FieldInfo> fields;
    for (std::size_t i = 0; i < d.count; ++i)
        fields.push_back({d.fields[i].name, d.fields[i].kind, d.offsets[i], d.fields[i].width,
                          d.fields[i].sent});
    std::sort(fields.begin(), fields.end(),
              [](const FieldInfo& a, const FieldInfo& b) { return a.offset < b.offset; });
    return fields;
}

} // namespace

template <class T> const std::vector<FieldInfo>& RecordFields() {
    static const std::vector<FieldInfo> fields = Describe<T>();
    return fields;
}

template const std::vector<FieldInfo>& RecordFields<tagUser>();
template const std::vector<FieldInfo>& RecordFields<tagGroup>();
template const std::vector<FieldInfo>& RecordFields<tagProgram>();
template const std::vector<FieldInfo>& RecordFields<tagChannel>();
template const std::vector<FieldInfo>& RecordFields<tagSchedule>();
template const std::vector<FieldInfo>& RecordFields<tagGlobal>();
template const std::vector<FieldInfo>& RecordFields<tagLogEvent>();
template const std::vector<FieldInfo>& RecordFields<tagSysInfo>();
template const std::vector<FieldInfo>& RecordFields<tagTOPPrgoram>();
template const std::vector<FieldInfo>& RecordFields<PROGRAMSTATISTIC>();
template const std::vector<FieldInfo>& RecordFields<MTPSVR>();
template const std::vector<FieldInfo>& RecordFields<PROGRAMPATH>();

#define LTPCTL_RECORD_NAME(T, name)                                                                \
    template <> const char* RecordName<T>() {                                                      \
        return name;                                                                               \
    }
LTPCTL_RECORD_NAME(tagUser, "User")
LTPCTL_RECORD_NAME(tagGroup, "Group")
LTPCTL_RECORD_NAME(tagProgram, "Program")
LTPCTL_RECORD_NAME(tagChannel, "Channel")
LTPCTL_RECORD_NAME(tagSchedule, "Schedule")
LTPCTL_RECORD_NAME(tagGlobal, "Global")
LTPCTL_RECORD_NAME(tagLogEvent, "LogEvent")
LTPCTL_RECORD_NAME(tagSysInfo, "SysInfo")
LTPCTL_RECORD_NAME(tagTOPPrgoram, "TOPProgram")
LTPCTL_RECORD_NAME(PROGRAMSTATISTIC, "ProgramStatistic")
LTPCTL_RECORD_NAME(MTPSVR, "MTPSvr")
LTPCTL_RECORD_NAME(PROGRAMPATH, "ProgramPath")
#undef LTPCTL_RECORD_NAME

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

std::string FieldText(const void* record, const FieldInfo& field) {
    const char* base = static_cast<const char*>(record) + field.offset;
    switch (field.kind) {
        case FieldKind::Text:
            return std::string(base, strnlen(base, field.width));
        case FieldKind::Whole: {
            LONG v;
            std::memcpy(&v, base, sizeof v);
            return WholeText(v);
        }
        case FieldKind::Decimal: {
            double v;
            std::memcpy(&v, base, sizeof v);
            return DecimalText(v);
        }
        case FieldKind::Date: {
            double v;
            std::memcpy(&v, base, sizeof v);
            return ltptools::FormatIsoDate(v);
        }
    }
    return std::string();
}

int CheckCarriable(const std::string& value, const std::string& optionName, std::size_t width,
                   std::string& error) {
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
    if (width != 0 && value.size() >= width) {
        error = "the text of " + optionName + " is " + std::to_string(value.size()) +
                " bytes long; the protocol carries at most " + std::to_string(width - 1);
        return kExitUncarried;
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

int ParseLong(const std::string& value, const std::string& optionName, LONG& out,
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
    out = static_cast<LONG>(v);
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

int SetField(void* record, const FieldInfo& field, const std::string& value,
             const std::string& optionName, std::string& error) {
    char* base = static_cast<char*>(record) + field.offset;
    switch (field.kind) {
        case FieldKind::Text: {
            const int rc = CheckCarriable(value, optionName, field.width, error);
            if (rc != kExitOk)
                return rc;
            std::memset(base, 0, field.width);
            std::memcpy(base, value.data(), value.size());
            return kExitOk;
        }
        case FieldKind::Whole: {
            LONG v = 0;
            const int rc = ParseLong(value, optionName, v, error);
            if (rc == kExitOk)
                std::memcpy(base, &v, sizeof v);
            return rc;
        }
        case FieldKind::Decimal:
        case FieldKind::Date: {
            double v = 0;
            const int rc = field.kind == FieldKind::Date
                               ? ParseDateText(value, optionName, v, error)
                               : ParseDecimalText(value, optionName, v, error);
            if (rc == kExitOk)
                std::memcpy(base, &v, sizeof v);
            return rc;
        }
    }
    return kExitOk;
}

} // namespace ltpctl
