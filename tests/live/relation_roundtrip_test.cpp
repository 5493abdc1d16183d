// Round trip of what ties records together and of free text: memberships, user and group rights
// (with the permission the server derives from them), program paths and the information text go
// out through their add, modify and delete operations and must read back as a model kept by the
// test says; keys the protocol cannot carry are refused with -8 before anything is sent.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "owned_list.h"
#include "record_match.h"
#include "roundtrip_fixture.h"

using namespace ltptest;

namespace {

// Share of operations given a key the protocol cannot carry.
constexpr double kUncarriableShare = 0.1;

class RelationRoundTrip : public RoundTripFixture {
protected:
    // Users, groups and programs with random keys and texts, themselves round-tripped.
    void MakePeople(size_t users, size_t groups, size_t programs) {
        std::set<std::string> keys;
        for (size_t i = 0; i < users; ++i) {
            tagUser u{};
            const std::string key = FreshKey(sizeof u.UserID, keys);
            keys.insert(key);
            Put(u.UserID, sizeof u.UserID, key);
            Put(u.Text2, sizeof u.Text2, Fields().Text(sizeof u.Text2));
            Put(u.Text5, sizeof u.Text5, Fields().Text(sizeof u.Text5));
            ASSERT_TRUE(Succeeded(m_admin.AddUser(&u)));
            m_users.push_back(u);
        }
        keys.clear();
        for (size_t i = 0; i < groups; ++i) {
            tagGroup g{};
            const std::string key = FreshKey(sizeof g.GroupID, keys);
            keys.insert(key);
            Put(g.GroupID, sizeof g.GroupID, key);
            Put(g.Text2, sizeof g.Text2, Fields().Text(sizeof g.Text2));
            ASSERT_TRUE(Succeeded(m_admin.AddGroup(&g)));
            m_groups.push_back(g);
        }
        for (size_t i = 0; i < programs; ++i) {
            tagProgram p{};
            Put(p.Text2, sizeof p.Text2, Fields().Text(sizeof p.Text2));
            ASSERT_TRUE(Succeeded(m_admin.AddProgram(&p)));
            m_programs.push_back(p.ProgramID);
        }
    }

    static std::string KeyOf(const tagUser& r) { return r.UserID; }
    static std::string KeyOf(const tagGroup& r) { return r.GroupID; }
    static std::string KeyOf(const PROGRAMPATH& r) { return r.ProgramPath; }

    // The list holds exactly the records of want, each once, whatever their order.
    template <class R>
    ::testing::AssertionResult SameSet(OwnedList<R>& list, const std::vector<const R*>& want,
                                       const char* what) {
        std::map<std::string, const R*> got;
        for (const R* g : list.Items())
            if (!got.emplace(KeyOf(*g), g).second)
                return ::testing::AssertionFailure()
                       << what << ": " << Escaped(KeyOf(*g)) << " listed twice";
        if (got.size() != want.size())
            return ::testing::AssertionFailure()
                   << what << ": " << got.size() << " records, expected " << want.size();
        for (const R* w : want) {
            auto it = got.find(KeyOf(*w));
            if (it == got.end())
                return ::testing::AssertionFailure()
                       << what << ": " << Escaped(KeyOf(*w)) << " is missing";
            ::testing::AssertionResult same = Matches(*w, *it->second);
            if (!same)
                return same << " (" << what << ")";
        }
        return ::testing::AssertionSuccess();
    }

