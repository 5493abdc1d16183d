// Round trip through the real server: random records go out through every add and modify
// operation and must come back through the matching find and list operations field for field;
// a record with a text the protocol cannot carry must be refused with -8 before anything is sent,
// and the server must not change. Runs under a single-byte and a double-byte code page.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "owned_list.h"
#include "record_match.h"
#include "roundtrip_fixture.h"

using namespace ltptest;

namespace {

// Share of records sent with one text the protocol cannot carry.
constexpr double kUncarriableShare = 0.12;
// Share of carriable records the server must refuse (and then hold nothing of).
constexpr double kServerRefusedShare = 0.05;

// What a text field of a record stands for when a test fills it.
enum class Role { Key, Free, Channel };

// The things records refer to, made before the cases run: programs to hang new programs below
// and channels for schedules.
struct World {
    std::vector<LONG> programs;
    std::vector<std::string> channels;
};

// Per record type: its text fields, its numbers, and the operations that send and fetch it.
template <class R> struct Family;

template <> struct Family<tagUser> {
    static constexpr const char* kName = "user";
    static constexpr bool kTextKey = true;
    template <class F> static void Texts(tagUser& r, F f) {
        f(r.UserID, sizeof r.UserID, Role::Key);
        f(r.Text2, sizeof r.Text2, Role::Free);
        f(r.Text3, sizeof r.Text3, Role::Free);
        f(r.Text4, sizeof r.Text4, Role::Free);
        f(r.Text5, sizeof r.Text5, Role::Free);
        f(r.Text6, sizeof r.Text6, Role::Free);
    }
    static void Numbers(tagUser&, RandomFields&, const World&, bool) {}
    static int Add(CLTPCreater& a, tagUser& r) { return a.AddUser(&r); }
    static int Modify(CLTPCreater& a, tagUser& r) { return a.ModifyUser(&r); }
    static int Find(CLTPCreater& a, const tagUser& r, tagUser& out) {
        return a.FindUser(r.UserID, &out);
    }
    static int Delete(CLTPCreater& a, const tagUser& r) { return a.DeleteUser(r.UserID); }
    static int List(CLTPCreater& a, CList<tagUser*, tagUser*>* l) { return a.GetUsers(l); }
    static std::string Key(const tagUser& r) { return r.UserID; }
};

template <> struct Family<tagGroup> {
    static constexpr const char* kName = "group";
    static constexpr bool kTextKey = true;
    template <class F> static void Texts(tagGroup& r, F f) {
        f(r.GroupID, sizeof r.GroupID, Role::Key);
        f(r.Text2, sizeof r.Text2, Role::Free);
    }
    static void Numbers(tagGroup&, RandomFields&, const World&, bool) {}
    static int Add(CLTPCreater& a, tagGroup& r) { return a.AddGroup(&r); }
    static int Modify(CLTPCreater& a, tagGroup& r) { return a.ModifyGroup(&r); }
    static int Find(CLTPCreater& a, const tagGroup& r, tagGroup& out) {
        return a.FindGroup(r.GroupID, &out);
    }
    static int Delete(CLTPCreater& a, const tagGroup& r) { return a.DeleteGroup(r.GroupID); }
    static int List(CLTPCreater& a, CList<tagGroup*, tagGroup*>* l) { return a.GetGroups(l); }
    static std::string Key(const tagGroup& r) { return r.GroupID; }
};

template <> struct Family<tagProgram> {
    static constexpr const char* kName = "program";
    static constexpr bool kTextKey = false;
    template <class F> static void Texts(tagProgram& r, F f) {
        f(r.Text2, sizeof r.Text2, Role::Free);
        f(r.Text3, sizeof r.Text3, Role::Free);
        f(r.Text4, sizeof r.Text4, Role::Free);
        f(r.Text8, sizeof r.Text8, Role::Free);
        f(r.Text9, sizeof r.Text9, Role::Free);
        f(r.Text10, sizeof r.Text10, Role::Free);
        f(r.Text11, sizeof r.Text11, Role::Free);
        f(r.Text12, sizeof r.Text12, Role::Free);
        f(r.Text13, sizeof r.Text13, Role::Free);
    }
    // Number6 is the parent in ltpd: an existing program or 0 for the top level. The number
    // sent with an add is passed over by the server, so it may be anything.
    static void Numbers(tagProgram& r, RandomFields& g, const World& w, bool keepKey) {
        if (!keepKey)
            r.ProgramID = g.Number();
        r.Real5 = g.Decimal();
        r.Number6 =
            g.Chance(0.3) || w.programs.empty() ? 0 : w.programs[g.Below(w.programs.size())];
        r.Number7 = g.Number();
    }
    static int Add(CLTPCreater& a, tagProgram& r) { return a.AddProgram(&r); }
    static int Modify(CLTPCreater& a, tagProgram& r) { return a.ModifyProgram(&r); }
    static int Find(CLTPCreater& a, const tagProgram& r, tagProgram& out) {
        return a.FindProgram(r.ProgramID, &out);
    }
    static int Delete(CLTPCreater& a, const tagProgram& r) { return a.DeleteProgram(r.ProgramID); }
    static int List(CLTPCreater& a, CList<tagProgram*, tagProgram*>* l) { return a.GetPrograms(l); }
    static std::string Key(const tagProgram& r) { return std::to_string(r.ProgramID); }
};

template <> struct Family<tagChannel> {
    static constexpr const char* kName = "channel";
    static constexpr bool kTextKey = true;
    template <class F> static void Texts(tagChannel& r, F f) {
        f(r.ChannelID, sizeof r.ChannelID, Role::Key);
        f(r.Text2, sizeof r.Text2, Role::Free);
        f(r.Text3, sizeof r.Text3, Role::Free);
    }
    static void Numbers(tagChannel&, RandomFields&, const World&, bool) {}
    static int Add(CLTPCreater& a, tagChannel& r) { return a.AddChannel(&r); }
    static int Modify(CLTPCreater& a, tagChannel& r) { return a.ModifyChannel(&r); }
    static int Find(CLTPCreater& a, const tagChannel& r, tagChannel& out) {
        return a.FindChannel(r.ChannelID, &out);
    }
    static int Delete(CLTPCreater& a, const tagChannel& r) { return a.DeleteChannel(r.ChannelID); }
    static int List(CLTPCreater& a, CList<tagChannel*, tagChannel*>* l) { return a.GetChannels(l); }
    static std::string Key(const tagChannel& r) { return r.ChannelID; }
};

template <> struct Family<tagSchedule> {
    static constexpr const char* kName = "schedule";
    static constexpr bool kTextKey = false;
    // Text2 names the schedule's channel in ltpd: an existing one or none.
    template <class F> static void Texts(tagSchedule& r, F f) {
        f(r.Text2, sizeof r.Text2, Role::Channel);
    }
    static void Numbers(tagSchedule& r, RandomFields& g, const World&, bool keepKey) {
        if (!keepKey)
            r.ScheduleID = g.Number();
        r.Number3 = g.Number();
        r.Real4 = g.Decimal();
        r.Real5 = g.Decimal();
        r.Number6 = g.Number();
    }
    static int Add(CLTPCreater& a, tagSchedule& r) { return a.AddSchedule(&r); }
    static int Modify(CLTPCreater& a, tagSchedule& r) { return a.ModifySchedule(&r); }
    static int Find(CLTPCreater& a, const tagSchedule& r, tagSchedule& out) {
        return a.FindSchedule(r.ScheduleID, &out);
    }
    static int Delete(CLTPCreater& a, const tagSchedule& r) {
        return a.DeleteSchedule(r.ScheduleID);
    }
    static int List(CLTPCreater& a, CList<tagSchedule*, tagSchedule*>* l) {
        return a.GetSchedules(l);
    }
    static std::string Key(const tagSchedule& r) { return std::to_string(r.ScheduleID); }
};

template <> struct Family<tagGlobal> {
    static constexpr const char* kName = "global";
    static constexpr bool kTextKey = true;
    template <class F> static void Texts(tagGlobal& r, F f) {
        f(r.Key, sizeof r.Key, Role::Key);
        f(r.Text3, sizeof r.Text3, Role::Free);
        f(r.Text4, sizeof r.Text4, Role::Free);
    }
    static void Numbers(tagGlobal& r, RandomFields& g, const World&, bool) {
        r.Number2 = g.Number();
    }
    static int Add(CLTPCreater& a, tagGlobal& r) { return a.AddGlobal(&r); }
    static int Modify(CLTPCreater& a, tagGlobal& r) { return a.ModifyGlobal(&r); }
    static int Find(CLTPCreater& a, const tagGlobal& r, tagGlobal& out) {
        return a.FindGlobal(r.Key, &out);
    }
    static int Delete(CLTPCreater& a, const tagGlobal& r) { return a.DeleteGlobal(r.Key); }
    static int List(CLTPCreater& a, CList<tagGlobal*, tagGlobal*>* l) { return a.GetGlobals(l); }
    static std::string Key(const tagGlobal& r) { return r.Key; }
};

template <> struct Family<MTPSVR> {
    static constexpr const char* kName = "MTP server";
    static constexpr bool kTextKey = true;
    template <class F> static void Texts(MTPSVR& r, F f) {
        f(r.MTPSvrName, sizeof r.MTPSvrName, Role::Key);
        f(r.Text2, sizeof r.Text2, Role::Free);
        f(r.Text3, sizeof r.Text3, Role::Free);
    }
    // Number4 is never sent: whatever it holds must not reach the server.
    static void Numbers(MTPSVR& r, RandomFields& g, const World&, bool) {
        r.Number4 = g.Number();
        r.Number5 = g.Number();
        r.Number6 = g.Number();
    }
    static int Add(CLTPCreater& a, MTPSVR& r) { return a.AddMTPSvr(&r); }
    static int Modify(CLTPCreater& a, MTPSVR& r) { return a.ModifyMTPSvr(&r); }
    static int Find(CLTPCreater& a, const MTPSVR& r, MTPSVR& out) {
        return a.FindMTPSvr(r.MTPSvrName, &out);
    }
    static int Delete(CLTPCreater& a, const MTPSVR& r) { return a.DeleteMTPSvr(r.MTPSvrName); }
    static int List(CLTPCreater& a, CList<MTPSVR*, MTPSVR*>* l) { return a.GetMTPSvrs(l); }
    static std::string Key(const MTPSVR& r) { return r.MTPSvrName; }
};

class RecordRoundTrip : public RoundTripFixture {
protected:
    // Fills every field of r with random values (keepKey: all but its key). Now and then one
    // text is one the protocol cannot carry. Returns whether the record can be carried.
    template <class R>
    bool Fill(R& r, const World& world, std::set<std::string>& liveKeys, bool keepKey) {
        struct Slot {
            char* field;
            size_t width;
        };
        std::vector<Slot> sendable;
        Family<R>::Texts(r, [&](char* field, size_t width, Role role) {
            if (role == Role::Key && keepKey)
                return;
            std::string text;
            if (role == Role::Key)
                text = FreshKey(width, liveKeys);
            else if (role == Role::Channel)
                text = world.channels.empty() || Fields().Chance(0.2)
                           ? std::string()
                           : world.channels[Fields().Below(world.channels.size())];
            else
                text = Fields().Text(width);
            Put(field, width, text);
            sendable.push_back({field, width});
        });
        Family<R>::Numbers(r, Fields(), world, keepKey);
        if (sendable.empty() || !Fields().Chance(kUncarriableShare))
            return true;
        const Slot& slot = sendable[Fields().Below(sendable.size())];
        Put(slot.field, slot.width, Fields().Uncarriable(slot.width));
        return false;
    }

