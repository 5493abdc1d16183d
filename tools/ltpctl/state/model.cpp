#include "tools/ltpctl/state/model.h"

#include <algorithm>

namespace ltpstate {

std::string JoinPath(const ProgramPath& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i > 0)
            text += '/';
        for (char c : path[i]) {
            if (c == '/' || c == '\\')
                text += '\\';
            text += c;
        }
    }
    return text;
}

bool SplitPath(const std::string& text, ProgramPath& path) {
    path.assign(1, std::string());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            if (++i == text.size())
                return false;
            path.back() += text[i];
        } else if (c == '/') {
            path.emplace_back();
        } else {
            path.back() += c;
        }
    }
    return true;
}

const std::vector<std::pair<Family, const char*>>& Families() {
    static const std::vector<std::pair<Family, const char*>> families = {
        {Family::information, "information"},
        {Family::users, "users"},
        {Family::groups, "groups"},
        {Family::programs, "programs"},
        {Family::channels, "channels"},
        {Family::globals, "globals"},
        {Family::mtp, "mtp"}};
    return families;
}

void KeepOnly(State& state, const std::vector<Family>& families) {
    auto kept = [&](Family f) {
        return std::find(families.begin(), families.end(), f) != families.end();
    };
    if (!kept(Family::information))
        state.information.reset();
    if (!kept(Family::users))
        state.users.reset();
    if (!kept(Family::groups))
        state.groups.reset();
    if (!kept(Family::programs))
        state.programs.reset();
    if (!kept(Family::channels))
        state.channels.reset();
    if (!kept(Family::globals))
        state.globals.reset();
    if (!kept(Family::mtp))
        state.mtp.reset();
}

} // namespace ltpstate
