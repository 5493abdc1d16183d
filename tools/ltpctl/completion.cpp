#include "tools/ltpctl/completion.h"

#include <iostream>

#include "tools/ltpctl/program_names.h"

namespace ltpctl {
namespace {

const CLI::App* Sub(const CLI::App* app, const std::string& name) {
    for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; }))
        if (sub->check_name(name))
            return sub;
    return nullptr;
}

// The keys of every record a list call returns, with a description made from the record.
template <class T, class Describe>
void AppendKeys(RunContext& ctx, std::vector<T> (ltp::Client::*list)(),
                std::vector<Candidate>& keys, Describe describe) {
    std::vector<T> records;
    if (ctx.connection.Run([&](ltp::Client& c) { records = (c.*list)(); }) != kExitOk)
        return;
    for (const T& record : records)
        keys.push_back({FieldText(record, RecordFields<T>().front()), describe(record)});
}

// Which family's keys the argument at this place takes; empty when it takes none.
std::string KeyFamily(const std::vector<std::string>& path, std::size_t argument) {
    if (path.size() != 2)
        return std::string();
    const std::string& family = path[0];
    const std::string& verb = path[1];
    // delete takes several keys
    if ((verb == "find" || verb == "modify" || verb == "delete") &&
        (argument == 0 || verb == "delete"))
        return family;
    if (family == "members" && verb == "list" && argument == 0)
        return "groups";
    if (family == "members" && (verb == "groups" || verb == "add" || verb == "remove"))
        return argument == 0 ? "users" : argument == 1 && verb != "groups" ? "groups" : "";
    if ((family == "schedules" && verb == "show") || (family == "channels" && verb == "schedules"))
        return argument == 0 ? "channels" : "";
    if (family == "paths" && argument == 0)
        return "programs";
    return std::string();
}

std::vector<Candidate> ServerKeys(RunContext& ctx, const std::string& family) {
    std::vector<Candidate> keys;
    const auto none = [](const auto&) { return std::string(); };
    if (family == "users")
        AppendKeys(ctx, &ltp::Client::users, keys, [](const ltp::User& u) { return u.text2; });
    else if (family == "groups")
        AppendKeys(ctx, &ltp::Client::groups, keys, [](const ltp::Group& g) { return g.text2; });
    else if (family == "channels")
        AppendKeys(ctx, &ltp::Client::channels, keys,
                   [](const ltp::Channel& c) { return c.text2; });
    else if (family == "globals")
        AppendKeys(ctx, &ltp::Client::globals, keys, none);
    else if (family == "programs") // a bare number says nothing: the name goes beside it
        AppendKeys(ctx, &ltp::Client::programs, keys, ProgramName);
    return keys;
}

} // namespace

std::vector<Candidate> CompletionCandidates(const CLI::App& commands, RunContext* ctx,
                                            const std::vector<std::string>& before,
                                            const std::string& current) {
    const CLI::App* at = &commands;
    std::vector<std::string> path;
    std::size_t arguments = 0; // words after the command that are no options
    for (const std::string& w : before) {
        if (const CLI::App* sub = arguments == 0 ? Sub(at, w) : nullptr) {
            at = sub;
            path.push_back(sub->get_name());
        } else if (!w.empty() && w[0] != '-') {
            ++arguments;
        }
    }
    std::vector<Candidate> found;
    if (!current.empty() && current[0] == '-') {
        // Options of the command and of those above it: the global ones are taken after it too.
        for (const CLI::App* app = at; app; app = app->get_parent())
            for (const CLI::Option* o : app->get_options())
                if (!o->get_group().empty())
                    for (const std::string& name : o->get_lnames())
                        found.push_back({"--" + name, o->get_description()});
    } else {
        for (const CLI::App* sub :
             at->get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
            found.push_back({sub->get_name(), sub->get_description()});
        const std::string family = KeyFamily(path, arguments);
        if (found.empty() && ctx && !family.empty())
            found = ServerKeys(*ctx, family);
    }
    std::vector<Candidate> matching;
    for (Candidate& c : found)
        if (c.word.compare(0, current.size(), current) == 0)
            matching.push_back(std::move(c));
    return matching;
}

int PrintCompletions(const CLI::App& commands, RunContext* ctx,
                     const std::vector<std::string>& words) {
    const std::vector<std::string> before(words.begin(),
                                          words.empty() ? words.end() : words.end() - 1);
    const std::string current = words.empty() ? std::string() : words.back();
    std::ostream& out = ctx ? ctx->out : std::cout;
    for (const Candidate& c : CompletionCandidates(commands, ctx, before, current)) {
        out << c.word;
        // One line each: a description never breaks the list.
        std::string description = c.description.substr(0, c.description.find_first_of("\r\n"));
        if (!description.empty())
            out << '\t' << description;
        out << '\n';
    }
    return kExitOk;
}

} // namespace ltpctl
