// users, groups, programs, channels, schedules and globals: list, find, add, modify, delete.
// One template serves the six catalogues; a traits class names each one's library calls.
#include "tools/ltpctl/catalogue_commands.h"
#include "tools/ltpctl/commands.h"

namespace ltpctl {

template <> struct Catalogue<tagUser> {
    static constexpr const char* kFamily = "users";
    static constexpr const char* kAlias = "user";
    static constexpr const char* kNoun = "user";
    static constexpr const char* kKeyName = "USERID";
    static constexpr bool kNumericKey = false;
    static int List(CLTPCreater& c, CList<tagUser*, tagUser*>* l) { return c.GetUsers(l); }
    static int Find(CLTPCreater& c, const char* k, tagUser* r) { return c.FindUser(k, r); }
    static int Add(CLTPCreater& c, tagUser* r) { return c.AddUser(r); }
    static int Modify(CLTPCreater& c, tagUser* r) { return c.ModifyUser(r); }
    static int Delete(CLTPCreater& c, const char* k) { return c.DeleteUser(k); }
};

template <> struct Catalogue<tagGroup> {
    static constexpr const char* kFamily = "groups";
    static constexpr const char* kAlias = "group";
    static constexpr const char* kNoun = "group";
    static constexpr const char* kKeyName = "GROUPID";
    static constexpr bool kNumericKey = false;
    static int List(CLTPCreater& c, CList<tagGroup*, tagGroup*>* l) { return c.GetGroups(l); }
    static int Find(CLTPCreater& c, const char* k, tagGroup* r) { return c.FindGroup(k, r); }
    static int Add(CLTPCreater& c, tagGroup* r) { return c.AddGroup(r); }
    static int Modify(CLTPCreater& c, tagGroup* r) { return c.ModifyGroup(r); }
    static int Delete(CLTPCreater& c, const char* k) { return c.DeleteGroup(k); }
};

template <> struct Catalogue<tagProgram> {
    static constexpr const char* kFamily = "programs";
    static constexpr const char* kAlias = "program";
    static constexpr const char* kNoun = "program";
    static constexpr const char* kKeyName = "PROGRAMID";
    static constexpr bool kNumericKey = true;
    static int List(CLTPCreater& c, CList<tagProgram*, tagProgram*>* l) { return c.GetPrograms(l); }
    static int Find(CLTPCreater& c, LONG k, tagProgram* r) { return c.FindProgram(k, r); }
    static int Add(CLTPCreater& c, tagProgram* r) { return c.AddProgram(r); }
    static int Modify(CLTPCreater& c, tagProgram* r) { return c.ModifyProgram(r); }
    static int Delete(CLTPCreater& c, LONG k) { return c.DeleteProgram(k); }
};

template <> struct Catalogue<tagChannel> {
    static constexpr const char* kFamily = "channels";
    static constexpr const char* kAlias = "channel";
    static constexpr const char* kNoun = "channel";
    static constexpr const char* kKeyName = "CHANNELID";
    static constexpr bool kNumericKey = false;
    static int List(CLTPCreater& c, CList<tagChannel*, tagChannel*>* l) { return c.GetChannels(l); }
    static int Find(CLTPCreater& c, const char* k, tagChannel* r) { return c.FindChannel(k, r); }
    static int Add(CLTPCreater& c, tagChannel* r) { return c.AddChannel(r); }
    static int Modify(CLTPCreater& c, tagChannel* r) { return c.ModifyChannel(r); }
    static int Delete(CLTPCreater& c, const char* k) { return c.DeleteChannel(k); }
};

template <> struct Catalogue<tagSchedule> {
    static constexpr const char* kFamily = "schedules";
    static constexpr const char* kAlias = "schedule";
    static constexpr const char* kNoun = "schedule";
    static constexpr const char* kKeyName = "SCHEDULEID";
    static constexpr bool kNumericKey = true;
    static int List(CLTPCreater& c, CList<tagSchedule*, tagSchedule*>* l) {
        return c.GetSchedules(l);
    }
    static int Find(CLTPCreater& c, LONG k, tagSchedule* r) { return c.FindSchedule(k, r); }
    static int Add(CLTPCreater& c, tagSchedule* r) { return c.AddSchedule(r); }
    static int Modify(CLTPCreater& c, tagSchedule* r) { return c.ModifySchedule(r); }
    static int Delete(CLTPCreater& c, LONG k) { return c.DeleteSchedule(k); }
};

template <> struct Catalogue<tagGlobal> {
    static constexpr const char* kFamily = "globals";
    static constexpr const char* kAlias = "global";
    static constexpr const char* kNoun = "global setting";
    static constexpr const char* kKeyName = "KEY";
    static constexpr bool kNumericKey = false;
    static int List(CLTPCreater& c, CList<tagGlobal*, tagGlobal*>* l) { return c.GetGlobals(l); }
    static int Find(CLTPCreater& c, const char* k, tagGlobal* r) { return c.FindGlobal(k, r); }
    static int Add(CLTPCreater& c, tagGlobal* r) { return c.AddGlobal(r); }
    static int Modify(CLTPCreater& c, tagGlobal* r) { return c.ModifyGlobal(r); }
    static int Delete(CLTPCreater& c, const char* k) { return c.DeleteGlobal(k); }
};

void AddCatalogueCommands(CLI::App& app, ActionSlot& slot) {
    AddCatalogue<tagUser>(app, slot);
    AddCatalogue<tagGroup>(app, slot);
    AddCatalogue<tagProgram>(app, slot);
    AddCatalogue<tagChannel>(app, slot);
    AddCatalogue<tagSchedule>(app, slot);
    AddCatalogue<tagGlobal>(app, slot);
}

} // namespace ltpctl
