#include "tools/ltpctl/ref_names.h"

#include "tools/ltpctl/output.h"
#include "tools/ltpctl/record_fields.h"

namespace ltpctl {
namespace {

template <class V>
std::vector<ltptools::RefCandidate> Candidates(const std::vector<V>& records,
                                               const std::string& display) {
    const auto& fields = ltp::fields<V>();
    const FieldInfo* key = nullptr;
    const FieldInfo* name = nullptr;
    for (const FieldInfo& f : RecordFields<V>()) {
        if (f.index == 0)
            key = &f;
        if (f.name == display)
            name = &f;
    }
    std::vector<ltptools::RefCandidate> out;
    if (!key || !name || fields.empty())
        return out;
    for (const V& r : records)
        out.push_back({FieldText(r, *key), FieldText(r, *name)});
    return out;
}

} // namespace

std::vector<ltptools::RefCandidate> ReadRefCandidates(Connection& connection,
                                                      const std::string& kind) {
    const std::string* display = RunSchema().Display(kind);
    if (!display)
        return {};
    std::vector<ltptools::RefCandidate> out;
    connection.Run([&](ltp::Client& c) {
        if (kind == ltp::record_name<ltp::Program>())
            out = Candidates(c.programs(), *display);
        else if (kind == ltp::record_name<ltp::Channel>())
            out = Candidates(c.channels(), *display);
        else if (kind == ltp::record_name<ltp::User>())
            out = Candidates(c.users(), *display);
        else if (kind == ltp::record_name<ltp::Group>())
            out = Candidates(c.groups(), *display);
    });
    return out;
}

} // namespace ltpctl
