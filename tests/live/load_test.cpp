// Sixteen clients at once against one ltpd, each on its own thread with its own CLTPCreater,
// doing random adds, modifies, deletes, memberships, grants and paths for a bounded number of
// operations and time. Afterwards the server must hold exactly what the clients' models say
// (nothing lost, nothing doubled), have answered exactly the requests sent, have logged exactly
// the changes made, and still answer.
//
// LTPADMIN_LOAD_OPERATIONS (per client) and LTPADMIN_LOAD_SECONDS change the bounds;
// LTPADMIN_ROUNDTRIP_SEED the seed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "load_client.h"
#include "load_model.h"
#include "ltpd_thread.h"
#include "owned_list.h"
#include "record_match.h"

using namespace ltptest;

namespace {

constexpr int kClients = 16;
constexpr size_t kDefaultOperations = 1000;
constexpr unsigned kDefaultSeconds = 90;
constexpr uint64_t kDefaultSeed = 20261207;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

std::string KeyOf(const std::string& key) {
    return key;
}
std::string KeyOf(LONG key) {
    return std::to_string(key);
}

// The list holds exactly the records of want, each once, field for field.
template <class R, class K, class GetKey>
::testing::AssertionResult SameRecords(OwnedList<R>& list, const std::map<K, R>& want,
                                       GetKey getKey, const std::string& what) {
    std::map<K, const R*> got;
    for (const R* r : list.Items())
        if (!got.emplace(getKey(*r), r).second)
            return ::testing::AssertionFailure()
                   << what << ": " << Escaped(KeyOf(getKey(*r))) << " listed twice";
    for (const auto& [key, record] : want) {
        auto it = got.find(key);
        if (it == got.end())
            return ::testing::AssertionFailure() << what << ": " << Escaped(KeyOf(key)) << " lost";
        ::testing::AssertionResult same = Matches(record, *it->second);
        if (!same)
            return same << " (" << what << " " << Escaped(KeyOf(key)) << ")";
    }
    if (got.size() != want.size())
        return ::testing::AssertionFailure()
               << what << ": " << got.size() << " records on the server, expected " << want.size();
    return ::testing::AssertionSuccess();
}

class Load : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        ASSERT_TRUE(m_server.LogIn(m_checker));
    }
    void TearDown() override {
        m_checker.LogOut();
        m_server.Stop();
    }

    ::testing::AssertionResult Succeeded(int result) {
        if (result == 1)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "returned " << result << ", GetLastError "
               << static_cast<LONG>(m_checker.GetLastError()) << ", reason \""
               << static_cast<const char*>(m_checker.GetErrorDescription()) << "\"";
    }

    // Groups and programs every client uses and none deletes.
    void MakeShared() {
        for (int i = 0; i < 3; ++i) {
            tagGroup g{};
            std::snprintf(g.GroupID, sizeof g.GroupID, "shared.g%d", i);
            std::snprintf(g.Text2, sizeof g.Text2, "group every client's users join");
            ASSERT_TRUE(Succeeded(m_checker.AddGroup(&g)));
            m_shared.groups.push_back(g.GroupID);
            m_expected.groups[g.GroupID] = g;

            tagProgram p{};
            std::snprintf(p.Text2, sizeof p.Text2, "shared program %d", i);
            ASSERT_TRUE(Succeeded(m_checker.AddProgram(&p)));
            m_shared.programs.push_back(p.ProgramID);
            m_expected.programs[p.ProgramID] = p;
        }
    }

    size_t LogLength() {
        OwnedList<tagLogEvent> log;
        EXPECT_TRUE(Succeeded(m_checker.GetAllLogEvents(log.List())));
        return log.Items().size();
    }

    void ExpectCatalogues() {
        OwnedList<tagUser> users;
        ASSERT_TRUE(Succeeded(m_checker.GetUsers(users.List())));
        EXPECT_TRUE(SameRecords(
            users, m_expected.users, [](const tagUser& r) { return std::string(r.UserID); },
            "users"));
        OwnedList<tagGroup> groups;
        ASSERT_TRUE(Succeeded(m_checker.GetGroups(groups.List())));
        EXPECT_TRUE(SameRecords(
            groups, m_expected.groups, [](const tagGroup& r) { return std::string(r.GroupID); },
            "groups"));
        OwnedList<tagProgram> programs;
        ASSERT_TRUE(Succeeded(m_checker.GetPrograms(programs.List())));
        EXPECT_TRUE(SameRecords(
            programs, m_expected.programs, [](const tagProgram& r) { return r.ProgramID; },
            "programs"));
        OwnedList<tagChannel> channels;
        ASSERT_TRUE(Succeeded(m_checker.GetChannels(channels.List())));
        EXPECT_TRUE(SameRecords(
            channels, m_expected.channels,
            [](const tagChannel& r) { return std::string(r.ChannelID); }, "channels"));
        OwnedList<tagSchedule> schedules;
        ASSERT_TRUE(Succeeded(m_checker.GetSchedules(schedules.List())));
        EXPECT_TRUE(SameRecords(
            schedules, m_expected.schedules, [](const tagSchedule& r) { return r.ScheduleID; },
            "schedules"));
        OwnedList<tagGlobal> globals;
        ASSERT_TRUE(Succeeded(m_checker.GetGlobals(globals.List())));
        EXPECT_TRUE(SameRecords(
            globals, m_expected.globals, [](const tagGlobal& r) { return std::string(r.Key); },
            "globals"));
        OwnedList<MTPSVR> servers;
        ASSERT_TRUE(Succeeded(m_checker.GetMTPSvrs(servers.List())));
        EXPECT_TRUE(SameRecords(
            servers, m_expected.mtpServers,
            [](const MTPSVR& r) { return std::string(r.MTPSvrName); }, "MTP servers"));
        // Registration numbers are given once each, however many clients add at once.
        std::map<LONG, int> numbers;
        for (const MTPSVR* s : servers.Items()) {
            EXPECT_GT(s->Number4, 0) << s->MTPSvrName;
            EXPECT_EQ(++numbers[s->Number4], 1) << "registration number " << s->Number4;
        }
    }

    void ExpectRelations() {
        for (const auto& [user, record] : m_expected.users) {
            std::map<std::string, tagGroup> want;
            for (const auto& [member, group] : m_expected.members)
                if (member == user)
                    want[group] = m_expected.groups.at(group);
            OwnedList<tagGroup> groups;
            ASSERT_TRUE(Succeeded(m_checker.GetUserGroups(user.c_str(), groups.List())));
            EXPECT_TRUE(SameRecords(
                groups, want, [](const tagGroup& r) { return std::string(r.GroupID); },
                "groups of " + Escaped(user)));
        }
        for (const std::string& group : m_shared.groups) {
            std::map<std::string, tagUser> want;
            for (const auto& [user, of] : m_expected.members)
                if (of == group)
                    want[user] = m_expected.users.at(user);
            OwnedList<tagUser> users;
            ASSERT_TRUE(Succeeded(m_checker.GetGroupUsers(group.c_str(), users.List())));
            EXPECT_TRUE(SameRecords(
                users, want, [](const tagUser& r) { return std::string(r.UserID); },
                "members of " + group));
        }
        for (const auto& [program, record] : m_expected.programs) {
            std::map<std::string, tagUser> users;
            std::map<std::string, tagGroup> groups;
            for (const auto& [grant, rights] : m_expected.userRights) {
                if (grant.second != program)
                    continue;
                users[grant.first] = m_expected.users.at(grant.first);
                LONG got = -12345;
                EXPECT_TRUE(Succeeded(m_checker.GetUserRights(grant.first.c_str(), program, &got)));
                EXPECT_EQ(got, rights) << Escaped(grant.first) << " on " << program;
            }
            for (const auto& [grant, rights] : m_expected.groupRights) {
                if (grant.second != program)
                    continue;
                groups[grant.first] = m_expected.groups.at(grant.first);
                LONG got = -12345;
                EXPECT_TRUE(
                    Succeeded(m_checker.GetGroupRights(grant.first.c_str(), program, &got)));
                EXPECT_EQ(got, rights) << Escaped(grant.first) << " on " << program;
            }
            OwnedList<tagUser> grantedUsers;
            ASSERT_TRUE(Succeeded(m_checker.GetGrantedUsers(program, grantedUsers.List())));
            EXPECT_TRUE(SameRecords(
                grantedUsers, users, [](const tagUser& r) { return std::string(r.UserID); },
                "users granted on " + std::to_string(program)));
            OwnedList<tagGroup> grantedGroups;
            ASSERT_TRUE(Succeeded(m_checker.GetGrantedGroups(program, grantedGroups.List())));
            EXPECT_TRUE(SameRecords(
                grantedGroups, groups, [](const tagGroup& r) { return std::string(r.GroupID); },
                "groups granted on " + std::to_string(program)));

            std::map<std::string, PROGRAMPATH> paths;
            for (const auto& [key, path] : m_expected.paths)
                if (key.first == program)
                    paths[key.second] = path;
            OwnedList<PROGRAMPATH> got;
            ASSERT_TRUE(Succeeded(m_checker.GetProgramPath(program, got.List())));
            EXPECT_TRUE(SameRecords(
                got, paths, [](const PROGRAMPATH& r) { return std::string(r.ProgramPath); },
                "paths of " + std::to_string(program)));
        }
    }

    LtpdThread m_server;
    CLTPCreater m_checker;
    SharedRecords m_shared;
    LoadModel m_expected;
};

