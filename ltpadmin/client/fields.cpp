// The public field reflection of the value types: the records' descriptions (wire names, kinds,
// wire order, what requests carry) joined with where each value type keeps each field.
#include "ltpadmin/ltp/fields.h"

#include <cctype>
#include <initializer_list>
#include <stdexcept>

#include "ltpadmin/client/records.h"

namespace ltp {
namespace {

// Where a value type keeps one field: exactly one of the three is set.
template <class T> struct Member {
    Member(std::string T::*m) : text(m) {}
    Member(std::int32_t T::*m) : integer(m) {}
    Member(double T::*m) : decimal(m) {}
    std::string T::*text = nullptr;
    std::int32_t T::*integer = nullptr;
    double T::*decimal = nullptr;
};

template <class T> struct Table {
    std::vector<std::string> names; // the members' names, which the fields point into
    std::vector<Field<T>> fields;
};

// "UserID" -> "user_id", "MTPSvrName" -> "mtp_svr_name", "Text2" -> "text2": a word starts at
// an upper-case letter after a lower-case one, or at the last capital of a run before lower case.
std::string SnakeName(const char* wire) {
    std::string name;
    for (const char* p = wire; *p != 0; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (std::isupper(c) && p != wire) {
            const auto before = static_cast<unsigned char>(p[-1]);
            const auto after = static_cast<unsigned char>(p[1]);
            if (std::islower(before) || std::isdigit(before) ||
                (std::isupper(before) && std::islower(after)))
                name += '_';
        }
        name += static_cast<char>(std::tolower(c));
    }
    return name;
}

FieldKind KindOf(detail::FieldKind kind) {
    switch (kind) {
        case detail::FieldKind::Text:
            return FieldKind::text;
        case detail::FieldKind::Whole:
            return FieldKind::integer;
        case detail::FieldKind::Decimal:
            return FieldKind::decimal;
        case detail::FieldKind::Date:
            return FieldKind::date;
    }
    return FieldKind::text;
}

// Joins the description of T's record with T's members, given in wire order; a member of another
// kind than its field, or another count, is a fault of this file found at the first use.
template <class T> Table<T> Join(std::initializer_list<Member<T>> members) {
    const detail::RecordDescription& d = detail::DescriptionFor<T>();
    if (d.count != members.size())
        throw std::logic_error(std::string("the members of ") + d.tag + " do not match its fields");
    Table<T> table;
    table.names.reserve(d.count);
    for (const detail::FieldDescription& f : d)
        table.names.push_back(SnakeName(f.name));
    const Member<T>* m = members.begin();
    for (std::size_t i = 0; i < d.count; ++i, ++m) {
        Field<T> f{d.fields[i].name, table.names[i].c_str(), KindOf(d.fields[i].kind),
                   d.fields[i].sent};
        f.text = m->text;
        f.integer = m->integer;
        f.decimal = m->decimal;
        const bool fits = f.kind == FieldKind::text      ? f.text != nullptr
                          : f.kind == FieldKind::integer ? f.integer != nullptr
                                                         : f.decimal != nullptr;
        if (!fits)
            throw std::logic_error(std::string("member ") + f.name + " of " + d.tag +
                                   " is not of its field's kind");
        table.fields.push_back(f);
    }
    return table;
}

} // namespace

#define LTP_REFLECT(T, ...)                                                                        \
    template <> const std::vector<Field<T>>& fields<T>() {                                         \
        static const Table<T> table = Join<T>({__VA_ARGS__});                                      \
        return table.fields;                                                                       \
    }                                                                                              \
    template <> const char* record_name<T>() {                                                     \
        return detail::DescriptionFor<T>().tag;                                                    \
    }

// Members in wire order.
LTP_REFLECT(User, &User::user_id, &User::text2, &User::text3, &User::text4, &User::text5,
            &User::text6)
LTP_REFLECT(Group, &Group::group_id, &Group::text2)
LTP_REFLECT(Program, &Program::program_id, &Program::text2, &Program::text3, &Program::text4,
            &Program::real5, &Program::number6, &Program::number7, &Program::text8, &Program::text9,
            &Program::text10, &Program::text11, &Program::text12, &Program::text13)
LTP_REFLECT(Channel, &Channel::channel_id, &Channel::text2, &Channel::text3)
LTP_REFLECT(Schedule, &Schedule::schedule_id, &Schedule::text2, &Schedule::number3,
            &Schedule::real4, &Schedule::real5, &Schedule::number6)
LTP_REFLECT(Global, &Global::key, &Global::number2, &Global::text3, &Global::text4)
LTP_REFLECT(LogEvent, &LogEvent::number1, &LogEvent::real2, &LogEvent::text3, &LogEvent::text4)
LTP_REFLECT(SysInfo, &SysInfo::number1, &SysInfo::number2, &SysInfo::number3, &SysInfo::real4,
            &SysInfo::number5)
LTP_REFLECT(TopProgram, &TopProgram::number1, &TopProgram::number2)
LTP_REFLECT(ProgramStatistic, &ProgramStatistic::number1, &ProgramStatistic::number3,
            &ProgramStatistic::text2, &ProgramStatistic::real5, &ProgramStatistic::real6,
            &ProgramStatistic::number4)
LTP_REFLECT(MtpServer, &MtpServer::mtp_svr_name, &MtpServer::text2, &MtpServer::text3,
            &MtpServer::number5, &MtpServer::number6, &MtpServer::number4)
LTP_REFLECT(ProgramPath, &ProgramPath::program_id, &ProgramPath::program_path, &ProgramPath::real3,
            &ProgramPath::real4)

#undef LTP_REFLECT

} // namespace ltp
