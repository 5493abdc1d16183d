// ltp::Pipeline against a live ltpd: thousands of requests in flight, refusals among them, every
// outcome in order and the server's state as the answers said.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ltpadmin/client.h"
#include "ltpd_thread.h"

namespace {

using State = ltp::Pipeline::Outcome::State;

ltp::User UserNumber(int n) {
    ltp::User u;
    u.user_id = "p" + std::to_string(n);
    u.text2 = "Pipelined " + std::to_string(n);
    return u;
}

// What request i is and how the server must answer it.
enum class Kind { add, duplicate, missing, program };
Kind KindOf(int i) {
    if (i % 50 == 25)
        return Kind::program;
    if (i % 10 == 3)
        return Kind::missing;
    if (i % 10 == 7)
        return Kind::duplicate; // the user request i-1 added
    return Kind::add;
}

TEST(PipelineLive, TenThousandRequestsAnsweredInOrder) {
    ltptest::LtpdThread server;
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    ltp::Options options;
    options.port = server.Port();
    options.user = ltptest::LtpdThread::kUser;
    options.password = ltptest::LtpdThread::kPassword;
    ltp::Client client(options);

    constexpr int kRequests = 10000;
    std::size_t told = 0;
    ltp::Pipeline pipeline(client, 64, [&](std::size_t index, const ltp::Pipeline::Outcome&) {
        EXPECT_EQ(index, told);
        ++told;
    });
    int added = 0;
    for (int i = 0; i < kRequests; ++i) {
        switch (KindOf(i)) {
            case Kind::add:
                pipeline.add_user(UserNumber(i));
                ++added;
                break;
            case Kind::duplicate:
                pipeline.add_user(UserNumber(i - 1));
                break;
            case Kind::missing:
                pipeline.delete_user("nobody" + std::to_string(i));
                break;
            case Kind::program: {
                ltp::Program program;
                program.text2 = "program " + std::to_string(i);
                pipeline.add_program(program);
                break;
            }
        }
    }
    pipeline.flush();
    ASSERT_FALSE(pipeline.failed());
    ASSERT_EQ(told, static_cast<std::size_t>(kRequests));
    const auto& outcomes = pipeline.outcomes();
    std::int32_t lastProgram = 0;
    int wrong = 0;
    for (int i = 0; i < kRequests && wrong < 5; ++i) {
        const ltp::Pipeline::Outcome& o = outcomes[static_cast<std::size_t>(i)];
        bool right = false;
        switch (KindOf(i)) {
            case Kind::add:
                right = o.state == State::succeeded;
                break;
            case Kind::duplicate:
                right = o.state == State::refused && o.status == 409;
                break;
            case Kind::missing:
                right = o.state == State::refused && o.status == 404;
                break;
            case Kind::program:
                right = o.state == State::succeeded && o.new_id > lastProgram;
                lastProgram = o.new_id;
                break;
        }
        if (!right) {
            ++wrong;
            ADD_FAILURE() << "request " << i << ": state " << static_cast<int>(o.state) << " "
                          << o.status << " " << o.message;
        }
    }
    // The client is free again, and the server holds what the answers said.
    int users = 0;
    for (const ltp::User& u : client.users())
        users += u.user_id.rfind("p", 0) == 0 ? 1 : 0;
    EXPECT_EQ(users, added);
    server.Stop();
}

} // namespace
