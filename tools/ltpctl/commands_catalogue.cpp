// users, groups, programs, channels, schedules and globals: list, find, add, modify, delete.
// One template serves the six catalogues; a traits class names each one's client calls.
#include "tools/ltpctl/catalogue_commands.h"
#include "tools/ltpctl/commands.h"

namespace ltpctl {

template <> struct Catalogue<ltp::User> {
    static constexpr const char* kFamily = "users";
    static constexpr const char* kAlias = "user";
    static constexpr const char* kNoun = "user";
    static constexpr const char* kKeyName = "USERID";
    static constexpr bool kNumericKey = false;
    static std::vector<ltp::User> List(ltp::Client& c) { return c.users(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::User&)>& each) {
        c.users_each(each);
    }
    static std::optional<ltp::User> Find(ltp::Client& c, std::string_view k) {
        return c.find_user(k);
    }
    static void Add(ltp::Client& c, ltp::User& r) { c.add_user(r); }
    static void Modify(ltp::Client& c, const ltp::User& r) { c.modify_user(r); }
    static void Delete(ltp::Client& c, std::string_view k) { c.delete_user(k); }
};

template <> struct Catalogue<ltp::Group> {
    static constexpr const char* kFamily = "groups";
    static constexpr const char* kAlias = "group";
    static constexpr const char* kNoun = "group";
    static constexpr const char* kKeyName = "GROUPID";
    static constexpr bool kNumericKey = false;
    static std::vector<ltp::Group> List(ltp::Client& c) { return c.groups(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::Group&)>& each) {
        c.groups_each(each);
    }
    static std::optional<ltp::Group> Find(ltp::Client& c, std::string_view k) {
        return c.find_group(k);
    }
    static void Add(ltp::Client& c, ltp::Group& r) { c.add_group(r); }
    static void Modify(ltp::Client& c, const ltp::Group& r) { c.modify_group(r); }
    static void Delete(ltp::Client& c, std::string_view k) { c.delete_group(k); }
};

template <> struct Catalogue<ltp::Program> {
    static constexpr const char* kFamily = "programs";
    static constexpr const char* kAlias = "program";
    static constexpr const char* kNoun = "program";
    static constexpr const char* kKeyName = "PROGRAMID";
    static constexpr bool kNumericKey = true;
    static std::vector<ltp::Program> List(ltp::Client& c) { return c.programs(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::Program&)>& each) {
        c.programs_each(each);
    }
    static std::optional<ltp::Program> Find(ltp::Client& c, std::int32_t k) {
        return c.find_program(k);
    }
    static void Add(ltp::Client& c, ltp::Program& r) { r.program_id = c.add_program(r); }
    static void Modify(ltp::Client& c, const ltp::Program& r) { c.modify_program(r); }
    static void Delete(ltp::Client& c, std::int32_t k) { c.delete_program(k); }
};

template <> struct Catalogue<ltp::Channel> {
    static constexpr const char* kFamily = "channels";
    static constexpr const char* kAlias = "channel";
    static constexpr const char* kNoun = "channel";
    static constexpr const char* kKeyName = "CHANNELID";
    static constexpr bool kNumericKey = false;
    static std::vector<ltp::Channel> List(ltp::Client& c) { return c.channels(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::Channel&)>& each) {
        c.channels_each(each);
    }
    static std::optional<ltp::Channel> Find(ltp::Client& c, std::string_view k) {
        return c.find_channel(k);
    }
    static void Add(ltp::Client& c, ltp::Channel& r) { c.add_channel(r); }
    static void Modify(ltp::Client& c, const ltp::Channel& r) { c.modify_channel(r); }
    static void Delete(ltp::Client& c, std::string_view k) { c.delete_channel(k); }
};

template <> struct Catalogue<ltp::Schedule> {
    static constexpr const char* kFamily = "schedules";
    static constexpr const char* kAlias = "schedule";
    static constexpr const char* kNoun = "schedule";
    static constexpr const char* kKeyName = "SCHEDULEID";
    static constexpr bool kNumericKey = true;
    static std::vector<ltp::Schedule> List(ltp::Client& c) { return c.schedules(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::Schedule&)>& each) {
        c.schedules_each(each);
    }
    static std::optional<ltp::Schedule> Find(ltp::Client& c, std::int32_t k) {
        return c.find_schedule(k);
    }
    static void Add(ltp::Client& c, ltp::Schedule& r) { r.schedule_id = c.add_schedule(r); }
    static void Modify(ltp::Client& c, const ltp::Schedule& r) { c.modify_schedule(r); }
    static void Delete(ltp::Client& c, std::int32_t k) { c.delete_schedule(k); }
};

template <> struct Catalogue<ltp::Global> {
    static constexpr const char* kFamily = "globals";
    static constexpr const char* kAlias = "global";
    static constexpr const char* kNoun = "global setting";
    static constexpr const char* kKeyName = "KEY";
    static constexpr bool kNumericKey = false;
    static std::vector<ltp::Global> List(ltp::Client& c) { return c.globals(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::Global&)>& each) {
        c.globals_each(each);
    }
    static std::optional<ltp::Global> Find(ltp::Client& c, std::string_view k) {
        return c.find_global(k);
    }
    static void Add(ltp::Client& c, ltp::Global& r) { c.add_global(r); }
    static void Modify(ltp::Client& c, const ltp::Global& r) { c.modify_global(r); }
    static void Delete(ltp::Client& c, std::string_view k) { c.delete_global(k); }
};

void AddCatalogueCommands(CLI::App& app, ActionSlot& slot) {
    AddCatalogue<ltp::User>(app, slot);
    AddCatalogue<ltp::Group>(app, slot);
    AddCatalogue<ltp::Program>(app, slot);
    AddCatalogue<ltp::Channel>(app, slot);
    AddCatalogue<ltp::Schedule>(app, slot);
    AddCatalogue<ltp::Global>(app, slot);
}

} // namespace ltpctl
