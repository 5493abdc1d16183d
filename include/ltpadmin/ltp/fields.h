/// @file
/// Field reflection: the fields of every value type with their wire names, kinds and member
/// pointers, for code that prints, reads or compares records generically.
#pragma once

#include <ltpadmin/export.h>
#include <ltpadmin/ltp/values.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ltp {

/// @name Field reflection
/// Lets code print, read and compare any value type field by field without naming its fields.
/// @code
/// for (const ltp::Field<ltp::User>& f : ltp::fields<ltp::User>())
///     std::cout << f.wire_name << " = " << user.*f.text << '\n'; // all User fields are texts
/// @endcode
/// @{

/// What a field holds, and which member pointer of Field reaches it.
enum class FieldKind {
    text,    ///< std::string, through Field::text
    integer, ///< std::int32_t, through Field::integer
    decimal, ///< double, through Field::decimal
    date,    ///< double holding a date (days since 1899-12-30), through Field::decimal
};

/// One field of the value type T.
template <class T> struct Field {
    const char* wire_name; ///< the record's own name of the field: "UserID", "Text2", "Real4"
    const char* name;      ///< the member's name: "user_id", "text2", "real4"
    FieldKind kind;
    bool sent;                          ///< false for fields the server fills and never reads
    std::string T::*text = nullptr;     ///< set for FieldKind::text
    std::int32_t T::*integer = nullptr; ///< set for FieldKind::integer
    double T::*decimal = nullptr;       ///< set for FieldKind::decimal and FieldKind::date
};

/// The fields of T in wire order (the order of the record's element in a response).
template <class T> const std::vector<Field<T>>& fields();
/// The tag of T's record element: "User", "Group", ..., "MTPSvr", "ProgramPath".
template <class T> const char* record_name();

#define LTPADMIN_CLIENT_REFLECT(T)                                                                 \
    template <> LTPADMIN_API const std::vector<Field<T>>& fields<T>();                             \
    template <> LTPADMIN_API const char* record_name<T>();
LTPADMIN_CLIENT_REFLECT(User)
LTPADMIN_CLIENT_REFLECT(Group)
LTPADMIN_CLIENT_REFLECT(Program)
LTPADMIN_CLIENT_REFLECT(Channel)
LTPADMIN_CLIENT_REFLECT(Schedule)
LTPADMIN_CLIENT_REFLECT(Global)
LTPADMIN_CLIENT_REFLECT(LogEvent)
LTPADMIN_CLIENT_REFLECT(SysInfo)
LTPADMIN_CLIENT_REFLECT(TopProgram)
LTPADMIN_CLIENT_REFLECT(ProgramStatistic)
LTPADMIN_CLIENT_REFLECT(MtpServer)
LTPADMIN_CLIENT_REFLECT(ProgramPath)
#undef LTPADMIN_CLIENT_REFLECT
/// @}

} // namespace ltp
