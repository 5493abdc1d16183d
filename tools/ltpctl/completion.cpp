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

// What names a record beside its key: a program's name, else its second field when that is a
// text (a user's, group's or channel's name).
template <class T> std::string Describe(const T& record) {
    if constexpr (std::is_same_v<T, ltp::Program>) {
        return ProgramName(record); // a bare number says nothing
    } else {
        const auto& fields = RecordFields<T>();
        return fields.size() > 1 && fields[1].kind == FieldKind::text ? FieldText(record, fields[1])
                                                                      : std::string();
    }
}

// The keys of every record of the family's list, each with what names it.
template <class T> void AppendKeys(RunContext& ctx, std::vector<Candidate>& keys) {
    std::vector<T> records;
    if (ctx.connection.Run([&](ltp::Client& c) { records = ltptools::ListAll<T>(c); }) != kExitOk)
        return;
    for (const T& record : records)
        keys.push_back({FieldText(record, RecordFields<T>().front()), Describe(record)});
}

// Which family's keys the argument at this place takes; empty when it takes none.
std::string KeyFamily(const std::vector<std::string>& path, std::size_t argument) {
    if (path.size() != 2)
        return std::string();
    const std::string& family = path[0];
    const std::string& verb = path[1];
    if (family == "members" && verb == "list" && argument == 0)
        return "groups";
    if (family == "members" && (verb == "groups" || verb == "add" || verb == "delete"))
        return argument == 0 ? "users" : argument == 1 && verb != "groups" ? "groups" : "";
    // delete takes several keys
    if ((verb == "find" || verb == "modify" || verb == "delete") &&
        (argument == 0 || verb == "delete"))
        return family;
    if ((family == "schedules" && verb == "show") ||
        (family == "channels" && (verb == "schedules" || verb == "mtp-server")))
        return argument == 0 ? "channels" : "";
    if (family == "paths" && argument == 0)
        return "programs";
    return std::string();
}

std::vector<Candidate> ServerKeys(RunContext& ctx, const std::string& family) {
    std::vector<Candidate> keys;
    ltptools::ForEachFamily([&](const auto& row) {
        if (family == row.plural)
            AppendKeys<typename std::decay_t<decltype(row)>::Value>(ctx, keys);
    });
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
