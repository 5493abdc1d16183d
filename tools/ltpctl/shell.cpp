#include "tools/ltpctl/shell.h"

#include <editline/readline.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

#include "tools/ltpctl/batch.h"
#include "tools/ltpctl/commands.h"

namespace ltpctl {
namespace {

// Completion runs inside readline, which knows no context: the shell's state lives here while
// it runs.
struct ShellState {
    RunContext* ctx = nullptr;
    std::unique_ptr<CLI::App> commands;
    ActionSlot slot;
    std::vector<std::string> candidates;
};
ShellState* g_shell = nullptr;

const CLI::App* Sub(const CLI::App* app, const std::string& name) {
    for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; }))
        if (sub->check_name(name))
            return sub;
    return nullptr;
}

// Appends the keys of every record a list call returns; a failure just means no keys, as
// completion must not stop the shell.
template <class T>
void AppendKeys(std::vector<T> (ltp::Client::*list)(), std::vector<std::string>& keys) {
    std::vector<T> records;
    if (g_shell->ctx->connection.Run([&](ltp::Client& c) { records = (c.*list)(); }) != kExitOk)
        return;
    for (const T& record : records)
        keys.push_back(FieldText(record, RecordFields<T>().front()));
}

// The keys of the family's records, read from the server, for "users find <TAB>".
std::vector<std::string> ServerKeys(const std::string& family) {
    std::vector<std::string> keys;
    if (family == "users")
        AppendKeys(&ltp::Client::users, keys);
    else if (family == "groups")
        AppendKeys(&ltp::Client::groups, keys);
    else if (family == "channels")
        AppendKeys(&ltp::Client::channels, keys);
    else if (family == "globals")
        AppendKeys(&ltp::Client::globals, keys);
    else if (family == "programs")
        AppendKeys(&ltp::Client::programs, keys);
    return keys;
}

std::vector<std::string> Candidates(const std::string& before, const std::string& text) {
    std::vector<std::string> words;
    std::string error;
    SplitCommandLine(before, words, error);
    const CLI::App* at = g_shell->commands.get();
    std::vector<std::string> path;
    for (const std::string& w : words)
        if (const CLI::App* sub = Sub(at, w)) {
            at = sub;
            path.push_back(w);
        }
    std::vector<std::string> found;
    if (!text.empty() && text[0] == '-') {
        for (const CLI::Option* o : at->get_options())
            for (const std::string& name : o->get_lnames())
                found.push_back("--" + name);
        return found;
    }
    const auto subs = at->get_subcommands([](const CLI::App*) { return true; });
    for (const CLI::App* sub : subs)
        found.push_back(sub->get_name());
    if (subs.empty() && path.size() == 2 && words.size() == 2 &&
        (path[1] == "find" || path[1] == "modify" || path[1] == "delete"))
        found = ServerKeys(path[0]);
    if (path.empty())
        found.insert(found.end(), {"exit", "quit"});
    return found;
}

char* Generate(const char* text, int state) {
    static size_t next = 0;
    if (state == 0)
        next = 0;
    const size_t length = std::strlen(text);
    while (next < g_shell->candidates.size()) {
        const std::string& c = g_shell->candidates[next++];
        if (c.compare(0, length, text) == 0)
            return strdup(c.c_str());
    }
    return nullptr;
}

char** Complete(const char* text, int start, int /*end*/) {
    rl_attempted_completion_over = 1; // no file names
    g_shell->candidates = Candidates(std::string(rl_line_buffer, static_cast<size_t>(start)), text);
    return rl_completion_matches(text, Generate);
}

} // namespace

std::string HistoryPath() {
    if (const char* path = std::getenv("LTPCTL_HISTORY"); path && *path)
        return path;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/ltpctl_history";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.ltpctl_history";
}

int RunShell(RunContext& ctx, const std::string& name) {
    ShellState state;
    state.ctx = &ctx;
    state.commands = std::make_unique<CLI::App>("ltpctl shell", "ltpctl");
    AddAllCommands(*state.commands, state.slot);
    g_shell = &state;
    rl_attempted_completion_function = Complete;
    const std::string history = HistoryPath();
    using_history();
    read_history(history.c_str());
    const std::string prompt = "ltpctl " + name + "> ";
    ctx.numberLines = false;
    while (char* raw = readline(prompt.c_str())) {
        const std::string line = raw;
        std::free(raw);
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        add_history(line.c_str());
        if (line == "exit" || line == "quit")
            break;
        // One line as a batch of one: the same parser, errors reported, the shell goes on.
        std::istringstream in(line);
        RunBatch(in, ctx, false);
        ctx.out.flush();
    }
    write_history(history.c_str());
    g_shell = nullptr;
    return kExitOk;
}

} // namespace ltpctl
