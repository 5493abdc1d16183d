#include "tools/ltpctl/shell.h"

#include <editline/readline.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <cstring>
#include <memory>
#include <sstream>

#include "tools/ltpctl/batch.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/completion.h"

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

std::vector<std::string> Candidates(const std::string& before, const std::string& text) {
    std::vector<std::string> words;
    std::string error;
    SplitCommandLine(before, words, error);
    const std::vector<Candidate> found =
        CompletionCandidates(*g_shell->commands, g_shell->ctx, words, text);
    std::vector<std::string> plain;
    bool described = false;
    for (const Candidate& c : found) {
        plain.push_back(c.word);
        described = described || (!c.description.empty() && !words.empty() &&
                                  c.word.find_first_not_of("0123456789") == std::string::npos);
    }
    // Numbers alone say nothing: list them with their names above the prompt.
    if (described && found.size() > 1) {
        std::cout << '\n';
        for (const Candidate& c : found)
            std::cout << "  " << c.word << "  " << c.description << '\n';
        std::cout << std::flush;
        rl_on_new_line();
    }
    if (words.empty())
        for (const char* own : {"exit", "quit", "help"})
            if (std::string(own).compare(0, text.size(), text) == 0)
                plain.push_back(own);
    return plain;
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

namespace {

// Ctrl-C cancels the line being typed, as in other shells, instead of leaving the shell; while
// a command runs it stops the command as usual (log list --follow).
volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

// Reads the terminal for the line editor. An interrupt ends the line, which is then dropped.
int ReadKey(FILE* in) {
    for (;;) {
        if (g_interrupted)
            return '\n';
        unsigned char c = 0;
        const ssize_t n = ::read(fileno(in), &c, 1);
        if (n == 1 && c == 3) { // ^C as a byte, when the terminal does not signal it
            g_interrupted = 1;
            return '\n';
        }
        if (n == 1)
            return c;
        if (n < 0 && errno == EINTR)
            continue;
        return EOF;
    }
}

// Without blanks around it: "exit " is exit.
std::string Trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t last = line.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

// help [COMMAND...]: the help of the shell's commands, or of the one named.
void PrintHelp(const CLI::App& commands, const std::string& line, std::ostream& out) {
    std::vector<std::string> words;
    std::string error;
    SplitCommandLine(line, words, error);
    const CLI::App* at = &commands;
    for (std::size_t i = 1; i < words.size(); ++i)
        for (const CLI::App* sub : at->get_subcommands([](const CLI::App*) { return true; }))
            if (sub->check_name(words[i])) {
                at = sub;
                break;
            }
    out << at->help();
    if (at == &commands)
        out << "\nIn the shell: help [COMMAND], exit or quit (or Ctrl-D); Ctrl-C drops the line.\n";
}

} // namespace

int RunShell(RunContext& ctx, const std::string& name) {
    ShellState state;
    state.ctx = &ctx;
    state.commands =
        std::make_unique<CLI::App>("Administer an LTP/1.0 server: type a command.", "ltpctl");
    AddAllCommands(*state.commands, state.slot);
    g_shell = &state;
    rl_attempted_completion_function = Complete;
    rl_catch_signals = 0;
    rl_getc_function = ReadKey;
    const std::string history = HistoryPath();
    using_history();
    read_history(history.c_str());
    const std::string prompt = "ltpctl " + name + "> ";
    ctx.numberLines = false;
    for (;;) {
        struct sigaction interrupt {
        }, previous{};
        interrupt.sa_handler = OnInterrupt; // no SA_RESTART: the read returns at once
        sigemptyset(&interrupt.sa_mask);
        sigaction(SIGINT, &interrupt, &previous);
        g_interrupted = 0;
        char* raw = readline(prompt.c_str());
        sigaction(SIGINT, &previous, nullptr);
        if (!raw) {
            std::cout << std::endl; // Ctrl-D: the next prompt of the system's shell on its own line
            break;
        }
        const std::string line = Trimmed(raw);
        std::free(raw);
        if (g_interrupted || line.empty())
            continue;
        add_history(line.c_str());
        // Saved line by line: a shell ended by a signal or a closed terminal keeps its history.
        write_history(history.c_str());
        if (line == "exit" || line == "quit")
            break;
        if (line == "help" || line.rfind("help ", 0) == 0) {
            PrintHelp(*state.commands, line, ctx.out);
            continue;
        }
        // One line as a batch of one: the same parser, errors reported, the shell goes on.
        std::istringstream in(line);
        RunBatch(in, ctx, false);
        ctx.out.flush();
    }
    g_shell = nullptr;
    return kExitOk;
}

} // namespace ltpctl