    template <class R> bool Carriable(R& r) {
        bool carriable = true;
        Family<R>::Texts(r, [&](char* field, size_t, Role) {
            carriable = carriable && IsCarriable(field, CodePage());
        });
        return carriable;
    }

    // The record as the server holds it, looked up by its key.
    template <class R>::testing::AssertionResult FoundAs(const R& want) {
        R got{};
        const int result = Family<R>::Find(m_admin, want, got);
        if (result != 1)
            return Succeeded(result) << " (find)";
        return Matches(want, got) << " (find of " << Escaped(Family<R>::Key(want)) << ")";
    }

    // The list holds exactly the live records (and the count it started with), each once.
    template <class R>
    ::testing::AssertionResult ListedAs(const std::map<std::string, R>& live, size_t others) {
        OwnedList<R> list;
        const int result = Family<R>::List(m_admin, list.List());
        if (result != 1)
            return Succeeded(result) << " (list)";
        const std::vector<const R*> items = list.Items();
        if (items.size() != live.size() + others)
            return ::testing::AssertionFailure() << "the list holds " << items.size()
                                                 << " records, expected " << live.size() + others;
        for (const auto& [key, want] : live) {
            size_t seen = 0;
            for (const R* got : items) {
                if (Family<R>::Key(*got) != key)
                    continue;
                ++seen;
                ::testing::AssertionResult same = Matches(want, *got);
                if (!same)
                    return same << " (list entry " << Escaped(key) << ")";
            }
            if (seen != 1)
                return ::testing::AssertionFailure()
                       << Escaped(key) << " is listed " << seen << " times";
        }
        return ::testing::AssertionSuccess();
    }

