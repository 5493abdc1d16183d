// The shape of the configuration file: its keys, and which fields of each record it holds. A
// record's key field is the key it is filed under; a program's name and parent are its place
// (the path it is filed under); a schedule's channel is the channel it is filed under; numbers
// the server gives are left out.
#pragma once

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/model.h"

namespace ltpstate {

inline constexpr const char* kInformationKey = "information";
inline constexpr const char* kUsersKey = "users";
inline constexpr const char* kGroupsKey = "groups";
inline constexpr const char* kProgramsKey = "programs";
inline constexpr const char* kChannelsKey = "channels";
inline constexpr const char* kGlobalsKey = "globals";
inline constexpr const char* kMtpKey = "mtp";
inline constexpr const char* kRightsKey = "rights";
inline constexpr const char* kPathsKey = "paths";
inline constexpr const char* kSchedulesKey = "schedules";

bool Placed(const ltp::Field<ltp::User>& f);
bool Placed(const ltp::Field<ltp::Group>& f);
bool Placed(const ltp::Field<ltp::Program>& f);
bool Placed(const ltp::Field<ltp::Channel>& f);
bool Placed(const ltp::Field<ltp::Schedule>& f);
bool Placed(const ltp::Field<ltp::Global>& f);
bool Placed(const ltp::Field<ltp::MtpServer>& f);
bool Placed(const ltp::Field<ltp::ProgramPath>& f);

// Whether the file holds the field under the record: sent, and not given by the record's place.
template <class T> bool InFile(const ltp::Field<T>& f) {
    return f.sent && !Placed(f);
}

// Schedules of one channel in file order: by start, then program, then the other fields.
bool ScheduleOrder(const ScheduleEntry* a, const ScheduleEntry* b);

} // namespace ltpstate
