#include "tools/ltpctl/record_fields.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"

namespace ltpctl {

#define LTPCTL_FIELD(T, f, kind)                                                                   \
    FieldInfo {                                                                                    \
#f, FieldKind::kind, offsetof(T, f), sizeof(T::f), true                                    \
    }
#define LTPCTL_READONLY(T, f, kind)                                                                \
    FieldInfo {                                                                                    \
#f, FieldKind::kind, offsetof(T, f), sizeof(T::f), false                                   \
    }

template <> const std::vector<FieldInfo>& RecordFields<tagUser>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagUser, UserID, Text), LTPCTL_FIELD(tagUser, Text2, Text),
        LTPCTL_FIELD(tagUser, Text3, Text),  LTPCTL_FIELD(tagUser, Text4, Text),
        LTPCTL_FIELD(tagUser, Text5, Text),  LTPCTL_FIELD(tagUser, Text6, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagGroup>() {
    static const std::vector<FieldInfo> f = {LTPCTL_FIELD(tagGroup, GroupID, Text),
                                             LTPCTL_FIELD(tagGroup, Text2, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagProgram>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagProgram, ProgramID, Long), LTPCTL_FIELD(tagProgram, Text2, Text),
        LTPCTL_FIELD(tagProgram, Text3, Text),     LTPCTL_FIELD(tagProgram, Text4, Text),
        LTPCTL_FIELD(tagProgram, Real5, Real),     LTPCTL_FIELD(tagProgram, Number6, Long),
        LTPCTL_FIELD(tagProgram, Number7, Long),   LTPCTL_FIELD(tagProgram, Text8, Text),
        LTPCTL_FIELD(tagProgram, Text9, Text),     LTPCTL_FIELD(tagProgram, Text10, Text),
        LTPCTL_FIELD(tagProgram, Text11, Text),    LTPCTL_FIELD(tagProgram, Text12, Text),
        LTPCTL_FIELD(tagProgram, Text13, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagChannel>() {
    static const std::vector<FieldInfo> f = {LTPCTL_FIELD(tagChannel, ChannelID, Text),
                                             LTPCTL_FIELD(tagChannel, Text2, Text),
                                             LTPCTL_FIELD(tagChannel, Text3, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagSchedule>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagSchedule, ScheduleID, Long), LTPCTL_FIELD(tagSchedule, Text2, Text),
        LTPCTL_FIELD(tagSchedule, Number3, Long),    LTPCTL_FIELD(tagSchedule, Real4, Date),
        LTPCTL_FIELD(tagSchedule, Real5, Date),      LTPCTL_FIELD(tagSchedule, Number6, Long)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagGlobal>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagGlobal, Key, Text), LTPCTL_FIELD(tagGlobal, Number2, Long),
        LTPCTL_FIELD(tagGlobal, Text3, Text), LTPCTL_FIELD(tagGlobal, Text4, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagLogEvent>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagLogEvent, Number1, Long), LTPCTL_FIELD(tagLogEvent, Real2, Date),
        LTPCTL_FIELD(tagLogEvent, Text3, Text), LTPCTL_FIELD(tagLogEvent, Text4, Text)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagSysInfo>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(tagSysInfo, Number1, Long), LTPCTL_FIELD(tagSysInfo, Number2, Long),
        LTPCTL_FIELD(tagSysInfo, Number3, Long), LTPCTL_FIELD(tagSysInfo, Real4, Real),
        LTPCTL_FIELD(tagSysInfo, Number5, Long)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<tagTOPPrgoram>() {
    static const std::vector<FieldInfo> f = {LTPCTL_FIELD(tagTOPPrgoram, Number1, Long),
                                             LTPCTL_FIELD(tagTOPPrgoram, Number2, Long)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<PROGRAMSTATISTIC>() {
    static const std::vector<FieldInfo> f = {LTPCTL_FIELD(PROGRAMSTATISTIC, Number1, Long),
                                             LTPCTL_FIELD(PROGRAMSTATISTIC, Text2, Text),
                                             LTPCTL_FIELD(PROGRAMSTATISTIC, Number3, Long),
                                             LTPCTL_FIELD(PROGRAMSTATISTIC, Number4, Long),
                                             LTPCTL_FIELD(PROGRAMSTATISTIC, Real5, Date),
                                             LTPCTL_FIELD(PROGRAMSTATISTIC, Real6, Date)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<MTPSVR>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(MTPSVR, MTPSvrName, Text), LTPCTL_FIELD(MTPSVR, Text2, Text),
        LTPCTL_FIELD(MTPSVR, Text3, Text),      LTPCTL_READONLY(MTPSVR, Number4, Long),
        LTPCTL_FIELD(MTPSVR, Number5, Long),    LTPCTL_FIELD(MTPSVR, Number6, Long)};
    return f;
}

template <> const std::vector<FieldInfo>& RecordFields<PROGRAMPATH>() {
    static const std::vector<FieldInfo> f = {
        LTPCTL_FIELD(PROGRAMPATH, ProgramID, Long), LTPCTL_FIELD(PROGRAMPATH, ProgramPath, Text),
        LTPCTL_FIELD(PROGRAMPATH, Real3, Date), LTPCTL_FIELD(PROGRAMPATH, Real4, Date)};
    return f;
}

#undef LTPCTL_FIELD
#undef LTPCTL_READONLY

std::string OptionName(const FieldInfo& field) {
    std::string name = "--";
    for (const char* p = field.name; *p; ++p)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return name;
}

std::string FieldText(const void* record, const FieldInfo& field) {
    const char* base = static_cast<const char*>(record) + field.offset;
    char buf[64];
    switch (field.kind) {
        case FieldKind::Text:
            return std::string(base, strnlen(base, field.width));
        case FieldKind::Long: {
            LONG v;
            std::memcpy(&v, base, sizeof v);
            std::snprintf(buf, sizeof buf, "%d", static_cast<int>(v));
            return buf;
        }
        case FieldKind::Real: {
            double v;
            std::memcpy(&v, base, sizeof v);
            std::snprintf(buf, sizeof buf, "%.9g", v);
            return buf;
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
        case FieldKind::Long: {
            LONG v = 0;
            const int rc = ParseLong(value, optionName, v, error);
            if (rc == kExitOk)
                std::memcpy(base, &v, sizeof v);
            return rc;
        }
        case FieldKind::Real: {
            const char* s = value.c_str();
            char* end = nullptr;
            const double v = std::strtod(s, &end);
            if (value.empty() || *end != '\0' || !std::isfinite(v)) {
                error = optionName + " needs a number, not '" + value + "'";
                return kExitUsage;
            }
            std::memcpy(base, &v, sizeof v);
            return kExitOk;
        }
        case FieldKind::Date: {
            double v = 0;
            std::string why;
            if (!ltptools::ParseIsoDate(value, v, why)) {
                error = optionName + ": " + why;
                return kExitUsage;
            }
            std::memcpy(base, &v, sizeof v);
            return kExitOk;
        }
    }
    return kExitOk;
}

} // namespace ltpctl