    // The whole cycle for one record type: add, find, modify, find, list now and then, delete.
    template <class R> void RunFamily(const World& world) {
        using F = Family<R>;
        std::set<std::string> liveKeys; // text keys, for records keyed by text
        std::map<std::string, R> live;  // by the key the server knows them by
        std::set<LONG> issued;          // identifiers the server gave
        size_t others = 0;
        {
            OwnedList<R> list;
            ASSERT_TRUE(Succeeded(F::List(m_admin, list.List())));
            others = list.Items().size();
        }
        for (size_t n = 0; n < Cases(); ++n) {
            SCOPED_TRACE(std::string(F::kName) + " case " + std::to_string(n) + ", seed " +
                         std::to_string(Seed()));
            R sent{};
            const bool carriable = Fill(sent, world, liveKeys, false);
            ASSERT_EQ(carriable, Carriable(sent));
            Count(!carriable);
            if (!carriable) {
                const LONG before = Served();
                EXPECT_TRUE(RefusedUnsent(F::Add(m_admin, sent), before));
                if (F::kTextKey && IsCarriable(F::Key(sent), CodePage())) {
                    EXPECT_TRUE(Absent(sent, live)) << " (find after a refused add)";
                }
                continue;
            }
            if (Fields().Chance(kServerRefusedShare) && Spoil(sent, false)) {
                EXPECT_TRUE(RefusedByServer(F::Add(m_admin, sent))) << " (add of a bad record)";
                EXPECT_TRUE(ListedAs(live, others)) << " (after a refused add)";
                continue;
            }
            ASSERT_TRUE(Succeeded(F::Add(m_admin, sent))) << " (add)";
            AfterAdd(sent, issued);
            if (::testing::Test::HasFatalFailure())
                return;
            EXPECT_TRUE(FoundAs(sent));
            const std::string key = F::Key(sent);
            liveKeys.insert(key);

            R changed = sent;
            const bool changeCarriable = Fill(changed, world, liveKeys, true);
            Count(!changeCarriable);
            if (changeCarriable && Fields().Chance(kServerRefusedShare) && Spoil(changed, true)) {
                EXPECT_TRUE(RefusedByServer(F::Modify(m_admin, changed)))
                    << " (modify to a bad record)";
            } else if (changeCarriable) {
                ASSERT_TRUE(Succeeded(F::Modify(m_admin, changed))) << " (modify)";
                KeepAssigned(changed, sent);
                sent = changed;
            } else {
                const LONG before = Served();
                EXPECT_TRUE(RefusedUnsent(F::Modify(m_admin, changed), before));
            }
            EXPECT_TRUE(FoundAs(sent)) << " (after modify)";
            live[key] = sent;

            if (n % 16 == 15) {
                EXPECT_TRUE(ListedAs(live, others));
            }
            // Keep a handful alive so that lists stay short and deletes are exercised.
            while (live.size() > 6 || (!live.empty() && Fields().Chance(0.3))) {
                auto victim = live.begin();
                std::advance(victim, static_cast<long>(Fields().Below(live.size())));
                const R gone = victim->second;
                ASSERT_TRUE(Succeeded(F::Delete(m_admin, gone))) << " (delete)";
                liveKeys.erase(victim->first);
                live.erase(victim);
                EXPECT_TRUE(Absent(gone, live)) << " (find after delete)";
            }
        }
        EXPECT_TRUE(ListedAs(live, others));
    }

