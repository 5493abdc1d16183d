// ltpweb's pieces in-process: request bodies, sessions and their idle end, sign-in throttling,
// listen addresses, tokens, the program tree and the schema document.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "tools/ltpweb/api_error.h"
#include "tools/ltpweb/json_body.h"
#include "tools/ltpweb/ltp_access.h"
#include "tools/ltpweb/options.h"
#include "tools/ltpweb/sessions.h"
#include "tools/ltpweb/web_server.h"

namespace ltpweb {
namespace {

using namespace std::chrono_literals;

TEST(WebBody, RefusesWhatIsNotTheRequestsObject) {
    const std::vector<BodyField> fields = {{"user", JsonType::String, true},
                                           {"rights", JsonType::Integer, false},
                                           {"minutes", JsonType::Number, false}};
    struct Case {
        std::string body;
        int status; // 0: accepted
        const char* reasonHas;
    };
    const Case cases[] = {
        {R"({"user":"a"})", 0, ""},
        {R"({"user":"a","rights":-2147483648,"minutes":1.5})", 0, ""},
        {R"({"user":"a","rights":2147483648})", 400, "32-bit"},
        {R"({"user":"a","rights":1.5})", 400, "32-bit"},
        {R"({"user":"a","rights":"7"})", 400, "rights"},
        {R"({"user":5})", 400, "user"},
        {R"({"user":"a","extra":1})", 400, "unknown field \"extra\""},
        {R"({"rights":1})", 400, "\"user\" is missing"},
        {R"(["user"])", 400, "object"},
        {R"({"user":"a")", 400, "not valid JSON"},
        {"", 400, "not valid JSON"},
        {"{\"user\":\"\xff\"}", 400, "not valid JSON"},
        {std::string(100000, '['), 400, "nests too deep"},
        {R"({"user":{"a":{"b":1}}})", 400, "nests too deep"},
        {R"({"user":"[[[[{{{{"})", 0, ""}, // brackets inside a string are text
        {"{\"user\":\"" + std::string(kMaxBody, 'a') + "\"}", 413, "1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 60));
        try {
            ParseBody(c.body, fields);
            EXPECT_EQ(c.status, 0);
        } catch (const ApiError& e) {
            EXPECT_EQ(e.http, c.status);
            EXPECT_NE(std::string(e.what()).find(c.reasonHas), std::string::npos) << e.what();
        }
    }
}

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    Clock fn() {
        return [this] { return now; };
    }
};

TEST(WebSessions, EndAfterIdleTimeAndAtSignOut) {
    FakeClock clock;
    SessionStore store(30min, clock.fn());
    auto a = store.Create("alice", nullptr);
    auto b = store.Create("bob", nullptr);
    EXPECT_NE(a->id, b->id);
    EXPECT_NE(a->id, a->csrf);
    clock.now += 20min;
    EXPECT_TRUE(store.Find(a->id)); // used: alice's idle time starts again
    clock.now += 20min;
    EXPECT_TRUE(store.Find(a->id));
    EXPECT_FALSE(store.Find(b->id)); // 40 minutes idle
    store.End(a->id);
    EXPECT_FALSE(store.Find(a->id));
    EXPECT_FALSE(store.Find(""));
    // Forgotten sessions are swept without anyone presenting their cookie.
    for (int i = 0; i < 5; ++i)
        store.Create("x", nullptr);
    clock.now += 2h;
    store.Create("y", nullptr);
    EXPECT_EQ(store.Count(), 1u);
}

TEST(WebSessions, CapsEndTheLeastRecentlyUsedOfThatAddressOrOverall) {
    FakeClock clock;
    SessionStore store(30min, clock.fn());
    store.SetCaps(2, 3);
    auto a1 = store.Create("u", nullptr, "10.0.0.1");
    clock.now += 1s;
    auto a2 = store.Create("u", nullptr, "10.0.0.1");
    clock.now += 1s;
    auto b1 = store.Create("u", nullptr, "10.0.0.2");
    clock.now += 1s;
    EXPECT_TRUE(store.Find(a1->id)); // now a2 is 10.0.0.1's least recently used
    clock.now += 1s;
    auto a3 = store.Create("u", nullptr, "10.0.0.1");
    EXPECT_FALSE(store.Find(a2->id));
    EXPECT_TRUE(store.Find(b1->id)); // another address keeps its session
    clock.now += 1s;
    auto c1 = store.Create("u", nullptr, "10.0.0.3"); // over the total: a1 was used longest ago
    EXPECT_FALSE(store.Find(a1->id));
    EXPECT_TRUE(store.Find(a3->id) && store.Find(b1->id) && store.Find(c1->id));
    EXPECT_EQ(store.Count(), 3u);
}

TEST(WebSessions, SignInThrottledPerAddressForTheWindow) {
    FakeClock clock;
    SignInThrottle throttle(3, 60s, clock.fn());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(throttle.WaitFor("10.0.0.1"), 0);
        throttle.Failed("10.0.0.1");
    }
    EXPECT_EQ(throttle.WaitFor("10.0.0.1"), 60);
    EXPECT_EQ(throttle.WaitFor("10.0.0.2"), 0); // another address is not held back
    clock.now += 45s;
    EXPECT_EQ(throttle.WaitFor("10.0.0.1"), 15);
    clock.now += 15s;
    EXPECT_EQ(throttle.WaitFor("10.0.0.1"), 0);
    throttle.Failed("10.0.0.2");
    throttle.Failed("10.0.0.2");
    throttle.Succeeded("10.0.0.2");
    throttle.Failed("10.0.0.2");
    EXPECT_EQ(throttle.WaitFor("10.0.0.2"), 0); // a success forgets earlier failures
}

TEST(WebSessions, TokensAreLongRandomAndUrlSafe) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string t = RandomToken(32);
        EXPECT_EQ(t.size(), 43u);
        EXPECT_EQ(t.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                      "0123456789-_"),
                  std::string::npos);
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_TRUE(SameSecret("abc", "abc"));
    EXPECT_FALSE(SameSecret("abc", "abd"));
    EXPECT_FALSE(SameSecret("abc", "ab"));
}

TEST(WebOptions, ListenAddresses) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
        bool loopback;
    };
    const Case cases[] = {
        {"127.0.0.1:8080", true, "127.0.0.1", 8080, true},
        {"[::1]:0", true, "::1", 0, true},
        {"localhost:80", true, "localhost", 80, true},
        {"127.1.2.3:1", true, "127.1.2.3", 1, true},
        {"0.0.0.0:8080", true, "0.0.0.0", 8080, false},
        {"127.0.0.1.evil.example:80", true, "127.0.0.1.evil.example", 80, false},
        {"[::]:443", true, "::", 443, false},
        {"192.0.2.1:65536", false, "", 0, false},
        {"127.0.0.1", false, "", 0, false},
        {":8080", false, "", 0, false},
        {"[::1:80", false, "", 0, false},
        {"host:8x", false, "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string host;
        int port = -1;
        ASSERT_EQ(ParseListen(c.text, host, port), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
        EXPECT_EQ(IsLoopback(host), c.loopback);
    }
}

TEST(WebOptions, PlainHttpOnlyOnLoopbackUnlessAskedFor) {
    struct Case {
        std::vector<const char*> args;
        int code; // -1: go on
    };
    const Case cases[] = {
        {{}, -1},
        {{"--listen", "[::1]:9000"}, -1},
        {{"--listen", "0.0.0.0:8080"}, 2},
        {{"--listen", "0.0.0.0:8080", "--insecure-listen"}, -1},
        {{"--listen", "0.0.0.0:8080", "--tls-cert", "c.pem", "--tls-key", "k.pem"}, -1},
        {{"--tls-cert", "c.pem"}, 2}, // a certificate without its key
        {{"--listen", "nonsense"}, 2},
        {{"--metrics-listen", "127.0.0.1:9100"}, -1},
        {{"--metrics-listen", "off"}, -1},
        {{"--metrics-listen", "9100"}, 2},
        {{"--max-per-address", "0"}, 2},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("ltpweb")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[1]);
        Options o;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ParseOptions(static_cast<int>(argv.size()), argv.data(), o), c.code);
        testing::internal::GetCapturedStderr();
    }
}

ltp::Program P(std::int32_t id, std::int32_t parent) {
    ltp::Program p;
    p.program_id = id;
    p.number6 = parent;
    return p;
}

// "id(children...)" of a tree, for comparing shapes.
std::string Shape(const nlohmann::ordered_json& nodes) {
    std::string out;
    for (const auto& n : nodes) {
        out += std::to_string(n["ProgramID"].get<int>());
        if (!n["children"].empty())
            out += "(" + Shape(n["children"]) + ")";
        out += " ";
    }
    return out;
}

TEST(WebProgramTree, NestsByParentAndShowsEveryProgramOnce) {
    struct Case {
        std::vector<ltp::Program> programs;
        std::string shape;
    };
    const Case cases[] = {
        {{P(1, 0), P(2, 1), P(3, 1), P(4, 0), P(5, 4)}, "1(2 3 ) 4(5 ) "},
        {{P(2, 1), P(1, 0)}, "1(2 ) "},            // a child listed before its parent
        {{P(1, 9), P(2, 1)}, "1(2 ) "},            // a parent the server does not list
        {{P(1, 1), P(2, 1)}, "1(2 ) "},            // its own parent
        {{P(1, 2), P(2, 1), P(3, 1)}, "1(3 ) 2 "}, // a circle: both at the top, nothing lost
        {{P(1, 2), P(2, 3), P(3, 1), P(4, 3)}, "1 2 3(4 ) "},
        {{P(5, 6), P(6, 5), P(7, 6), P(8, 7), P(9, 42)}, "5 6(7(8 ) ) 9 "}, // a circle and a tail
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        EXPECT_EQ(Shape(ProgramTree(c.programs)), c.shape);
    }
}

TEST(WebProgramTree, ADeepChainIsNestedWhole) {
    std::vector<ltp::Program> chain;
    for (std::int32_t i = 1; i <= 50000; ++i)
        chain.push_back(P(i, i - 1));
    nlohmann::ordered_json tree = ProgramTree(chain);
    int depth = 0;
    for (const nlohmann::ordered_json* n = &tree; !n->empty(); n = &(*n)[0]["children"])
        ++depth;
    EXPECT_EQ(depth, 50000);
}

TEST(WebPaths, SegmentsAndQueryValuesDecodeOnce) {
    struct Case {
        const char* text;
        bool plusIsSpace;
        bool ok;
        const char* decoded;
    };
    const Case cases[] = {
        {"ab%2563", false, true, "ab%63"},
        {"a%2Fb", false, true, "a/b"},
        {"%E5%90%8D", false, true, "\xE5\x90\x8D"},
        {"a+b", false, true, "a+b"},
        {"a+b", true, true, "a b"},
        {"%zz", false, false, ""},
        {"a%2", false, false, ""},
        {"%", true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out;
        EXPECT_EQ(PercentDecode(c.text, c.plusIsSpace, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.decoded);
        }
    }
}

} // namespace
} // namespace ltpweb

namespace ltpweb {
namespace {

// Every record kind with every wire field in wire order and a kind, with the shipped schema and
// without a file; what the schema says appears only where it says it.
TEST(WebSchema, ListsEveryFieldWithItsKindInTheAgreedShape) {
    const ltptools::Schema shipped = ltptools::Schema::Load(LTPD_LABELS_PATH);
    for (const ltptools::Schema* schema :
         {&shipped, static_cast<const ltptools::Schema*>(nullptr)}) {
        const ltptools::Schema none;
        const nlohmann::ordered_json doc = SchemaDocument(schema ? *schema : none);
        SCOPED_TRACE(schema ? "shipped" : "no file");
        const std::set<std::string> kinds = {"text",    "integer", "decimal", "date",
                                             "minutes", "bits",    "enum",    "ref"};
        std::size_t records = 0;
        std::apply(
            [&](const auto&... r) {
                auto check = [&](const auto& record) {
                    using V = std::decay_t<decltype(record)>;
                    const auto& listed = doc["records"][ltp::record_name<V>()]["fields"];
                    ASSERT_EQ(listed.size(), ltp::fields<V>().size()) << ltp::record_name<V>();
                    for (std::size_t i = 0; i < listed.size(); ++i) {
                        EXPECT_EQ(listed[i]["wire"], ltp::fields<V>()[i].wire_name);
                        EXPECT_EQ(kinds.count(listed[i]["kind"].template get<std::string>()), 1u);
                    }
                    ++records;
                };
                (check(r), ...);
            },
            ltp::RecordTypes{});
        EXPECT_EQ(records, std::tuple_size<ltp::RecordTypes>::value);
        EXPECT_EQ(doc["records"]["Program"]["key"], "ProgramID");
        const auto& program = doc["records"]["Program"];
        const auto& schedule = doc["records"]["Schedule"]["fields"];
        if (!schema) {
            EXPECT_TRUE(program["display"].is_null());
            EXPECT_EQ(schedule[5].dump(),
                      R"({"wire":"Number6","name":"number6","kind":"integer"})");
            EXPECT_TRUE(doc["bits"].empty());
            continue;
        }
        EXPECT_EQ(program["display"], "Text2");
        EXPECT_EQ(program["fields"][0].dump(),
                  R"({"wire":"ProgramID","name":"program_id","help":"given by the server on add",)"
                  R"("kind":"integer","assigned":true})");
        EXPECT_EQ(
            program["fields"][5].dump(),
            R"j({"wire":"Number6","name":"number6","label":"parent",)j"
            R"j("help":"the program above it (0: top level)","kind":"ref","ref":"Program"})j");
        EXPECT_EQ(program["fields"][12]["hidden"], true);
        EXPECT_EQ(program["fields"][12]["max"], 1023);
        EXPECT_EQ(schedule[4]["none"].dump(), "0");
        EXPECT_EQ(schedule[5]["bits"], "days");
        EXPECT_EQ(doc["bits"]["rights"][3].dump(), R"({"value":8,"name":"delete"})");
        EXPECT_EQ(doc["bits"]["days"][6].dump(), R"({"value":64,"name":"Sun"})");
        EXPECT_EQ(doc["values"]["permission"].dump(), R"({"kind":"bits","bits":"rights"})");
        EXPECT_EQ(doc["units"]["SysInfo"]["Number1"], "seconds");
        EXPECT_TRUE(doc["records"]["MTPSvr"]["fields"][5]["answer_only"]);
    }
}

} // namespace
} // namespace ltpweb

namespace ltpweb {
namespace {

// The API is written from the operations' description: every operation answers at its method
// and path under its name, each name once; the OpenAPI document lists exactly the routes; an
// earlier path answers too, marked deprecated.
TEST(WebOperations, EveryOperationIsARouteUnderItsName) {
    const std::vector<Route> routes = ApiRoutes(ltptools::Schema());
    std::map<std::string, const Route*> byName;
    for (const Route& r : routes) {
        EXPECT_FALSE(r.operation.empty()) << r.method << ' ' << r.path;
        EXPECT_TRUE(byName.emplace(r.operation, &r).second) << "twice: " << r.operation;
    }
    for (const ltptools::OperationWords& op : ltptools::AllOperations()) {
        SCOPED_TRACE(op.name);
        const auto found = byName.find(op.name);
        ASSERT_NE(found, byName.end());
        EXPECT_EQ(found->second->method, op.method);
        EXPECT_EQ(found->second->path, op.path);
        EXPECT_FALSE(found->second->deprecated);
        const auto old = byName.find(op.name + "_at_earlier_path");
        EXPECT_EQ(old != byName.end(), !op.oldPath.empty());
        if (old != byName.end()) {
            EXPECT_EQ(old->second->path, op.oldPath);
            EXPECT_EQ(old->second->method, op.method);
            EXPECT_TRUE(old->second->deprecated);
        }
    }
    const nlohmann::ordered_json doc = OpenApiDocument(routes);
    std::set<std::string> listed, answered;
    for (const auto& [path, methods] : doc["paths"].items())
        for (const auto& [method, op] : methods.items())
            listed.insert(method + ' ' + path + ' ' + op["operationId"].get<std::string>());
    for (const Route& r : routes) {
        std::string method = r.method;
        for (char& c : method)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        answered.insert(method + ' ' + r.path + ' ' + r.operation);
    }
    EXPECT_EQ(listed, answered);
}

// The vocabulary's table: what the README promises, by name.
TEST(WebOperations, TheNamedWordsOfTheVocabulary) {
    struct Case {
        const char* name;
        const char* method;
        const char* path;
        const char* command;
    };
    const Case cases[] = {
        {"users", "GET", "/api/users", "users list"},
        {"modify_user", "PUT", "/api/users/{id}", "users modify"},
        {"find_mtp_server", "GET", "/api/mtp-servers/{id}", "mtp-servers find"},
        {"delete_mtp_server", "DELETE", "/api/mtp-servers/{id}", "mtp-servers delete"},
        {"add_schedule", "POST", "/api/schedules", "schedules add"},
        {"sys_info", "GET", "/api/sysinfo", "sysinfo"},
        {"program_statistics", "GET", "/api/programs/{id}/statistics", "statistics program"},
        {"channel_mtp_server", "GET", "/api/channels/{id}/mtp-server", "channels mtp-server"},
        {"delete_user_from_group", "DELETE", "/api/users/{id}/groups/{group}", "members delete"},
        {"apply_permission_to_descendants", "POST", "/api/programs/{id}/apply-permission",
         "programs apply-permission"},
    };
    const std::vector<ltptools::OperationWords> all = ltptools::AllOperations();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto op =
            std::find_if(all.begin(), all.end(), [&](const auto& w) { return w.name == c.name; });
        ASSERT_NE(op, all.end());
        EXPECT_EQ(op->method, c.method);
        EXPECT_EQ(op->path, c.path);
        EXPECT_EQ(op->command, c.command);
    }
}

} // namespace
} // namespace ltpweb
