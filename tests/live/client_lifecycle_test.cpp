// ltp::Client against a live ltpd: every operation once, in the order of a record's life, as one
// table of steps sharing the server's state.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ltpadmin/client.h"
#include "ltpd_thread.h"

namespace {

// Every sent field set from seed, texts long enough to show they travel whole.
template <class T> T Sample(int seed) {
    T r;
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        if (!f.sent)
            continue;
        switch (f.kind) {
            case ltp::FieldKind::text:
                r.*f.text = std::string(f.name) + "-" + std::to_string(seed);
                break;
            case ltp::FieldKind::integer:
                r.*f.integer = seed;
                break;
            case ltp::FieldKind::decimal:
            case ltp::FieldKind::date:
                r.*f.decimal = seed + 0.5;
                break;
        }
    }
    return r;
}

// Field by field, through the reflection, so that no field is forgotten.
template <class T> void ExpectSame(const T& want, const std::optional<T>& got) {
    ASSERT_TRUE(got.has_value());
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        if (!f.sent)
            continue;
        SCOPED_TRACE(f.name);
        if (f.kind == ltp::FieldKind::text)
            EXPECT_EQ(want.*f.text, (*got).*f.text);
        else if (f.kind == ltp::FieldKind::integer)
            EXPECT_EQ(want.*f.integer, (*got).*f.integer);
        else
            EXPECT_DOUBLE_EQ(want.*f.decimal, (*got).*f.decimal);
    }
}

template <class T>
bool HasKey(const std::vector<T>& list, const std::string T::*key, const std::string& value) {
    for (const T& r : list)
        if (r.*key == value)
            return true;
    return false;
}

int StatusOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ltp::Refused& refused) {
        return refused.status();
    }
    return 200;
}

struct State {
    ltp::User user = Sample<ltp::User>(1);
    ltp::Group group = Sample<ltp::Group>(2);
    ltp::Program program = Sample<ltp::Program>(3);
    ltp::Channel channel = Sample<ltp::Channel>(4);
    ltp::Schedule schedule = Sample<ltp::Schedule>(5);
    ltp::Global global = Sample<ltp::Global>(6);
    ltp::MtpServer mtp = Sample<ltp::MtpServer>(7);
    ltp::ProgramPath path = Sample<ltp::ProgramPath>(8);
    std::int32_t child = 0;
};

struct Step {
    const char* name;
    std::function<void(ltp::Client&, State&)> run;
};