    // Makes a carriable record one the server refuses, where its type allows: a negative
    // decimal (decimals are read back without a sign), a parent program that does not exist,
    // an empty key.
    bool Spoil(tagProgram& r, bool) {
        if (Fields().Chance(0.5))
            r.Real5 = -(1.0 + Fields().Decimal());
        else
            r.Number6 = 0x7FFFFFF0;
        return true;
    }
    bool Spoil(tagSchedule& r, bool) {
        (Fields().Chance(0.5) ? r.Real4 : r.Real5) = -(1.0 + Fields().Decimal());
        return true;
    }
    template <class R> bool Spoil(R& r, bool keepKey) {
        if (keepKey)
            return false;
        Family<R>::Texts(r, [](char* field, size_t width, Role role) {
            if (role == Role::Key)
                std::memset(field, 0, width);
        });
        return true;
    }

    // A find of r's key is refused: the server holds no such record.
    template <class R>
    ::testing::AssertionResult Absent(const R& r, const std::map<std::string, R>& live) {
        R got{};
        const int result = Family<R>::Find(m_admin, r, got);
        if (const R* other = FoundInstead(Family<R>::Key(r), live)) {
            if (result != 1)
                return Succeeded(result) << " (find of a name another record serves)";
            return Matches(*other, got);
        }
        return RefusedByServer(result);
    }
    // Find MTPSvr, given a name no server has, answers with the first server (by name) that
    // serves a channel of that name.
    static const MTPSVR* FoundInstead(const std::string& key,
                                      const std::map<std::string, MTPSVR>& live) {
        for (const auto& entry : live)
            if (key == entry.second.Text3)
                return &entry.second;
        return nullptr;
    }
    template <class R>
    static const R* FoundInstead(const std::string&, const std::map<std::string, R>&) {
        return nullptr;
    }

