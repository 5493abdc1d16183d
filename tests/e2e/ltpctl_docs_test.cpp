// The commands the man page, --help and the README name are the program's own: a command added,
// renamed or removed shows here until every place that tells people about it agrees.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support/process.h"
#include "tools/ltpctl/commands.h"

namespace {

using Names = std::set<std::string>;

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Names ProgramsOwn() {
    CLI::App app;
    ltpctl::ActionSlot slot;
    ltpctl::AddAllCommands(app, slot);
    Names names = {"batch", "shell"}; // the two that run other commands, made beside them
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.insert(sub->get_name());
    return names;
}

// "  users, user    list, find, ..." under "Subcommands:", up to the blank line.
Names FromHelp(const std::string& help) {
    Names names;
    std::istringstream in(help.substr(help.find("Subcommands:\n") + 13));
    for (std::string line; std::getline(in, line) && !line.empty();)
        names.insert(line.substr(2, line.find_first_of(", ", 2) - 2));
    return names;
}

// The bold words of the item heads (".B mtp", ".BR users ", " groups ...") of COMMANDS.
Names FromManPage(const std::string& page) {
    const std::size_t from = page.find(".SH COMMANDS\n");
    const std::string section = page.substr(from, page.find("\n.SH ", from + 1) - from);
    Names names;
    std::istringstream in(section);
    bool head = false;
    for (std::string line; std::getline(in, line);) {
        if (head && line.rfind(".B", 0) == 0) {
            const bool alternating = line.rfind(".BR ", 0) == 0;
            std::vector<std::string> tokens;
            const std::regex token(R"("[^"]*"|\S+)");
            for (auto it =
                     std::sregex_iterator(line.begin() + (alternating ? 4 : 3), line.end(), token);
                 it != std::sregex_iterator(); ++it)
                tokens.push_back(it->str());
            for (std::size_t i = 0; i < tokens.size(); i += alternating ? 2 : tokens.size())
                names.insert(tokens[i]);
        }
        head = line == ".TP";
    }
    return names;
}

// The first word of each code span in the first column of the command table; "a\|b" is both.
Names FromReadme(const std::string& readme) {
    const std::size_t from = readme.find("| Command |");
    std::istringstream in(readme.substr(from, readme.find("\n\n", from) - from));
    Names names;
    std::string line;
    std::getline(in, line);
    std::getline(in, line); // |---|
    const std::regex span("`([^ `]+)[^`]*`");
    while (std::getline(in, line)) {
        const std::string first = line.substr(1, line.find(" | ", 1));
        for (auto it = std::sregex_iterator(first.begin(), first.end(), span);
             it != std::sregex_iterator(); ++it) {
            std::string words = (*it)[1];
            for (std::size_t at; (at = words.find("\\|")) != std::string::npos;
                 words.erase(0, at + 2))
                names.insert(words.substr(0, at));
            if (words[0] != '-')
                names.insert(words);
        }
    }
    return names;
}

TEST(LtpctlDocs, EveryPlaceNamesTheProgramsOwnCommands) {
    const Names own = ProgramsOwn();
    ASSERT_TRUE(own.count("apply") && own.count("users")) << "the program's own list is read";
    const e2e::ProcessResult help =
        e2e::RunProcess(LTPCTL_PATH, {"--help"}, e2e::CleanEnvironment({}), "");
    EXPECT_EQ(FromHelp(help.out), own) << "--help";
    const std::string share = LTPCTL_SHARE_PATH;
    EXPECT_EQ(FromManPage(ReadText(share + "/ltpctl.1")), own) << "ltpctl.1";
    EXPECT_EQ(FromReadme(ReadText(share + "/../README.md")), own) << "tools/ltpctl/README.md";
}

} // namespace
