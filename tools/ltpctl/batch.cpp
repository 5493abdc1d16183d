#include "tools/ltpctl/batch.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/suggest.h"

namespace ltpctl {

bool SplitCommandLine(const std::string& line, std::vector<std::string>& words,
                      std::string& error) {
    words.clear();
    std::string word;
    bool inWord = false;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '#' && !inWord) {
            break;
        } else if (c == '\'') {
            const size_t end = line.find('\'', i + 1);
            if (end == std::string::npos) {
                error = "a ' quote is not closed";
                return false;
            }
            word.append(line, i + 1, end - i - 1);
            inWord = true;
            i = end + 1;
        } else if (c == '"') {
            ++i;
            inWord = true;
            while (i < n && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                word += line[i++];
            }
            if (i >= n) {
                error = "a \" quote is not closed";
                return false;
            }
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= n) {
                error = "the line ends in a backslash";
                return false;
            }
            word += line[i + 1];
            inWord = true;
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord)
        words.push_back(word);
    return true;
}

int RunBatch(std::istream& in, RunContext& ctx, bool keepGoing) {
    int result = kExitOk;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where =
            ctx.numberLines ? "line " + std::to_string(number) + ": " : std::string();
        ctx.connection.SetReportPrefix(where);
        std::vector<std::string> words;
        std::string error;
        int rc = kExitOk;
        if (!SplitCommandLine(line, words, error)) {
            ctx.connection.Report(error);
            rc = kExitUsage;
        } else if (words.empty()) {
            continue;
        } else {
            CLI::App app("a batch line", "ltpctl");
            ActionSlot slot;
            AddAllCommands(app, slot);
            app.require_subcommand(1);
            std::reverse(words.begin(), words.end());
            try {
                app.parse(words);
            } catch (const CLI::CallForHelp&) {
                ctx.out << app.help();
                continue;
            } catch (const CLI::CallForAllHelp&) {
                ctx.out << app.help("", CLI::AppFormatMode::All);
                continue;
            } catch (const CLI::ParseError& e) {
                std::reverse(words.begin(), words.end());
                const std::string unknown = UnknownCommandMessage(app, words);
                ctx.connection.Report(unknown.empty() ? std::string(e.what()) : unknown);
                rc = kExitUsage;
            }
            if (rc == kExitOk && slot.action)
                rc = slot.action(ctx);
        }
        if (rc != kExitOk) {
            if (result == kExitOk)
                result = rc;
            if (!keepGoing)
                break;
        }
    }
    ctx.connection.SetReportPrefix(std::string());
    return result;
}

} // namespace ltpctl