    // Everything the server says about user u, group g and program p agrees with the model.
    void ExpectAgrees(size_t u, size_t g, size_t p) {
        const tagUser& user = m_users[u];
        const tagGroup& group = m_groups[g];
        const LONG program = m_programs[p];

        LONG rights = -12345;
        EXPECT_TRUE(Succeeded(m_admin.GetUserRights(user.UserID, program, &rights)));
        EXPECT_EQ(rights, Lookup(m_userRights, u, p)) << "user rights";
        rights = -12345;
        EXPECT_TRUE(Succeeded(m_admin.GetGroupRights(group.GroupID, program, &rights)));
        EXPECT_EQ(rights, Lookup(m_groupRights, g, p)) << "group rights";

        LONG permission = Lookup(m_userRights, u, p);
        for (size_t i = 0; i < m_groups.size(); ++i)
            if (m_members.count({u, i}))
                permission |= Lookup(m_groupRights, i, p);
        LONG got = -12345;
        EXPECT_TRUE(Succeeded(m_admin.GetUserPermission(user.UserID, program, &got)));
        EXPECT_EQ(got, permission) << "permission";

        std::vector<const tagGroup*> groupsOfUser;
        std::vector<const tagUser*> usersOfGroup;
        for (const Pair& pair : m_members) {
            if (pair.first == u)
                groupsOfUser.push_back(&m_groups[pair.second]);
            if (pair.second == g)
                usersOfGroup.push_back(&m_users[pair.first]);
        }
        OwnedList<tagGroup> groups;
        EXPECT_TRUE(Succeeded(m_admin.GetUserGroups(user.UserID, groups.List())));
        EXPECT_TRUE(SameSet(groups, groupsOfUser, "groups of the user"));
        OwnedList<tagUser> users;
        EXPECT_TRUE(Succeeded(m_admin.GetGroupUsers(group.GroupID, users.List())));
        EXPECT_TRUE(SameSet(users, usersOfGroup, "users of the group"));

        std::vector<const tagUser*> grantedUsers;
        for (const auto& [key, unused] : m_userRights)
            if (key.second == p)
                grantedUsers.push_back(&m_users[key.first]);
        std::vector<const tagGroup*> grantedGroups;
        for (const auto& [key, unused] : m_groupRights)
            if (key.second == p)
                grantedGroups.push_back(&m_groups[key.first]);
        OwnedList<tagUser> holders;
        EXPECT_TRUE(Succeeded(m_admin.GetGrantedUsers(program, holders.List())));
        EXPECT_TRUE(SameSet(holders, grantedUsers, "users granted"));
        OwnedList<tagGroup> groupHolders;
        EXPECT_TRUE(Succeeded(m_admin.GetGrantedGroups(program, groupHolders.List())));
        EXPECT_TRUE(SameSet(groupHolders, grantedGroups, "groups granted"));
    }

    using Pair = std::pair<size_t, size_t>;
    static LONG Lookup(const std::map<Pair, LONG>& rights, size_t who, size_t program) {
        auto it = rights.find({who, program});
        return it == rights.end() ? 0 : it->second;
    }

    // One grant of a user (or a group) on a program: added when there is none, otherwise
    // changed or taken back. Now and then it is added twice, which the server refuses.
    template <class Add, class Modify, class Delete>
    void ChangeGrant(std::map<Pair, LONG>& model, Pair key, Add add, Modify modify, Delete del) {
        auto it = model.find(key);
        const LONG value = Fields().Number();
        if (it == model.end()) {
            ASSERT_TRUE(Succeeded(add(value))) << " (add rights)";
            model[key] = value;
        } else if (Fields().Chance(0.15)) {
            EXPECT_TRUE(RefusedByServer(add(value))) << " (rights added twice)";
        } else if (Fields().Chance(0.5)) {
            ASSERT_TRUE(Succeeded(modify(value))) << " (modify rights)";
            it->second = value;
        } else {
            ASSERT_TRUE(Succeeded(del())) << " (delete rights)";
            model.erase(it);
        }
    }

