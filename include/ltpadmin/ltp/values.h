/// @file
/// The records of the protocol as plain values: they own their texts, and every member is zero or
/// empty by default.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>

namespace ltp {

/// @name Value types
/// The records of the protocol. Members keep the records' field names in snake case; texts are
/// kept whole in both directions, whole numbers are 32-bit, decimals are doubles, and every
/// member is zero (or empty) by default. Dates are decimals: days since 1899-12-30 00:00 UTC,
/// the time of day as the fraction (see to_wire_date()).
/// @{

/// A user.
struct User {
    std::string user_id; ///< the key
    std::string text2;
    std::string text3;
    std::string text4;
    std::string text5;
    std::string text6;
};

/// A group of users.
struct Group {
    std::string group_id; ///< the key
    std::string text2;
};

/// A node of the server's program tree.
struct Program {
    std::int32_t program_id = 0; ///< the key; Client::add_program() returns the server's one
    std::string text2;
    std::string text3;
    std::string text4;
    double real5 = 0;
    std::int32_t number6 = 0;
    std::int32_t number7 = 0;
    std::string text8;
    std::string text9;
    std::string text10;
    std::string text11;
    std::string text12;
    std::string text13;
};

/// A channel.
struct Channel {
    std::string channel_id; ///< the key
    std::string text2;
    std::string text3;
};

/// A schedule.
struct Schedule {
    std::int32_t schedule_id = 0; ///< the key; Client::add_schedule() returns the server's one
    std::string text2;
    std::int32_t number3 = 0;
    double real4 = 0; ///< a date
    double real5 = 0; ///< a date
    std::int32_t number6 = 0;
};

/// A global setting.
struct Global {
    std::string key; ///< the key
    std::int32_t number2 = 0;
    std::string text3;
    std::string text4;
};

/// An entry of the server's log (received only).
struct LogEvent {
    std::int32_t number1 = 0;
    double real2 = 0; ///< a date
    std::string text3;
    std::string text4;
};

/// The server's system information (received only).
struct SysInfo {
    std::int32_t number1 = 0;
    std::int32_t number2 = 0;
    std::int32_t number3 = 0;
    double real4 = 0;
    std::int32_t number5 = 0;
};

/// One row of the most used programs (received only).
struct TopProgram {
    std::int32_t number1 = 0;
    std::int32_t number2 = 0;
};

/// One row of the usage statistics (received only). The wire order differs from the order
/// here; fields() lists the wire order.
struct ProgramStatistic {
    std::int32_t number1 = 0;
    std::string text2;
    std::int32_t number3 = 0;
    std::int32_t number4 = 0;
    double real5 = 0; ///< a date
    double real6 = 0; ///< a date
};

/// An MTP server of the server's register. number4 is the server's and never sent.
struct MtpServer {
    std::string mtp_svr_name; ///< the key
    std::string text2;
    std::string text3;
    std::int32_t number4 = 0; ///< received only, last on the wire
    std::int32_t number5 = 0;
    std::int32_t number6 = 0;
};

/// A path attached to a program.
struct ProgramPath {
    std::int32_t program_id = 0;
    std::string program_path;
    double real3 = 0; ///< a date
    double real4 = 0; ///< a date
};

/// Every value type, for code that handles them all alike (printing, export).
using RecordTypes = std::tuple<User, Group, Program, Channel, Schedule, Global, LogEvent, SysInfo,
                               TopProgram, ProgramStatistic, MtpServer, ProgramPath>;
/// @}

} // namespace ltp
