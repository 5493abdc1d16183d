#include "tools/ltpctl/batch.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <istream>
#include <deque>
#include <memory>
#include <sstream>
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

namespace {

// "[3/40]" on stderr while line 3 of 40 runs, when stderr is a terminal and the lines come from a
// file (a person typing them needs none). Drawn over itself; erased before anything else is shown.
class Progress {
public:
    Progress(std::istream& in, bool wanted)
        : m_on(wanted && isatty(STDERR_FILENO) == 1 &&
               !(&in == &std::cin && isatty(STDIN_FILENO))) {
        if (!m_on)
            return;
        for (std::string line; std::getline(in, line);)
            m_lines.push_back(line);
    }
    ~Progress() {
        if (m_on)
            std::cerr << kErase << std::flush;
    }

    bool Next(std::istream& in, std::string& line) {
        if (!m_on)
            return static_cast<bool>(std::getline(in, line));
        if (m_next == m_lines.size())
            return false;
        line = m_lines[m_next++];
        std::cerr << kErase << "[" << m_next << "/" << m_lines.size() << "] " << std::flush;
        // Output of the line's command would run on after the counter.
        if (isatty(STDOUT_FILENO) == 1)
            std::cerr << kErase << std::flush;
        return true;
    }
    // Put before a message on stderr so that it starts at the beginning of the line.
    std::string Prefix() const { return m_on ? kErase : ""; }

private:
    static constexpr const char* kErase = "\r\x1b[K";
    bool m_on;
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
};

// The parser of the batch lines. Building one costs far more than a line's round trip, so one is
// kept while that is safe. CLI11 resets what it counts between parses, but a variable keeps the
// value an earlier line gave it unless the option is given again: a line that leaves out an
// option given since the parser was built is parsed again by a new one. A line the kept parser
// refuses is parsed again by a new one too, so that every message is a fresh parser's.
class LineParser {
public:
    // Parses the line (words reversed, as CLI11 takes them); throws as CLI11 does.
    void Parse(const std::vector<std::string>& reversed) {
        if (m_app && !m_stale) {
            bool safe = false;
            try {
                Attempt(reversed);
                safe = std::includes(m_given.begin(), m_given.end(), m_touched.begin(),
                                     m_touched.end());
            } catch (const CLI::Error&) {
            }
            if (safe) {
                m_touched = m_given;
                return;
            }
        }
        Build();
        m_stale = true; // until it has parsed a line whole: what a refused one left is unknown
        Attempt(reversed);
        m_stale = false;
        m_touched = m_given;
    }
    CLI::App& App() { return *m_app; }
    ActionSlot& Slot() { return m_slot; }
    // The line asked for a dry run of its own.
    bool DryRun() const { return m_dryRun; }
    bool Yes() const { return m_yes; }
    // The output options of the run, changed by those the line gives.
    PrintOptions Print(PrintOptions print) const {
        if (m_formatOption->count() > 0)
            ParseOutputFormat(m_format, print.format);
        if (m_columnsOption->count() > 0)
            print.columns = m_columns;
        print.noHeaders = print.noHeaders || m_noHeaders;
        print.labelKeys = print.labelKeys || m_labelKeys;
        print.localDates = print.localDates || m_localDates;
        return print;
    }

private:
    void Build() {
        // A flag keeps its variable unless given: what an earlier parser set must not reach
        // the lines this one reads (a leftover --dry-run would leave a change unsent).
        m_dryRun = m_yes = m_noHeaders = m_labelKeys = m_localDates = false;
        m_app = std::make_unique<CLI::App>("Administer an LTP/1.0 server: one command per line.",
                                           "ltpctl");
        m_app->fallthrough(); // before the commands, which inherit it
        AddAllCommands(*m_app, m_slot);
        // The options that shape one command's work and output; the connection's are the run's.
        m_app->add_flag("--dry-run", m_dryRun, "print the changing requests instead of sending");
        m_app->add_flag("--yes,-y", m_yes, "ask nothing");
        m_formatOption = m_app->add_option("--format,-o", m_format, "output: table, json or csv")
                             ->check(CLI::IsMember({"table", "json", "csv"}));
        m_columnsOption =
            m_app->add_option("--columns", m_columns, "only these columns, in this order")
                ->delimiter(',');
        m_app->add_flag("--no-headers", m_noHeaders, "without the line of column names");
        m_app->add_flag("--labels", m_labelKeys, "JSON keys and CSV headers are labels");
        m_app->add_flag("--local", m_localDates, "tables show dates in local time");
        m_app->require_subcommand(1);
    }
    void Attempt(std::vector<std::string> reversed) {
        m_slot.action = nullptr;
        m_app->parse(reversed);
        m_given.clear();
        Collect(*m_app);
        std::sort(m_given.begin(), m_given.end());
    }
    void Collect(const CLI::App& app) {
        for (const CLI::Option* o : app.get_options())
            if (o->count() > 0)
                m_given.push_back(o);
        for (const CLI::App* sub : app.get_subcommands())
            Collect(*sub);
    }