TEST_F(Load, SixteenClientsLoseAndDoubleNothing) {
    MakeShared();
    if (HasFatalFailure())
        return;
    tagSysInfo before{};
    ASSERT_TRUE(Succeeded(m_checker.GetSysInfo(&before)));
    const size_t logBefore = LogLength();

    const size_t operations = EnvNumber("LTPADMIN_LOAD_OPERATIONS", kDefaultOperations);
    const auto seconds = std::chrono::seconds(EnvNumber("LTPADMIN_LOAD_SECONDS", kDefaultSeconds));
    const uint64_t seed = EnvNumber("LTPADMIN_ROUNDTRIP_SEED", kDefaultSeed);
    std::vector<std::unique_ptr<LoadClient>> clients;
    for (int i = 0; i < kClients; ++i)
        clients.push_back(std::make_unique<LoadClient>(i, seed * 31 + i, m_shared));
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (auto& client : clients)
        threads.emplace_back(
            [&, c = client.get()] { c->Run(m_server, operations, start + seconds); });
    for (std::thread& t : threads)
        t.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    size_t done = 0, requests = 0, changes = 0;
    std::vector<std::string> clashes;
    for (auto& client : clients) {
        done += client->Operations();
        requests += client->Requests();
        changes += client->Changes();
        for (const std::string& error : client->Errors())
            ADD_FAILURE() << error;
        m_expected.Merge(client->Model(), clashes);
    }
    std::printf("[   LOAD   ] %d clients, %zu operations (%zu requests, %zu changes) in %.2f s, "
                "%.0f requests/s, seed %llu\n",
                kClients, done, requests, changes, elapsed, requests / elapsed,
                static_cast<unsigned long long>(seed));
    RecordProperty("load_operations", static_cast<int>(done));
    for (const std::string& clash : clashes)
        ADD_FAILURE() << clash;

    // Every request was answered once: none lost, none counted twice.
    tagSysInfo after{};
    ASSERT_TRUE(Succeeded(m_checker.GetSysInfo(&after)));
    EXPECT_EQ(after.Number3 - before.Number3, static_cast<LONG>(requests) + 2)
        << "requests the server answered, besides the checker's two";
    EXPECT_EQ(after.Number5, kClients + 1) << "connections accepted";

    ExpectCatalogues();
    ExpectRelations();
    EXPECT_EQ(LogLength() - logBefore, changes) << "log entries written for the changes made";

    // Still answering, to a newcomer as to the checker.
    CLTPCreater newcomer;
    ASSERT_TRUE(m_server.LogIn(newcomer));
    tagSysInfo last{};
    EXPECT_TRUE(Succeeded(newcomer.GetSysInfo(&last)) && last.Number2 == 2)
        << "open connections " << last.Number2;
    newcomer.LogOut();
}

} // namespace
