// ltpctl's own pieces, without a server: date conversion, batch line splitting, the checks made
// before sending, the wording of failures, password masking and the three output formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>

#include <ltpadmin/client.h>
#include <nlohmann/json.hpp>

#include "tools/ltpctl/batch.h"
#include "tools/common/dates.h"
#include "tools/ltpctl/exit_codes.h"
#include "tools/ltpctl/failure_text.h"
#include "tools/ltpctl/output.h"
#include "tools/ltpctl/record_fields.h"
#include "tools/ltpctl/wire_trace.h"

namespace {

using namespace ltpctl;
using namespace ltptools;

struct DateCase {
    const char* text;
    double days;
};

TEST(LtpctlDates, IsoTextBecomesDaysSince18991230) {
    const DateCase cases[] = {
        {"1899-12-30", 0.0},
        {"1900-01-01", 2.0},
        {"1970-01-01", 25569.0},
        {"2000-02-29", 36585.0},
        {"2025-01-01T12:00", 45658.5},
        {"2025-01-01 12:00:00Z", 45658.5},
        {"2025-01-01t06:00:00", 45658.25},
        {"2026-12-07T12:00:00.000", 46363.5},
        {"1899-12-29T18:00", -0.25},
        // What tables show under --local reads back as the same moment.
        {"2025-01-01T13:00+01:00", 45658.5},
        {"2025-01-01T06:30:00-0530", 45658.5},
    };
    for (const DateCase& c : cases) {
        double days = -1e9;
        std::string error;
        ASSERT_TRUE(ParseIsoDate(c.text, days, error)) << c.text << ": " << error;
        EXPECT_NEAR(days, c.days, 1e-9) << c.text;
    }
}

TEST(LtpctlDates, TextThatIsNoDateIsRefusedWithAReason) {
    const char* bad[] = {"",
                         "2026-12-7",
                         "07.12.2026",
                         "2026-13-01",
                         "2026-02-29",
                         "2026-12-07T24:00",
                         "2026-12-07T12",
                         "2026-12-07T12:60",
                         "2026-12-07+01:00",
                         "0000-01-01",
                         "2026-12-07T12:00:00.",
                         "2026-12-07x",
                         "2026-12-07T12:00+1",
                         "2026-12-07T12:00+24:00",
                         "2026-12-07T12:00Z+01:00"};
    for (const char* text : bad) {
        double days = 7;
        std::string error;
        EXPECT_FALSE(ParseIsoDate(text, days, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(days, 7) << "untouched on failure: " << text;
    }
}

TEST(LtpctlDates, DaysAreWrittenBackAsIsoText) {
    EXPECT_EQ(FormatIsoDate(0.0), "1899-12-30");
    EXPECT_EQ(FormatIsoDate(46363.5), "2026-12-07T12:00:00");
    EXPECT_EQ(FormatIsoDate(46363.0), "2026-12-07");
    EXPECT_EQ(FormatIsoDate(-0.25), "1899-12-29T18:00:00");
    // Half a second before midnight rounds into the next day, not to 24:00:00.
    EXPECT_EQ(FormatIsoDate(46363.0 + 86399.6 / 86400.0), "2026-12-08");
    // Out of the calendar's range: the number itself, however long.
    EXPECT_EQ(FormatIsoDate(1e12), "1000000000000.000000000");
    const std::string far = FormatIsoDate(3.5e91);
    EXPECT_EQ(std::strtod(far.c_str(), nullptr), 3.5e91) << far;
    for (const char* text : {"2000-02-29T23:59:59", "2026-12-07T08:15:30", "1901-03-01"}) {
        double days = 0;
        std::string error;
        ASSERT_TRUE(ParseIsoDate(text, days, error));
        EXPECT_EQ(FormatIsoDate(days), text);
    }
}

struct SplitCase {
    const char* line;
    std::vector<std::string> words;
};

TEST(LtpctlBatch, LinesSplitLikeAShell) {
    const SplitCase cases[] = {
        {"users list", {"users", "list"}},
        {"  users   add bob\t--text2 \"Bob Brown\"  ",
         {"users", "add", "bob", "--text2", "Bob Brown"}},
        {"info set 'a \"quoted\" text'", {"info", "set", "a \"quoted\" text"}},
        {"x \"say \\\"hi\\\" \\\\ now\"", {"x", "say \"hi\" \\ now"}},
        {"a\\ b c", {"a b", "c"}},
        {"users add ''", {"users", "add", ""}},
        {"# a comment", {}},
        {"users list # the rest is a comment", {"users", "list"}},
        {"users add a#b", {"users", "add", "a#b"}},
        {"", {}},
        {"line\r", {"line"}},
    };
    for (const SplitCase& c : cases) {
        std::vector<std::string> words;
        std::string error;
        ASSERT_TRUE(SplitCommandLine(c.line, words, error)) << c.line << ": " << error;
        EXPECT_EQ(words, c.words) << c.line;
    }
    for (const char* bad : {"users add \"bob", "users add 'bob", "users add bob\\"}) {
        std::vector<std::string> words;
        std::string error;
        EXPECT_FALSE(SplitCommandLine(bad, words, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

struct CarryCase {
    std::string text;
    int exitCode;
    const char* message;
};

TEST(LtpctlChecks, TextsThatCannotTravelAreNamedBeforeSending) {
    const CarryCase cases[] = {
        {"plain text", kExitOk, ""},
        {std::string(49, 'x'), kExitOk, ""},
        {"a|b", kExitUncarried, "the text of --text2 holds '|', which the protocol cannot carry"},
        {"a<b", kExitUncarried, "the text of --text2 holds '<', which the protocol cannot carry"},
        {"a\nb", kExitUncarried,
         "the text of --text2 holds a line break, which the protocol cannot carry"},
        {std::string("a\0b", 3), kExitUncarried,
         "the text of --text2 holds a zero byte, which the protocol cannot carry"},
        // Texts travel whole: the wire has no width, so a long text is no longer refused.
        {std::string(5000, 'x'), kExitOk, ""},
        {"a>b", kExitOk, ""},
    };
    for (const CarryCase& c : cases) {
        std::string error;
        EXPECT_EQ(CheckCarriable(c.text, "--text2", error), c.exitCode) << c.text;
        EXPECT_EQ(error, c.message) << c.text;
    }
}

TEST(LtpctlChecks, NumbersMustBe32BitWholeNumbers) {
    const std::pair<const char*, bool> cases[] = {
        {"0", true},           {"-5", true},   {"2147483647", true}, {"-2147483648", true},
        {"2147483648", false}, {"12x", false}, {"", false},          {" 1", false},
        {"1.5", false},        {"0x10", false}};
    for (const auto& [text, ok] : cases) {
        std::int32_t value = 99;
        std::string error;
        EXPECT_EQ(ParseLong(text, "PROGRAMID", value, error) == kExitOk, ok) << text;
        if (!ok) {
            EXPECT_NE(error.find("PROGRAMID"), std::string::npos);
            EXPECT_EQ(value, 99);
        }
    }
}

TEST(LtpctlChecks, FieldsAreFilledByKindAndReadBack) {
    ltp::Schedule s;
    const auto& fields = RecordFields<ltp::Schedule>();
    std::string error;
    ASSERT_EQ(SetField(s, fields[3], "2026-12-07T12:00", "--real4", error), kExitOk);
    EXPECT_DOUBLE_EQ(s.real4, 46363.5);
    EXPECT_EQ(FieldText(s, fields[3]), "2026-12-07T12:00:00");
    EXPECT_EQ(SetField(s, fields[3], "tomorrow", "--real4", error), kExitUsage);
    EXPECT_NE(error.find("--real4"), std::string::npos);
    ASSERT_EQ(SetField(s, fields[2], "-42", "--number3", error), kExitOk);
    EXPECT_EQ(s.number3, -42);
    EXPECT_EQ(FieldText(s, fields[2]), "-42");

    ltp::Program p;
    const auto& pf = RecordFields<ltp::Program>();
    ASSERT_EQ(SetField(p, pf[4], "1.5", "--real5", error), kExitOk);
    EXPECT_EQ(p.real5, 1.5);
    EXPECT_EQ(SetField(p, pf[4], "nan", "--real5", error), kExitUsage);
    ASSERT_EQ(SetField(p, pf[12], std::string(1023, 'z'), "--text13", error), kExitOk);
    EXPECT_EQ(FieldText(p, pf[12]).size(), 1023u);

    // Every record names its fields as the records declare them, whatever the wire order: an
    // MTP server's Number4 (not sent) comes fourth, and --number5 fills number5.
    EXPECT_EQ(OptionName(RecordFields<ltp::User>()[1]), "--text2");
    const auto& mf = RecordFields<ltp::MtpServer>();
    EXPECT_FALSE(mf[3].sent);
    EXPECT_STREQ(mf[3].name, "Number4");
    ltp::MtpServer m;
    ASSERT_EQ(SetField(m, mf[4], "5", "--number5", error), kExitOk);
    EXPECT_EQ(m.number5, 5);
    EXPECT_EQ(m.number4, 0);
    EXPECT_EQ(FieldText(m, mf[4]), "5");
    const auto& sf = RecordFields<ltp::ProgramStatistic>();
    EXPECT_STREQ(sf[1].name, "Text2");
    EXPECT_STREQ(sf[5].name, "Real6");
    EXPECT_EQ(RecordFields<ltp::Program>().size(), 13u);
}

struct FailureCase {
    std::function<void()> thrower;
    std::string response;
    int exitCode;
    std::string message;
};

[[noreturn]] void Transport(ltp::TransportError::Kind kind) {
    throw ltp::TransportError(kind, "", "x");
}

// What the case's exception reads as, given the idle time-out as shown.
void ExpectWords(const FailureCase& c, const char* timeout) {
    try {
        c.thrower();
    } catch (const std::exception& e) {
        const Failure f = ExplainClientError(e, c.response, "h:7", timeout);
        EXPECT_EQ(f.exitCode, c.exitCode) << c.message;
        EXPECT_EQ(f.message, c.message);
    }
}

TEST(LtpctlFailures, OutcomesAreToldInWords) {
    using Kind = ltp::TransportError::Kind;
    const auto noRecord = [] { throw ltp::ProtocolError("none"); };
    const FailureCase cases[] = {
        {[] { throw ltp::TransportError(Kind::connect, "Connection refused", "x"); }, "",
         kExitTransport, "connection refused by h:7"},
        // Only a refusal is called one: the library's reason for anything else.
        {[] { throw ltp::TransportError(Kind::connect, "Network is unreachable", "x"); }, "",
         kExitTransport, "cannot connect to h:7: Network is unreachable"},
        {[] {
             throw ltp::TransportError(Kind::connect, "Name or service not known",
                                       "cannot resolve \"nosuch.invalid\"");
         },
         "", kExitTransport, "cannot resolve \"nosuch.invalid\": Name or service not known"},
        {[] { Transport(Kind::connect); }, "", kExitTransport, "cannot connect to h:7"},
        // Another protocol's server: a transport failure, not a refusal nor success.
        {[] { throw ltp::ProtocolError("not LTP/1.0"); },
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi", kExitTransport,
         "h:7 did not answer in LTP/1.0: its status line is \"HTTP/1.1 200 OK\""},
        {[] { Transport(Kind::timeout); }, "", kExitTransport, "no answer within 10 s from h:7"},
        // A limit passed by the answer itself or cut short names the response limit.
        {[] { Transport(Kind::limit); }, "", kExitTransport,
         "receiving the answer from h:7 failed, or it was longer than --max-response-bytes allows"},
        {[] { Transport(Kind::limit); }, "LTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n<<<<",
         kExitTransport, "the answer from h:7 holds more records than --max-result-bytes allows"},
        {[] { Transport(Kind::send); }, "", kExitTransport, "sending the request to h:7 failed"},
        {[] { Transport(Kind::receive); }, "", kExitTransport,
         "receiving the answer from h:7 failed"},
        {[] { throw ltp::InvalidInput("text2", '<'); }, "", kExitUncarried,
         "the request holds input the protocol cannot carry"},
        {[] { Transport(Kind::closed); }, "", kExitTransport, "the server closed the connection"},
        {noRecord, "LTP/1.0 40", kExitRefused, "the server refused the request with status 40"},
        {[] { throw ltp::Refused(404, "no user 'bob'"); },
         "LTP/1.0 404 no user 'bob'\r\nContent-Length: 0\r\n\r\n", kExitRefused,
         "the server refused the request: 404 no user 'bob'"},
        {[] { throw ltp::Refused(401, "Unauthorized"); }, "LTP/1.0  \t401 Unauthorized\r\n",
         kExitRefused, "the server refused the request: 401 Unauthorized"},
        {noRecord, "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", kExitRefused,
         "the server's answer held no record"},
        {noRecord, "garbage", kExitTransport, "the server closed the connection"},
        {[] { Transport(Kind::closed); }, "LTP/1.0 200 OK\r\ncontent-length: 40\r\n\r\n<User>al",
         kExitTransport, "the connection to h:7 broke before the whole answer arrived"},
        {noRecord, "LTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n<User>al", kExitRefused,
         "the server's answer held no record"},
    };
    for (const FailureCase& c : cases)
        ExpectWords(c, "10 s");
}

TEST(LtpctlFailures, ClientErrorsInTheSameWords) {
    using Kind = ltp::TransportError::Kind;
    const std::string cut = "LTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n<User>al";
    const std::string whole = "LTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n<<<<";
    const std::string refusal = "LTP/1.0 404 no user 'bob'\r\nContent-Length: 0\r\n\r\n";
    const FailureCase cases[] = {
        {[] { throw ltp::TransportError(Kind::connect, "Connection refused", "x"); }, "",
         kExitTransport, "connection refused by h:7"},
        {[] { throw ltp::TransportError(Kind::timeout, "", "x"); }, "", kExitTransport,
         "no answer within 1500 ms from h:7"},
        {[] { throw ltp::TransportError(Kind::closed, "", "x"); }, "", kExitTransport,
         "the server closed the connection"},
        {[] { throw ltp::TransportError(Kind::closed, "", "x"); }, cut, kExitTransport,
         "the connection to h:7 broke before the whole answer arrived"},
        {[] { throw ltp::TransportError(Kind::limit, "", "x"); }, cut, kExitTransport,
         "receiving the answer from h:7 failed, or it was longer than --max-response-bytes allows"},
        {[] { throw ltp::TransportError(Kind::limit, "", "x"); }, whole, kExitTransport,
         "the answer from h:7 holds more records than --max-result-bytes allows"},
        // The records' limit ends a list while it still arrives: the answer is cut short then.
        {[] {
             throw ltp::TransportError(Kind::limit, "",
                                       "the records of the response pass the limit of 9 bytes");
         },
         cut, kExitTransport,
         "the answer from h:7 holds more records than --max-result-bytes allows"},
        {[] { throw ltp::Refused(404, "no user 'bob'"); }, refusal, kExitRefused,
         "the server refused the request: 404 no user 'bob'"},
        {[] { throw ltp::InvalidInput("user_id", '|'); }, "", kExitUncarried,
         "the request holds input the protocol cannot carry"},
        {[] { throw ltp::ProtocolError("no id"); }, whole, kExitRefused,
         "the server's answer held no record"},
    };
    for (const FailureCase& c : cases)
        ExpectWords(c, "1500 ms");
    // A lookup that found nothing: the refusal in the server's words, or the caller's.
    EXPECT_EQ(ExplainMissing(refusal, "none", "h:7").message,
              "the server refused the request: 404 no user 'bob'");
    EXPECT_EQ(ExplainMissing(whole, "the server has no user 'x'", "h:7").message,
              "the server has no user 'x'");
}

TEST(LtpctlTrace, ThePasswordNeverShows) {
    EXPECT_EQ(MaskPassword("Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic "
                           "s3cr3t\r\n\r\n"),
              "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic ****\r\n\r\n");
    EXPECT_EQ(MaskPassword("Authorization: basic \r\n"), "Authorization: basic ****\r\n");
    EXPECT_EQ(MaskPassword("Authorization: basic cut"), "Authorization: basic ****");
    EXPECT_EQ(MaskPassword("no header"), "no header");

    std::ostringstream out;
    PrintPrefixed("a\r\nb\nc\rd\r\n\r\ne", "> ", out);
    EXPECT_EQ(out.str(), "> a\n> b\n> c\n> d\n> \n> e\n");
}

ResultTable Sample() {
    ResultTable t;
    t.columns = {{"UserID", false}, {"Number", true}, {"Text", false}};
    t.rows = {{"al", "7", "x,y"}, {"bobby", "-12", "say \"hi\""}, {"c", "1.5", ""}};
    return t;
}

TEST(LtpctlOutput, TableIsAlignedUnderTheFieldNames) {
    std::ostringstream out;
    PrintResult(Sample(), OutputFormat::Table, out);
    EXPECT_EQ(out.str(), "UserID  Number  Text\n"
                         "al           7  x,y\n"
                         "bobby      -12  say \"hi\"\n"
                         "c          1.5\n");
}

TEST(LtpctlOutput, CsvQuotesWhatNeedsIt) {
    std::ostringstream out;
    PrintResult(Sample(), OutputFormat::Csv, out);
    EXPECT_EQ(out.str(), "UserID,Number,Text\r\n"
                         "al,7,\"x,y\"\r\n"
                         "bobby,-12,\"say \"\"hi\"\"\"\r\n"
                         "c,1.5,\r\n");
}

TEST(LtpctlOutput, JsonKeepsNumbersAsNumbers) {
    std::ostringstream out;
    PrintResult(Sample(), OutputFormat::Json, out);
    const auto doc = nlohmann::json::parse(out.str());
    ASSERT_TRUE(doc.is_array());
    ASSERT_EQ(doc.size(), 3u);
    EXPECT_EQ(doc[0]["UserID"], "al");
    EXPECT_EQ(doc[0]["Number"], 7);
    EXPECT_EQ(doc[1]["Number"], -12);
    EXPECT_EQ(doc[2]["Number"], 1.5);
    EXPECT_EQ(doc[1]["Text"], "say \"hi\"");

    ResultTable one = ValueTable("ProgramID", "17", true);
    std::ostringstream single;
    PrintResult(one, OutputFormat::Json, single);
    EXPECT_EQ(nlohmann::json::parse(single.str()), nlohmann::json({{"ProgramID", 17}}));

    // Texts in a code page other than UTF-8 still make valid JSON.
    ResultTable bytes = ValueTable("Text2", "caf\xe9", false);
    std::ostringstream replaced;
    PrintResult(bytes, OutputFormat::Json, replaced);
    EXPECT_NO_THROW(nlohmann::json::parse(replaced.str()));
}

// A list printed as it arrives writes the bytes the whole list prints as: every format that
// streams, over lists of every kind of field, with columns picked, named and labelled.
template <class V>
std::string Streamed(const std::vector<V>& list, const PrintOptions& options,
                     bool complete = true) {
    std::ostringstream out;
    const std::vector<Column> columns = RecordColumns<V>();
    ListPrinter printer(columns, options, out);
    for (const V& value : list)
        printer.Add(ValueRowTable(columns, value));
    printer.Finish(complete);
    return out.str();
}

template <class V> std::string Held(const std::vector<V>& list, const PrintOptions& options) {
    std::ostringstream out;
    PrintResult(ValueListTable(list), options, out);
    return out.str();
}

struct StreamCase {
    const char* what;
    PrintOptions options;
};

TEST(LtpctlOutput, AListPrintedAsItArrivesIsTheWholeListsBytes) {
    std::vector<ltp::User> users(3);
    users[0] = {"al", "Al, \"the\" first", "a\r\nb", "\x1b[31m", "caf\xe9", ""};
    users[1] = {"bo", "", "", "", "", "+1 555"};
    users[2].user_id = std::string(40, 'w');
    std::vector<ltp::User> many(1500);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].user_id = "u" + std::to_string(1000 + i);
    std::vector<ltp::Schedule> schedules(2);
    schedules[0].schedule_id = -7;
    schedules[0].real4 = 46363.5;
    schedules[0].number6 = 31;
    schedules[1].schedule_id = 12;
    schedules[1].real5 = 0.25;
    std::vector<ltp::Program> programs(2);
    programs[1].program_id = 9;
    const StreamCase cases[] = {
        {"json", {OutputFormat::Json}},
        {"json, columns",
         {OutputFormat::Json, false, false, false, {"Text2", "userid", "ScheduleID"}}},
        {"json, labels, named", {OutputFormat::Json, true, true}},
        {"csv", {OutputFormat::Csv}},
        {"csv without headers", {OutputFormat::Csv, false, false, false, {}, true}},
        {"csv, columns", {OutputFormat::Csv, false, false, false, {"Text3", "UserID", "Real5"}}},
        {"table without headers", {OutputFormat::Table, false, false, false, {}, true}},
        {"table without headers, local", {OutputFormat::Table, false, false, true, {}, true}},
        {"table without headers on a screen",
         {OutputFormat::Table, false, false, false, {}, true, 30}},
    };
    for (const StreamCase& c : cases) {
        for (const auto& list : {users, many, std::vector<ltp::User>{}}) {
            EXPECT_EQ(Streamed(list, c.options), Held(list, c.options))
                << c.what << ", " << list.size() << " users";
        }
        EXPECT_EQ(Streamed(schedules, c.options), Held(schedules, c.options)) << c.what;
        EXPECT_EQ(Streamed(programs, c.options), Held(programs, c.options)) << c.what;
    }
}

TEST(LtpctlOutput, AListCutShortKeepsItsRowsAndItsJsonWellFormed) {
    std::vector<ltp::Group> groups(2);
    groups[0].group_id = "g1";
    groups[1].group_id = "g2";
    const std::string json = Streamed(groups, {OutputFormat::Json}, false);
    EXPECT_EQ(nlohmann::json::parse(json).size(), 2u);
    EXPECT_EQ(json, Held(groups, {OutputFormat::Json}));
    // Nothing arrived: nothing is written, as when a held list fails.
    for (const OutputFormat format : {OutputFormat::Json, OutputFormat::Csv, OutputFormat::Table})
        EXPECT_EQ(
            Streamed(std::vector<ltp::Group>{}, {format, false, false, false, {}, true}, false),
            "");
    // A table past its first thousand rows keeps their widths; a wider row later shows whole.
    std::vector<ltp::Group> long_list(1001);
    long_list.back().group_id = "a-much-longer-group-id";
    const std::string table =
        Streamed(long_list, {OutputFormat::Table, false, false, false, {}, true});
    EXPECT_NE(table.find("a-much-longer-group-id"), std::string::npos);
}

} // namespace
