// The public field reflection of the value types: one table per type, in wire order.
#include "ltpadmin/client.h"

namespace ltp {
namespace {

template <class T>
Field<T> Text(const char* wire, const char* name, std::string T::*m, bool sent = true) {
    Field<T> f{wire, name, FieldKind::text, sent};
    f.text = m;
    return f;
}
template <class T>
Field<T> Integer(const char* wire, const char* name, std::int32_t T::*m, bool sent = true) {
    Field<T> f{wire, name, FieldKind::integer, sent};
    f.integer = m;
    return f;
}
template <class T>
Field<T> Decimal(const char* wire, const char* name, double T::*m,
                 FieldKind kind = FieldKind::decimal, bool sent = true) {
    Field<T> f{wire, name, kind, sent};
    f.decimal = m;
    return f;
}
template <class T>
Field<T> Date(const char* wire, const char* name, double T::*m, bool sent = true) {
    return Decimal(wire, name, m, FieldKind::date, sent);
}

// Records the server fills and the library never sends.
template <class T> std::vector<Field<T>> Received(std::vector<Field<T>> list) {
    for (Field<T>& f : list)
        f.sent = false;
    return list;
}

} // namespace

#define LTP_TEXT(T, wire, member) Text<T>(wire, #member, &T::member)
#define LTP_INTEGER(T, wire, member) Integer<T>(wire, #member, &T::member)
#define LTP_DECIMAL(T, wire, member) Decimal<T>(wire, #member, &T::member)
#define LTP_DATE(T, wire, member) Date<T>(wire, #member, &T::member)
#define LTP_REFLECT(T, tag, ...)                                                                   \
    template <> const std::vector<Field<T>>& fields<T>() {                                         \
        static const std::vector<Field<T>> list = {__VA_ARGS__};                                   \
        return list;                                                                               \
    }                                                                                              \
    template <> const char* record_name<T>() {                                                     \
        return tag;                                                                                \
    }
#define LTP_REFLECT_RECEIVED(T, tag, ...)                                                          \
    template <> const std::vector<Field<T>>& fields<T>() {                                         \
        static const std::vector<Field<T>> list = Received<T>({__VA_ARGS__});                      \
        return list;                                                                               \
    }                                                                                              \
    template <> const char* record_name<T>() {                                                     \
        return tag;                                                                                \
    }

LTP_REFLECT(User, "User", LTP_TEXT(User, "UserID", user_id), LTP_TEXT(User, "Text2", text2),
            LTP_TEXT(User, "Text3", text3), LTP_TEXT(User, "Text4", text4),
            LTP_TEXT(User, "Text5", text5), LTP_TEXT(User, "Text6", text6))
LTP_REFLECT(Group, "Group", LTP_TEXT(Group, "GroupID", group_id), LTP_TEXT(Group, "Text2", text2))
LTP_REFLECT(Program, "Program", LTP_INTEGER(Program, "ProgramID", program_id),
            LTP_TEXT(Program, "Text2", text2), LTP_TEXT(Program, "Text3", text3),
            LTP_TEXT(Program, "Text4", text4), LTP_DECIMAL(Program, "Real5", real5),
            LTP_INTEGER(Program, "Number6", number6), LTP_INTEGER(Program, "Number7", number7),
            LTP_TEXT(Program, "Text8", text8), LTP_TEXT(Program, "Text9", text9),
            LTP_TEXT(Program, "Text10", text10), LTP_TEXT(Program, "Text11", text11),
            LTP_TEXT(Program, "Text12", text12), LTP_TEXT(Program, "Text13", text13))
LTP_REFLECT(Channel, "Channel", LTP_TEXT(Channel, "ChannelID", channel_id),
            LTP_TEXT(Channel, "Text2", text2), LTP_TEXT(Channel, "Text3", text3))
LTP_REFLECT(Schedule, "Schedule", LTP_INTEGER(Schedule, "ScheduleID", schedule_id),
            LTP_TEXT(Schedule, "Text2", text2), LTP_INTEGER(Schedule, "Number3", number3),
            LTP_DATE(Schedule, "Real4", real4), LTP_DATE(Schedule, "Real5", real5),
            LTP_INTEGER(Schedule, "Number6", number6))
LTP_REFLECT(Global, "Global", LTP_TEXT(Global, "Key", key), LTP_INTEGER(Global, "Number2", number2),
            LTP_TEXT(Global, "Text3", text3), LTP_TEXT(Global, "Text4", text4))
LTP_REFLECT_RECEIVED(LogEvent, "LogEvent", LTP_INTEGER(LogEvent, "Number1", number1),
                     LTP_DATE(LogEvent, "Real2", real2), LTP_TEXT(LogEvent, "Text3", text3),
                     LTP_TEXT(LogEvent, "Text4", text4))
LTP_REFLECT_RECEIVED(SysInfo, "SysInfo", LTP_INTEGER(SysInfo, "Number1", number1),
                     LTP_INTEGER(SysInfo, "Number2", number2),
                     LTP_INTEGER(SysInfo, "Number3", number3), LTP_DECIMAL(SysInfo, "Real4", real4),
                     LTP_INTEGER(SysInfo, "Number5", number5))
LTP_REFLECT_RECEIVED(TopProgram, "TOPProgram", LTP_INTEGER(TopProgram, "Number1", number1),
                     LTP_INTEGER(TopProgram, "Number2", number2))
LTP_REFLECT_RECEIVED(ProgramStatistic, "ProgramStatistic",
                     LTP_INTEGER(ProgramStatistic, "Number1", number1),
                     LTP_INTEGER(ProgramStatistic, "Number3", number3),
                     LTP_TEXT(ProgramStatistic, "Text2", text2),
                     LTP_DATE(ProgramStatistic, "Real5", real5),
                     LTP_DATE(ProgramStatistic, "Real6", real6),
                     LTP_INTEGER(ProgramStatistic, "Number4", number4))
LTP_REFLECT(MtpServer, "MTPSvr", LTP_TEXT(MtpServer, "MTPSvrName", mtp_svr_name),
            LTP_TEXT(MtpServer, "Text2", text2), LTP_TEXT(MtpServer, "Text3", text3),
            LTP_INTEGER(MtpServer, "Number5", number5), LTP_INTEGER(MtpServer, "Number6", number6),
            Integer<MtpServer>("Number4", "number4", &MtpServer::number4, false))
LTP_REFLECT(ProgramPath, "ProgramPath", LTP_INTEGER(ProgramPath, "ProgramID", program_id),
            LTP_TEXT(ProgramPath, "ProgramPath", program_path),
            LTP_DATE(ProgramPath, "Real3", real3), LTP_DATE(ProgramPath, "Real4", real4))

} // namespace ltp
