#include "tools/ltpctl/suggest.h"

#include <algorithm>

namespace ltpctl {
namespace {

// The option named word of app or of an app above it (options fall through), or nullptr.
const CLI::Option* FindOption(const CLI::App* app, const std::string& word) {
    for (; app; app = app->get_parent())
        if (const CLI::Option* o = app->get_option_no_throw(word))
            return o;
    return nullptr;
}

const CLI::App* FindCommand(const CLI::App* app, const std::string& name) {
    for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; }))
        if (sub->check_name(name))
            return sub;
    return nullptr;
}

// The deepest command the parse reached.
const CLI::App* ParsedLeaf(const CLI::App& app) {
    for (const CLI::App* sub : app.get_subcommands())
        return ParsedLeaf(*sub);
    return &app;
}

// The nearest long option of leaf or a command above it, "" when none is near.
std::string NearestOption(const CLI::App* leaf, const std::string& word) {
    const std::string name = word.substr(0, word.find('='));
    std::string best;
    std::size_t bestDistance = 3;
    for (const CLI::App* app = leaf; app; app = app->get_parent())
        for (const CLI::Option* o : app->get_options())
            for (const std::string& l : o->get_lnames())
                if (const std::size_t d = EditDistance(name, "--" + l); d < bestDistance) {
                    bestDistance = d;
                    best = "--" + l;
                }
    return best;
}

} // namespace

std::string ParseFailureMessage(const CLI::App& app, const std::vector<std::string>& args,
                                const CLI::ParseError& error) {
    if (std::string unknown = UnknownCommandMessage(app, args); !unknown.empty())
        return unknown;
    if (!dynamic_cast<const CLI::ExtrasError*>(&error))
        return error.what();
    // CLI11 names the extras in the reverse of the order given (it took the words reversed).
    const std::string what = error.what();
    std::vector<std::string> extras;
    std::string word;
    for (std::size_t at = what.find(": ") + 2; at <= what.size(); ++at) {
        if (at == what.size() || what[at] == ' ') {
            if (!word.empty())
                extras.insert(extras.begin(), word);
            word.clear();
        } else {
            word += what[at];
        }
    }
    const CLI::App* leaf = ParsedLeaf(app);
    for (const std::string& extra : extras)
        if (extra.size() > 1 && extra[0] == '-') {
            std::string message = "unknown option '" + extra + "'";
            if (const std::string near = NearestOption(leaf, extra); !near.empty())
                message += "; did you mean '" + near + "'?";
            return message;
        }
    std::string list;
    for (const std::string& extra : extras)
        list += (list.empty() ? "" : " ") + extra;
    std::string command;
    for (const CLI::App* at = leaf; at && at != &app; at = at->get_parent())
        command = at->get_name() + " " + command;
    return std::string(extras.size() == 1 ? "unexpected argument: " : "unexpected arguments: ") +
           list + " ('ltpctl " + command + "--help' shows what it takes)";
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    // Optimal string alignment: three rows of the usual table are enough.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        before.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

std::string UnknownCommandMessage(const CLI::App& app, const std::vector<std::string>& args) {
    const CLI::App* at = &app;
    std::string path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.size() > 1 && word[0] == '-') {
            if (word.find('=') != std::string::npos)
                continue;
            const CLI::Option* o = FindOption(at, word);
            if (o && o->get_type_size_min() > 0 && o->get_items_expected_min() > 0)
                ++i; // its value
            continue;
        }
        if (const CLI::App* sub = FindCommand(at, word)) {
            at = sub;
            path += word + " ";
            continue;
        }
        const auto commands = at->get_subcommands([](const CLI::App*) { return true; });
        if (commands.empty())
            return std::string(); // a positional argument of a known command
        std::string best;
        std::size_t bestDistance = 3;
        for (const CLI::App* sub : commands) {
            const std::size_t d = EditDistance(word, sub->get_name());
            if (d < bestDistance) {
                bestDistance = d;
                best = sub->get_name();
            }
        }
        std::string message = "unknown command '" + path + word + "'";
        if (!best.empty())
            message += "; did you mean '" + path + best + "'?";
        return message;
    }
    return std::string();
}

} // namespace ltpctl
