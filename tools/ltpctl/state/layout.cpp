#include "tools/ltpctl/state/layout.h"

#include <tuple>

#include "tools/ltpctl/state/values.h"

namespace ltpstate {

bool Placed(const ltp::Field<ltp::User>& f) {
    return f.text == &ltp::User::user_id;
}
bool Placed(const ltp::Field<ltp::Group>& f) {
    return f.text == &ltp::Group::group_id;
}
bool Placed(const ltp::Field<ltp::Program>& f) {
    return f.integer == &ltp::Program::program_id || f.text == &ltp::Program::text2 ||
           f.integer == &ltp::Program::number6;
}
bool Placed(const ltp::Field<ltp::Channel>& f) {
    return f.text == &ltp::Channel::channel_id;
}
bool Placed(const ltp::Field<ltp::Schedule>& f) {
    return f.integer == &ltp::Schedule::schedule_id || f.text == &ltp::Schedule::text2 ||
           f.integer == &ltp::Schedule::number3;
}
bool Placed(const ltp::Field<ltp::Global>& f) {
    return f.text == &ltp::Global::key;
}
bool Placed(const ltp::Field<ltp::MtpServer>& f) {
    return f.text == &ltp::MtpServer::mtp_svr_name;
}
bool Placed(const ltp::Field<ltp::ProgramPath>& f) {
    return f.integer == &ltp::ProgramPath::program_id || f.text == &ltp::ProgramPath::program_path;
}

bool ScheduleOrder(const ScheduleEntry* a, const ScheduleEntry* b) {
    const ltp::Schedule& x = a->schedule;
    const ltp::Schedule& y = b->schedule;
    return std::make_tuple(DateKey(x.real4), !a->program.by_path, a->program.path,
                           a->program.number, DateKey(x.real5), x.number6) <
           std::make_tuple(DateKey(y.real4), !b->program.by_path, b->program.path,
                           b->program.number, DateKey(y.real5), y.number6);
}

} // namespace ltpstate
