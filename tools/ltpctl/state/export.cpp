#include "tools/ltpctl/state/export.h"

#include <algorithm>
#include <map>

#include "tools/ltpctl/state/fetch.h"
#include "tools/ltpctl/state/layout.h"

namespace ltpstate {
namespace {

bool Has(const std::vector<Family>& families, Family f) {
    return std::find(families.begin(), families.end(), f) != families.end();
}

void WriteUsers(ltp::Client& client, YamlWriter& writer) {
    std::map<std::string, std::vector<std::string>> memberships =
        Memberships(client, client.groups());
    writer.Begin(kUsersKey);
    UserEntry e;
    EachUser(client, [&](const ltp::User& u) {
        e.user = u;
        e.groups.clear();
        if (const auto found = memberships.find(e.user.user_id); found != memberships.end())
            e.groups = std::move(found->second);
        writer.Add(e);
    });
    writer.End();
}

} // namespace

void Export(ltp::Client& client, const std::vector<Family>& families, const FieldNaming& naming,
            const YamlWriter::Sink& sink) {
    YamlWriter writer(naming, sink);
    if (Has(families, Family::information))
        writer.Information(client.information());
    if (Has(families, Family::users))
        WriteUsers(client, writer);
    std::vector<Family> rest;
    for (Family f : families)
        if (f != Family::information && f != Family::users)
            rest.push_back(f);
    if (!rest.empty()) {
        State state = Fetch(client, rest);
        KeepOnly(state, rest);
        WriteSections(writer, state);
    }
    writer.Finish();
}

} // namespace ltpstate
