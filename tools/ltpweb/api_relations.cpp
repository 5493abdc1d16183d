// Memberships, rights and permissions, and the program tree: what links the catalogues.
#include <map>
#include <unordered_map>

#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

using C = ltp::Client;

std::int32_t ProgramId(const Call& call) {
    return static_cast<std::int32_t>(call.PathLong("id"));
}
std::int32_t Rights(const Call& call) {
    return call.body.at("rights").get<std::int32_t>();
}
std::int32_t To(const Call& call) {
    return call.body.at("to").get<std::int32_t>();
}

void AddMemberships(std::vector<Route>& routes) {
    using ltptools::Op;
    routes.push_back(ListRoute(Op::user_groups,
                               [](C& c, Call& call) { return c.user_groups(call.Path("id")); }));
    routes.push_back(ChangeRoute(Op::add_user_to_group, {}, [](C& c, Call& call) {
        c.add_user_to_group(call.Path("id"), call.Path("group"));
    }));
    routes.push_back(ChangeRoute(Op::delete_user_from_group, {}, [](C& c, Call& call) {
        c.delete_user_from_group(call.Path("id"), call.Path("group"));
    }));
    routes.push_back(ListRoute(Op::group_users,
                               [](C& c, Call& call) { return c.group_users(call.Path("id")); }));
    routes.push_back(NumberRoute(Op::user_permission, "permission", [](C& c, Call& call) {
        return c.user_permission(call.Path("id"),
                                 static_cast<std::int32_t>(call.PathLong("program")));
    }));
}

// Grants of one kind ("users" or "groups") on a program.
struct GrantOps {
    ltptools::Op first; // the get of the four, in the description's order: get, add, modify, delete
    std::int32_t (C::*get)(std::string_view, std::int32_t);
    void (C::*add)(std::string_view, std::int32_t, std::int32_t);
    void (C::*modify)(std::string_view, std::int32_t, std::int32_t);
    void (C::*remove)(std::string_view, std::int32_t);
};

static_assert(static_cast<int>(ltptools::Op::delete_user_rights) ==
                  static_cast<int>(ltptools::Op::user_rights) + 3 &&
              static_cast<int>(ltptools::Op::delete_group_rights) ==
                  static_cast<int>(ltptools::Op::group_rights) + 3);

void AddGrants(std::vector<Route>& routes, const GrantOps& g) {
    const auto op = [&](int n) { return static_cast<ltptools::Op>(static_cast<int>(g.first) + n); };
    const std::vector<BodyField> body = {{"rights", JsonType::Integer, true}};
    routes.push_back(NumberRoute(op(0), "rights", [g](C& c, Call& call) {
        return (c.*g.get)(call.Path("name"), ProgramId(call));
    }));
    routes.push_back(ChangeRoute(
        op(1), body,
        [g](C& c, Call& call) { (c.*g.add)(call.Path("name"), ProgramId(call), Rights(call)); },
        201));
    routes.push_back(ChangeRoute(op(2), body, [g](C& c, Call& call) {
        (c.*g.modify)(call.Path("name"), ProgramId(call), Rights(call));
    }));
    routes.push_back(ChangeRoute(
        op(3), {}, [g](C& c, Call& call) { (c.*g.remove)(call.Path("name"), ProgramId(call)); }));
}

void AddProgramTree(std::vector<Route>& routes) {
    using ltptools::Op;
    Route tree{
        "GET", "/api/programs/tree", "programs", "The programs as a tree", {}, {}, [](Call& call) {
            return Reply{ProgramTree(WithClient(call, [](C& c) { return c.programs(); }))};
        }};
    tree.operation = "program_tree";
    routes.push_back(std::move(tree));
    routes.push_back(ListRoute(Op::granted_users,
                               [](C& c, Call& call) { return c.granted_users(ProgramId(call)); }));
    routes.push_back(ListRoute(Op::granted_groups,
                               [](C& c, Call& call) { return c.granted_groups(ProgramId(call)); }));
    routes.push_back(ChangeRoute(Op::apply_permission_to_descendants, {}, [](C& c, Call& call) {
        c.apply_permission_to_descendants(ProgramId(call));
    }));
    // "to": the program to put it under, 0 for the top level.
    const std::vector<BodyField> to = {{"to", JsonType::Integer, true}};
    routes.push_back(ChangeRoute(
        Op::move_program, to, [](C& c, Call& call) { c.move_program(ProgramId(call), To(call)); }));
    routes.push_back(ChangeRoute(
        Op::copy_program, to, [](C& c, Call& call) { c.copy_program(ProgramId(call), To(call)); }));
}

} // namespace

nlohmann::ordered_json ProgramTree(const std::vector<ltp::Program>& programs) {
    std::unordered_map<std::int32_t, std::size_t> byId;
    for (std::size_t i = 0; i < programs.size(); ++i)
        byId[programs[i].program_id] = i;
    // At the top: no parent, a parent the server does not list, or a parent chain that leads
    // back to the program itself. Each program's chain is walked once over all programs: a walk
    // stops at a program an earlier walk finished, so the whole costs time linear in the count.
    enum : char { unseen, walking, finished };
    std::vector<char> state(programs.size(), unseen);
    std::vector<char> onCircle(programs.size(), 0);
    std::vector<std::size_t> walk;
    std::unordered_map<std::size_t, std::size_t> place; // index -> position in walk
    for (std::size_t start = 0; start < programs.size(); ++start) {
        walk.clear();
        place.clear();
        std::size_t at = start;
        while (state[at] == unseen) {
            state[at] = walking;
            place[at] = walk.size();
            walk.push_back(at);
            auto up = programs[at].number6 == 0 ? byId.end() : byId.find(programs[at].number6);
            if (up == byId.end())
                break;
            at = up->second;
            if (state[at] == walking) {
                for (std::size_t i = place[at]; i < walk.size(); ++i)
                    onCircle[walk[i]] = 1;
                break;
            }
        }
        for (std::size_t i : walk)
            state[i] = finished;
    }
    std::unordered_map<std::int32_t, std::vector<const ltp::Program*>> children;
    std::vector<const ltp::Program*> roots;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const ltp::Program& p = programs[i];
        bool top = p.number6 == 0 || !byId.count(p.number6) || onCircle[i];
        (top ? roots : children[p.number6]).push_back(&p);
    }
    // Iterative, so that a deep tree cannot exhaust the stack. A node's subtree is finished
    // before its next sibling is appended, so the pointers into the arrays stay valid.
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    struct Pending {
        const ltp::Program* program;
        nlohmann::ordered_json* into;
    };
    std::vector<Pending> work;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        work.push_back({*it, &out});
    while (!work.empty()) {
        Pending next = work.back();
        work.pop_back();
        nlohmann::ordered_json node = RecordJson(*next.program);
        node["children"] = nlohmann::ordered_json::array();
        next.into->push_back(std::move(node));
        nlohmann::ordered_json* kids = &next.into->back()["children"];
        auto found = children.find(next.program->program_id);
        if (found == children.end())
            continue;
        for (auto it = found->second.rbegin(); it != found->second.rend(); ++it)
            work.push_back({*it, kids});
    }
    return out;
}

void AddRelationRoutes(std::vector<Route>& routes) {
    AddMemberships(routes);
    AddGrants(routes, {ltptools::Op::user_rights, &C::user_rights, &C::add_user_rights,
                       &C::modify_user_rights, &C::delete_user_rights});
    AddGrants(routes, {ltptools::Op::group_rights, &C::group_rights, &C::add_group_rights,
                       &C::modify_group_rights, &C::delete_group_rights});
    AddProgramTree(routes);
}

} // namespace ltpweb