    std::vector<tagUser> m_users;
    std::vector<tagGroup> m_groups;
    std::vector<LONG> m_programs;
    std::set<Pair> m_members;          // (user, group)
    std::map<Pair, LONG> m_userRights; // (user, program) -> rights
    std::map<Pair, LONG> m_groupRights;
};

TEST_P(RelationRoundTrip, MembershipsRightsAndPermissions) {
    MakePeople(5, 4, 3);
    if (HasFatalFailure())
        return;
    for (size_t n = 0; n < Cases(); ++n) {
        SCOPED_TRACE("case " + std::to_string(n) + ", seed " + std::to_string(Seed()));
        const size_t u = Fields().Below(m_users.size());
        const size_t g = Fields().Below(m_groups.size());
        const size_t p = Fields().Below(m_programs.size());
        const char* user = m_users[u].UserID;
        const char* group = m_groups[g].GroupID;
        const LONG program = m_programs[p];

        if (Fields().Chance(kUncarriableShare)) {
            // Each of the operations of this family, given a key it cannot carry.
            const std::string bad = Fields().Uncarriable(50);
            const LONG before = Served();
            int result = 0;
            switch (Fields().Below(6)) {
                case 0:
                    result = m_admin.AddUserToGroup(bad.c_str(), group);
                    break;
                case 1:
                    result = m_admin.DeleteUserFromGroup(user, bad.c_str());
                    break;
                case 2:
                    result = m_admin.AddUserRights(bad.c_str(), program, 1);
                    break;
                case 3:
                    result = m_admin.ModifyGroupRights(bad.c_str(), program, 1);
                    break;
                case 4:
                    result = m_admin.DeleteUserRights(bad.c_str(), program);
                    break;
                default:
                    result = m_admin.AddGroupRights(bad.c_str(), program, 1);
                    break;
            }
            Count(true);
            EXPECT_TRUE(RefusedUnsent(result, before)) << " key " << Escaped(bad);
        } else {
            Count();
            switch (Fields().Below(3)) {
                case 0: {
                    const Pair key{u, g};
                    if (!m_members.count(key)) {
                        ASSERT_TRUE(Succeeded(m_admin.AddUserToGroup(user, group)));
                        m_members.insert(key);
                    } else if (Fields().Chance(0.15)) {
                        EXPECT_TRUE(RefusedByServer(m_admin.AddUserToGroup(user, group)))
                            << " (member added twice)";
                    } else {
                        ASSERT_TRUE(Succeeded(m_admin.DeleteUserFromGroup(user, group)));
                        m_members.erase(key);
                    }
                    break;
                }
                case 1:
                    ChangeGrant(
                        m_userRights, {u, p},
                        [&](LONG v) { return m_admin.AddUserRights(user, program, v); },
                        [&](LONG v) { return m_admin.ModifyUserRights(user, program, v); },
                        [&] { return m_admin.DeleteUserRights(user, program); });
                    break;
                default:
                    ChangeGrant(
                        m_groupRights, {g, p},
                        [&](LONG v) { return m_admin.AddGroupRights(group, program, v); },
                        [&](LONG v) { return m_admin.ModifyGroupRights(group, program, v); },
                        [&] { return m_admin.DeleteGroupRights(group, program); });
                    break;
            }
        }
        if (HasFatalFailure())
            return;
        ExpectAgrees(u, g, p);
    }
}

TEST_P(RelationRoundTrip, ProgramPaths) {
    MakePeople(0, 0, 3);
    if (HasFatalFailure())
        return;
    std::vector<std::map<std::string, PROGRAMPATH>> model(m_programs.size());
    for (size_t n = 0; n < Cases(); ++n) {
        SCOPED_TRACE("case " + std::to_string(n) + ", seed " + std::to_string(Seed()));
        const size_t p = Fields().Below(m_programs.size());
        std::map<std::string, PROGRAMPATH>& paths = model[p];
        const size_t action = Fields().Below(10);
        if ((action < 6 && paths.size() < 24) || paths.empty()) {
            PROGRAMPATH path{};
            path.ProgramID = m_programs[p];
            std::set<std::string> taken;
            for (const auto& entry : paths)
                taken.insert(entry.first);
            const bool carriable = !Fields().Chance(kUncarriableShare);
            const std::string text = carriable ? FreshKey(sizeof path.ProgramPath, taken)
                                               : Fields().Uncarriable(sizeof path.ProgramPath);
            Put(path.ProgramPath, sizeof path.ProgramPath, text);
            path.Real3 = Fields().Decimal();
            path.Real4 = Fields().Decimal();
            Count(!carriable);
            if (!carriable) {
                const LONG before = Served();
                EXPECT_TRUE(RefusedUnsent(m_admin.AddPathToProgram(&path), before));
            } else {
                ASSERT_TRUE(Succeeded(m_admin.AddPathToProgram(&path))) << Escaped(text);
                paths[text] = path;
            }
        } else if (action < 7) {
            PROGRAMPATH again = paths.begin()->second;
            again.Real3 += 1.0;
            Count();
            EXPECT_TRUE(RefusedByServer(m_admin.AddPathToProgram(&again))) << " (path added twice)";
        } else if (action < 8) {
            const std::string bad = Fields().Uncarriable(255);
            const LONG before = Served();
            Count(true);
            EXPECT_TRUE(
                RefusedUnsent(m_admin.DelPathFromProgram(m_programs[p], bad.c_str()), before));
        } else {
            auto victim = paths.begin();
            std::advance(victim, static_cast<long>(Fields().Below(paths.size())));
            Count();
            ASSERT_TRUE(
                Succeeded(m_admin.DelPathFromProgram(m_programs[p], victim->first.c_str())));
            paths.erase(victim);
        }
        OwnedList<PROGRAMPATH> list;
        ASSERT_TRUE(Succeeded(m_admin.GetProgramPath(m_programs[p], list.List())));
        std::vector<const PROGRAMPATH*> want;
        for (const auto& entry : paths)
            want.push_back(&entry.second);
        EXPECT_TRUE(SameSet(list, want, "paths of the program"));
    }
}

TEST_P(RelationRoundTrip, InformationText) {
    // Free text: any byte but zero, line ends, "|" and "<" included, comes back unchanged.
    for (size_t n = 0; n < Cases(); ++n) {
        SCOPED_TRACE("case " + std::to_string(n) + ", seed " + std::to_string(Seed()));
        std::string text = Fields().Chance(0.1) ? std::string() : Fields().Bytes(4000);
        Count();
        ASSERT_TRUE(Succeeded(m_admin.AddInfomation(&text[0])));
        char* got = nullptr;
        ASSERT_TRUE(Succeeded(m_admin.GetInfomation(&got)));
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(std::string(got), text) << Escaped(text);
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, RelationRoundTrip, ::testing::Values(1252u, 936u),
                         CodePageName);

} // namespace