const Step kLife[] = {
    {"information",
     [](ltp::Client& c, State&) {
         const std::string text(5000, 'i');
         c.add_information(text);
         EXPECT_EQ(c.information(), text);
         EXPECT_GT(c.sys_info().number3, 0);
     }},
    {"users",
     [](ltp::Client& c, State& s) {
         s.user.text4 = std::string(254, 'x'); // the widest ltpd keeps
         c.add_user(s.user);
         ExpectSame(s.user, c.find_user(s.user.user_id));
         EXPECT_TRUE(HasKey(c.users(), &ltp::User::user_id, s.user.user_id));
         s.user.text2 = "renamed";
         c.modify_user(s.user);
         ExpectSame(s.user, c.find_user(s.user.user_id));
         EXPECT_EQ(StatusOf([&] { c.add_user(s.user); }), 409);
         EXPECT_FALSE(c.find_user("nobody").has_value());
     }},
    {"groups and membership",
     [](ltp::Client& c, State& s) {
         c.add_group(s.group);
         ExpectSame(s.group, c.find_group(s.group.group_id));
         s.group.text2 = "changed";
         c.modify_group(s.group);
         ExpectSame(s.group, c.find_group(s.group.group_id));
         EXPECT_TRUE(HasKey(c.groups(), &ltp::Group::group_id, s.group.group_id));
         c.add_user_to_group(s.user.user_id, s.group.group_id);
         EXPECT_TRUE(
             HasKey(c.user_groups(s.user.user_id), &ltp::Group::group_id, s.group.group_id));
         EXPECT_TRUE(HasKey(c.group_users(s.group.group_id), &ltp::User::user_id, s.user.user_id));
     }},
    {"programs",
     [](ltp::Client& c, State& s) {
         s.program.number6 = 0; // the top level
         s.program.program_id = c.add_program(s.program);
         EXPECT_GT(s.program.program_id, 0);
         ExpectSame(s.program, c.find_program(s.program.program_id));
         s.program.text13 = std::string(1023, 'p');
         c.modify_program(s.program);
         ExpectSame(s.program, c.find_program(s.program.program_id));
         ltp::Program child = Sample<ltp::Program>(9);
         child.number6 = 0;
         s.child = c.add_program(child);
         c.move_program(s.child, s.program.program_id);
         EXPECT_EQ(c.find_program(s.child)->number6, s.program.program_id);
         const std::size_t before = c.programs().size();
         c.copy_program(s.child, 0);
         EXPECT_EQ(c.programs().size(), before + 1);
     }},
    {"rights",
     [](ltp::Client& c, State& s) {
         const std::int32_t p = s.program.program_id;
         c.add_user_rights(s.user.user_id, p, 1);
         c.modify_user_rights(s.user.user_id, p, 3);
         EXPECT_EQ(c.user_rights(s.user.user_id, p), 3);
         c.add_group_rights(s.group.group_id, p, 4);
         c.modify_group_rights(s.group.group_id, p, 8);
         EXPECT_EQ(c.group_rights(s.group.group_id, p), 8);
         EXPECT_EQ(c.user_permission(s.user.user_id, p), 11);
         EXPECT_TRUE(HasKey(c.granted_users(p), &ltp::User::user_id, s.user.user_id));
         EXPECT_TRUE(HasKey(c.granted_groups(p), &ltp::Group::group_id, s.group.group_id));
         c.apply_permission_to_descendants(p);
         EXPECT_EQ(c.user_rights(s.user.user_id, s.child), 3);
         c.delete_user_rights(s.user.user_id, p);
         c.delete_group_rights(s.group.group_id, p);
         EXPECT_EQ(c.user_permission(s.user.user_id, p), 0);
     }},
    {"channels and schedules",
     [](ltp::Client& c, State& s) {
         c.add_channel(s.channel);
         ExpectSame(s.channel, c.find_channel(s.channel.channel_id));
         s.channel.text3 = "other";
         c.modify_channel(s.channel);
         EXPECT_TRUE(HasKey(c.channels(), &ltp::Channel::channel_id, s.channel.channel_id));
         s.schedule.text2 = s.channel.channel_id;
         s.schedule.schedule_id = c.add_schedule(s.schedule);
         ExpectSame(s.schedule, c.find_schedule(s.schedule.schedule_id));
         s.schedule.number6 = 127;
         s.schedule.real5 = 45658.123456;
         c.modify_schedule(s.schedule);
         ExpectSame(s.schedule, c.find_schedule(s.schedule.schedule_id));
         EXPECT_EQ(c.channel_schedules(s.channel.channel_id).size(), 1u);
         EXPECT_EQ(c.schedules().size(), 1u);
         ExpectSame(s.channel, c.schedule_channel(s.schedule.schedule_id));
     }},
    {"globals",
     [](ltp::Client& c, State& s) {
         c.add_global(s.global);
         s.global.number2 = -5; // signs come back: old decoders read "-5" as 0
         c.modify_global(s.global);
         ExpectSame(s.global, c.find_global(s.global.key));
         EXPECT_TRUE(HasKey(c.globals(), &ltp::Global::key, s.global.key));
     }},
    {"MTP servers and paths",
     [](ltp::Client& c, State& s) {
         s.mtp.text3 = s.channel.channel_id;
         c.add_mtp_server(s.mtp);
         s.mtp.number5 = 99;
         c.modify_mtp_server(s.mtp);
         ExpectSame(s.mtp, c.find_mtp_server(s.channel.channel_id));
         EXPECT_EQ(c.mtp_servers().at(0).number4, 1); // the server's registration number
         s.path.program_id = s.program.program_id;
         c.add_path_to_program(s.path);
         EXPECT_EQ(c.program_paths(s.program.program_id).at(0).program_path, s.path.program_path);
     }},
    {"statistics and log",
     [](ltp::Client& c, State& s) {
         const double now = ltp::to_wire_date(std::chrono::system_clock::now());
         EXPECT_TRUE(c.user_program_statistics(s.user.user_id, now - 30, now).empty());
         EXPECT_TRUE(c.program_statistics(s.program.program_id, now - 30, now).empty());
         EXPECT_TRUE(c.top_programs(5, now - 30, now).empty());
         EXPECT_EQ(StatusOf([&] { c.top_programs(0, now, now); }), 400);
         const std::vector<ltp::LogEvent> log = c.log_events();
         ASSERT_FALSE(log.empty());
         EXPECT_NEAR(log.back().real2, now, 1.0);
         c.clear_log_events();
         EXPECT_TRUE(c.log_events().empty());
     }},
    {"deletes",
     [](ltp::Client& c, State& s) {
         c.delete_path_from_program(s.program.program_id, s.path.program_path);
         c.delete_mtp_server(s.mtp.mtp_svr_name);
         c.delete_global(s.global.key);
         c.delete_schedule(s.schedule.schedule_id);
         c.delete_channel(s.channel.channel_id);
         c.delete_user_from_group(s.user.user_id, s.group.group_id);
         c.delete_program(s.child);
         EXPECT_EQ(StatusOf([&] { c.delete_program(s.child); }), 404);
         c.delete_group(s.group.group_id);
         c.delete_user(s.user.user_id);
         EXPECT_FALSE(c.find_user(s.user.user_id).has_value());
         EXPECT_FALSE(c.find_schedule(s.schedule.schedule_id).has_value());
         EXPECT_TRUE(c.mtp_servers().empty());
     }},
};

TEST(ClientLifecycle, EveryOperationAgainstLtpd) {
    ltptest::LtpdThread server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    ltp::Options options;
    options.port = server.Port();
    options.user = ltptest::LtpdThread::kUser;
    options.password = ltptest::LtpdThread::kPassword;
    ltp::Client client(options);
    State state;
    for (const Step& step : kLife) {
        SCOPED_TRACE(step.name);
        try {
            step.run(client, state);
        } catch (const ltp::Error& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

} // namespace