    std::unique_ptr<CLI::App> m_app;
    bool m_dryRun = false;
    bool m_yes = false;
    std::string m_format;
    CLI::Option* m_formatOption = nullptr;
    std::vector<std::string> m_columns;
    CLI::Option* m_columnsOption = nullptr;
    bool m_noHeaders = false;
    bool m_labelKeys = false;
    bool m_localDates = false;
    bool m_stale = false;
    ActionSlot m_slot;
    std::vector<const CLI::Option*> m_given;   // by the line parsed last
    std::vector<const CLI::Option*> m_touched; // since the parser was built, sorted
};

// Runs one line's command; returns its exit code, or -1 for a line with nothing to run.
int RunLine(const std::string& line, RunContext& ctx, LineParser& parser) {
    std::vector<std::string> words;
    std::string error;
    if (!SplitCommandLine(line, words, error)) {
        ctx.connection.Report(error);
        return kExitUsage;
    }
    if (words.empty())
        return -1;
    std::reverse(words.begin(), words.end());
    try {
        parser.Parse(words);
    } catch (const CLI::CallForHelp&) {
        ctx.out << parser.App().help();
        return -1;
    } catch (const CLI::CallForAllHelp&) {
        ctx.out << parser.App().help("", CLI::AppFormatMode::All);
        return -1;
    } catch (const CLI::ParseError& e) {
        std::reverse(words.begin(), words.end());
        ctx.connection.Report(ParseFailureMessage(parser.App(), words, e));
        return kExitUsage;
    }
    if (!parser.Slot().action)
        return kExitOk;
    const bool dry = ctx.connection.Settings().dryRun;
    ctx.connection.SetDryRun(dry || parser.DryRun());
    RunContext lineCtx = ctx;
    lineCtx.print = parser.Print(ctx.print);
    lineCtx.yes = ctx.yes || parser.Yes();
    const int rc = RunAction(parser.Slot().action, lineCtx);
    ctx.connection.SetDryRun(dry);
    return rc;
}

// A line whose changes went out pipelined: what it wrote is held until every line before it is
// shown and its own answers are in, so that results read in input order.
struct HeldLine {
    std::string prefix; // "line 3: "
    std::ostringstream out;
    std::ostringstream err;
    std::size_t end = 0; // its requests end before this index of the pipeline
    int rc = kExitOk;
    bool ran = false; // its command has returned
};

class PipelinedBatch {
public:
    PipelinedBatch(RunContext& ctx, std::size_t depth) : m_ctx(ctx), m_realOut(ctx.out) {
        ctx.connection.StartPipeline(
            depth,
            [this](std::size_t index, const ltp::Pipeline::Outcome& o) { Settle(index, o); });
    }
    ~PipelinedBatch() {
        m_ctx.connection.SetStreams(nullptr, nullptr);
        m_ctx.connection.StopPipeline();
    }