    // What the server assigns on an add: a fresh identifier for programs and schedules, a
    // registration number for MTP servers.
    void AfterAdd(tagProgram& r, std::set<LONG>& issued) { NewIdentifier(r.ProgramID, issued); }
    void AfterAdd(tagSchedule& r, std::set<LONG>& issued) { NewIdentifier(r.ScheduleID, issued); }
    void AfterAdd(MTPSVR& r, std::set<LONG>&) {
        MTPSVR got{};
        ASSERT_EQ(m_admin.FindMTPSvr(r.MTPSvrName, &got), 1);
        EXPECT_GT(got.Number4, 0) << "no registration number";
        r.Number4 = got.Number4; // kept by every modify from now on
    }
    template <class R> void AfterAdd(R&, std::set<LONG>&) {}
    // A modify leaves what the server assigned as it was.
    void KeepAssigned(MTPSVR& after, const MTPSVR& before) { after.Number4 = before.Number4; }
    template <class R> void KeepAssigned(R&, const R&) {}
    void NewIdentifier(LONG id, std::set<LONG>& issued) {
        EXPECT_GT(id, 0) << "no identifier came back";
        EXPECT_TRUE(issued.insert(id).second) << "identifier " << id << " given twice";
    }

    // Programs to hang new programs below, channels for schedules: themselves round-tripped.
    World MakeWorld() {
        World world;
        for (int i = 0; i < 3; ++i) {
            tagProgram p{};
            Put(p.Text2, sizeof p.Text2, Fields().Text(sizeof p.Text2));
            p.Number6 = world.programs.empty() ? 0 : world.programs.back();
            EXPECT_TRUE(Succeeded(m_admin.AddProgram(&p)));
            world.programs.push_back(p.ProgramID);
        }
        std::set<std::string> keys;
        for (int i = 0; i < 4; ++i) {
            tagChannel c{};
            const std::string key = FreshKey(sizeof c.ChannelID, keys);
            keys.insert(key);
            Put(c.ChannelID, sizeof c.ChannelID, key);
            EXPECT_TRUE(Succeeded(m_admin.AddChannel(&c)));
            EXPECT_TRUE(FoundAs(c));
            world.channels.push_back(key);
        }
        return world;
    }
};

TEST_P(RecordRoundTrip, Users) {
    RunFamily<tagUser>(World());
}
TEST_P(RecordRoundTrip, Groups) {
    RunFamily<tagGroup>(World());
}
TEST_P(RecordRoundTrip, Programs) {
    RunFamily<tagProgram>(MakeWorld());
}
TEST_P(RecordRoundTrip, Channels) {
    RunFamily<tagChannel>(World());
}
TEST_P(RecordRoundTrip, Schedules) {
    RunFamily<tagSchedule>(MakeWorld());
}
TEST_P(RecordRoundTrip, Globals) {
    RunFamily<tagGlobal>(World());
}
TEST_P(RecordRoundTrip, MTPServers) {
    RunFamily<MTPSVR>(World());
}

INSTANTIATE_TEST_SUITE_P(CodePages, RecordRoundTrip, ::testing::Values(1252u, 936u), CodePageName);

} // namespace