    // Runs a line with its output held; returns false once the batch must stop: the connection
    // failed, or (without keepGoing) a line failed.
    bool Run(const std::string& line, const std::string& prefix, LineParser& parser,
             bool keepGoing) {
        auto held = std::make_unique<HeldLine>();
        held->prefix = prefix;
        HeldLine& h = *held;
        m_lines.push_back(std::move(held));
        m_ctx.connection.SetStreams(&h.out, &h.err);
        m_ctx.connection.SetReportPrefix(prefix);
        RunContext lineCtx{m_ctx.connection, m_ctx.print, h.out,    m_ctx.numberLines,
                           m_ctx.page,       0,           m_ctx.yes};
        const int rc = RunLine(line, lineCtx, parser);
        m_ctx.connection.SetStreams(nullptr, nullptr);
        if (rc > 0 && h.rc == kExitOk)
            h.rc = rc;
        h.end = m_ctx.connection.Queued();
        h.ran = true;
        Show();
        return !m_ctx.connection.PipelineFailed() && (keepGoing || m_result == kExitOk);
    }

    // Waits for every answer and shows every line; returns the batch's exit code.
    int Finish() {
        m_ctx.connection.FlushPipeline();
        Show();
        return m_result;
    }

private:
    void Settle(std::size_t index, const ltp::Pipeline::Outcome& o) {
        m_settled = index + 1;
        using State = ltp::Pipeline::Outcome::State;
        if (o.state != State::succeeded) {
            // The line that queued it: the first not shown whose requests reach past it.
            HeldLine* owner = nullptr;
            for (auto& line : m_lines)
                if (!line->ran || line->end > index) {
                    owner = line.get();
                    break;
                }
            if (owner != nullptr)
                Explain(*owner, o);
        }
        Show();
    }

    void Explain(HeldLine& line, const ltp::Pipeline::Outcome& o) {
        using State = ltp::Pipeline::Outcome::State;
        const Failure failure = m_ctx.connection.Explain(o);
        std::string message = failure.message;
        if (o.state != State::refused && !m_explained) {
            // The failure itself once, then what became of each line.
            m_explained = true;
            Write(line, failure.message);
        }
        if (o.state == State::unknown)
            message = "sent, but no answer came: it may have been applied";
        else if (o.state == State::not_sent)
            message = "not sent";
        if (o.state == State::refused || line.rc == kExitOk)
            Write(line, message);
        if (line.rc == kExitOk)
            line.rc = failure.exitCode;
    }

    void Write(HeldLine& line, const std::string& message) {
        Connection::ReportTo(line.err, line.prefix, message);
    }

    // Shows the lines at the front whose command returned and whose answers are all in.
    void Show() {
        while (!m_lines.empty() && m_lines.front()->ran && m_lines.front()->end <= m_settled) {
            HeldLine& line = *m_lines.front();
            m_realOut << line.out.str();
            m_realOut.flush();
            const std::string err = line.err.str();
            if (!err.empty())
                m_ctx.connection.ErrorStream() << err << std::flush;
            if (line.rc != kExitOk && m_result == kExitOk)
                m_result = line.rc;
            m_lines.pop_front();
        }
    }

    RunContext& m_ctx;
    std::ostream& m_realOut;
    std::deque<std::unique_ptr<HeldLine>> m_lines;
    std::size_t m_settled = 0;
    bool m_explained = false;
    int m_result = kExitOk;
};

} // namespace

int RunBatch(std::istream& in, RunContext& outer, bool keepGoing, std::size_t pipeline) {
    RunContext ctx = outer;
    ctx.page = !ctx.numberLines; // a batch run on a terminal is not stopped by a pager
    Progress progress(in, ctx.numberLines);
    LineParser parser;
    std::unique_ptr<PipelinedBatch> pipelined;
    if (pipeline > 1)
        pipelined = std::make_unique<PipelinedBatch>(ctx, pipeline);
    int result = kExitOk;
    std::string line;
    for (int number = 1; progress.Next(in, line); ++number) {
        const std::string where =
            progress.Prefix() +
            (ctx.numberLines ? "line " + std::to_string(number) + ": " : std::string());
        if (pipelined) {
            if (!pipelined->Run(line, where, parser, keepGoing))
                break;
            continue;
        }
        ctx.connection.SetReportPrefix(where);
        const int rc = RunLine(line, ctx, parser);
        if (rc > 0) {
            if (result == kExitOk)
                result = rc;
            if (!keepGoing)
                break;
        }
    }
    if (pipelined) {
        result = pipelined->Finish();
        pipelined.reset();
    }
    ctx.connection.SetReportPrefix(std::string());
    return result;
}

} // namespace ltpctl
