// Every transport fault against one operation of each result form: the operation ends within its
// time-out with the right result and outcome code, leaves the caller's list, record, value or text
// pointer as they were when it fails, and the same object works again after a fresh log-in.
//
// Cases that must wait out the 10 s time-out run side by side, each on a thread of its own with
// its own session (sockets and their notifications belong to the thread that logged in).
#include "ltpadmin/ltpadmin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;
using ltptest::RefusingPort;

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

const long kTimeoutMs = 10000;
// What the one-second wake-up timer and a loaded machine may add to the time-out.
const long kSlackMs = 5000;
const size_t kHugeBody = 50u * 1024u * 1024u;

enum class Form { Command, List, Lookup, Value, Text };
const Form kForms[] = {Form::Command, Form::List, Form::Lookup, Form::Value, Form::Text};

const char* FormName(Form form) {
    switch (form) {
        case Form::Command:
            return "command";
        case Form::List:
            return "list";
        case Form::Lookup:
            return "lookup";
        case Form::Value:
            return "value";
        case Form::Text:
            return "information text";
    }
    return "?";
}

// The body a healthy server gives the form's operation, followed by padding bytes that no decoder
// reads ("<" never occurs in them).
std::string Body(Form form, size_t padding = 0) {
    std::string body;
    switch (form) {
        case Form::Command:
            body = "\r\n";
            break;
        case Form::List:
            body = "<User>a|1</User>\r\n<User>b|2</User>\r\n";
            break;
        case Form::Lookup:
            body = "<User>u1|found</User>\r\n";
            break;
        case Form::Value:
            body = "<UserRights>7</UserRights>\r\n";
            break;
        case Form::Text:
            body = "Hello, administrator";
            break;
    }
    body.append(padding, 'x');
    return body;
}

std::string Ok(const std::string& body) {
    return MakeResponse(200, " OK", body);
}

std::string Head(const std::string& contentLength) {
    return "LTP/1.0 200 OK\r\nContent-Length: " + contentLength + "\r\n\r\n";
}

// What the caller hands to the operation, and a way to tell whether the operation touched it.
struct Caller {
    Caller() {
        kept = new tagUser{};
        std::strcpy(kept->UserID, "kept");
        users.AddTail(kept);
        std::memset(&user, 'k', sizeof user);
        before = user;
    }
    ~Caller() {
        while (!users.IsEmpty())
            delete users.RemoveHead();
    }
    Caller(const Caller&) = delete;
    Caller& operator=(const Caller&) = delete;

    int Run(CLTPCreater& admin, Form form) {
        switch (form) {
            case Form::Command:
                return admin.DeleteUser("u1");
            case Form::List:
                return admin.GetUsers(&users);
            case Form::Lookup:
                return admin.FindUser("u1", &user);
            case Form::Value:
                return admin.GetUserRights("u1", 1, &value);
            case Form::Text:
                return admin.GetInfomation(&text);
        }
        return -1;
    }

    bool Untouched() const {
        return users.GetCount() == 1 && users.GetHead() == kept &&
               std::strcmp(kept->UserID, "kept") == 0 &&
               std::memcmp(&user, &before, sizeof user) == 0 && value == 99 && text == sentinel;
    }

    // The form's result as Body(form, padding) carries it.
    bool HoldsResult(Form form, size_t padding) const {
        switch (form) {
            case Form::Command:
                return Untouched();
            case Form::List: {
                if (users.GetCount() != 3 || users.GetHead() != kept)
                    return false;
                POSITION pos = users.GetHeadPosition();
                users.GetNext(pos);
                const tagUser* a = users.GetNext(pos);
                const tagUser* b = users.GetNext(pos);
                return std::strcmp(a->UserID, "a") == 0 && std::strcmp(a->Text2, "1") == 0 &&
                       std::strcmp(b->UserID, "b") == 0 && std::strcmp(b->Text2, "2") == 0;
            }
            case Form::Lookup:
                return std::strncmp(user.UserID, "u1", 2) == 0 &&
                       std::strncmp(user.Text2, "found", 5) == 0 && user.Text3[0] == 'k';
            case Form::Value:
                return value == 7;
            case Form::Text:
                return text != sentinel && text != nullptr && text == Body(form, padding);
        }
        return false;
    }

    CList<tagUser*, tagUser*> users;
    tagUser* kept;
    tagUser user;
    tagUser before;
    LONG value = 99;
    char sentinel[1] = {0};
    char* text = sentinel;
};

struct Fault {
    const char* name;
    // Scripts the faulty server for the form; null: nothing listens.
    std::function<void(LoopbackPeer&, Form)> script;
    int result;     // what the operation returns
    DWORD code;     // GetLastError afterwards
    size_t padding; // of the body, when the operation succeeds
};

std::string HalfOf(const std::string& bytes) {
    return bytes.substr(0, bytes.size() / 2);
}

// 0: no transport error, also when the server closed the connection or refused the request.
const DWORD kNoError = 0, kConnectFailed = 0xFFFFFFFCu, kTimedOut = 0xFFFFFFF9u;

// Faults the operation gets over, or fails at, quickly.
std::vector<Fault> QuickFaults() {
    return {
        {"connection refused", nullptr, 0, kConnectFailed, 0},
        {"close right after accept", [](LoopbackPeer& p, Form) { p.Accept().Close(); }, 0, kNoError,
         0},
        {"close inside the head",
         [](LoopbackPeer& p, Form) { p.ExpectRequest().Send(HalfOf(Head("20"))).Close(); }, 0,
         kNoError, 0},
        {"close inside the body",
         [](LoopbackPeer& p, Form f) {
             const std::string body = Body(f, 40);
             p.ExpectRequest().Send(Head(std::to_string(body.size())) + HalfOf(body)).Close();
         },
         0, kNoError, 0},
        {"reset inside the body",
         [](LoopbackPeer& p, Form f) {
             const std::string body = Body(f, 40);
             p.ExpectRequest().Send(Head(std::to_string(body.size())) + HalfOf(body)).Reset();
         },
         0, kNoError, 0},
        {"one byte per millisecond",
         [](LoopbackPeer& p, Form f) {
             const std::string response = Ok(Body(f));
             p.ExpectRequest().SendPieces(response, std::vector<size_t>(response.size(), 1),
                                          Millis(1));
         },
         1, kNoError, 0},
        {"garbage status line",
         [](LoopbackPeer& p, Form f) {
             const std::string body = Body(f);
             p.ExpectRequest().Send(std::string("\x01\xfe\x00garbage\x7f 2OO \xff\r\n", 20) +
                                    "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                    body);
         },
         0, kNoError, 0},
        {"Content-Length far larger than the body, then close",
         [](LoopbackPeer& p, Form f) {
             p.ExpectRequest().Send(Head("100000000") + Body(f)).Close();
         },
         0, kNoError, 0},
        {"negative Content-Length, then close",
         [](LoopbackPeer& p, Form f) { p.ExpectRequest().Send(Head("-5") + Body(f)).Close(); }, 0,
         kNoError, 0},
        {"no blank line, then close",
         [](LoopbackPeer& p, Form f) {
             const std::string body = Body(f);
             p.ExpectRequest()
                 .Send("LTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
                       body)
                 .Close();
         },
         0, kNoError, 0},
    };
}

// Faults that stall the response: only the time-out ends them.
std::vector<Fault> StallingFaults() {
    return {
        {"silence", [](LoopbackPeer& p, Form) { p.ExpectRequest().StaySilent(); }, 0, kTimedOut, 0},
        {"Content-Length far larger than the body",
         [](LoopbackPeer& p, Form f) {
             p.ExpectRequest().Send(Head("100000000") + Body(f)).StaySilent();
         },
         0, kTimedOut, 0},
        {"negative Content-Length",
         [](LoopbackPeer& p, Form f) { p.ExpectRequest().Send(Head("-5") + Body(f)).StaySilent(); },
         0, kTimedOut, 0},
        {"no blank line",
         [](LoopbackPeer& p, Form f) {
             const std::string body = Body(f);
             p.ExpectRequest()
                 .Send("LTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
                       body)
                 .StaySilent();
         },
         0, kTimedOut, 0},
    };
}

struct Outcome {
    std::string what;
    int result = -1;
    DWORD code = 1;
    long elapsedMs = 0;
    bool callerStateRight = false; // untouched on failure, the result on success
    bool peerFinished = false;
    int recoveredResult = -1;
    bool recoveredRight = false;
};

// Runs one fault against one form on the calling thread, then logs the same object in afresh
// against a healthy server and runs the operation again.
Outcome RunCase(const Fault& fault, Form form) {
    Outcome outcome;
    outcome.what = std::string(fault.name) + " / " + FormName(form);
    CLTPCreater admin;
    admin.SetNotifyWnd(nullptr); // the closing notice goes to this thread only
    {
        std::unique_ptr<RefusingPort> refusing;
        LoopbackPeer faulty;
        if (fault.script) {
            fault.script(faulty, form);
            faulty.Start();
            admin.SetServerAddressPort(faulty.Address(), faulty.Port());
        } else {
            refusing = std::make_unique<RefusingPort>();
            admin.SetServerAddressPort(inet_addr("127.0.0.1"), refusing->Port());
        }
        Caller caller;
        const Clock::time_point start = Clock::now();
        if (admin.LogIn("127.0.0.1", "admin", "pw") == 1)
            outcome.result = caller.Run(admin, form);
        outcome.elapsedMs =
            static_cast<long>(std::chrono::duration_cast<Millis>(Clock::now() - start).count());
        outcome.code = admin.GetLastError();
        outcome.callerStateRight =
            outcome.result == 1 ? caller.HoldsResult(form, fault.padding) : caller.Untouched();

        LoopbackPeer healthy;
        healthy.Serve({Ok(Body(form))}).Start();
        admin.SetServerAddressPort(healthy.Address(), healthy.Port());
        Caller fresh;
        if (admin.LogIn("127.0.0.1", "admin", "pw") == 1)
            outcome.recoveredResult = fresh.Run(admin, form);
        outcome.recoveredRight = fresh.HoldsResult(form, 0);
        admin.LogOut();
        outcome.peerFinished = (!fault.script || faulty.Finish()) && healthy.Finish();
    }
    return outcome;
}

void Check(const Fault& fault, const Outcome& o) {
    SCOPED_TRACE(o.what);
    EXPECT_EQ(o.result, fault.result);
    EXPECT_EQ(o.code, fault.code);
    EXPECT_TRUE(o.callerStateRight)
        << (o.result == 1 ? "result not delivered" : "caller's data touched");
    EXPECT_LE(o.elapsedMs, kTimeoutMs + kSlackMs);
    if (fault.code == kTimedOut) {
        EXPECT_GE(o.elapsedMs, kTimeoutMs - 10) << "gave up before the time-out";
    }
    EXPECT_EQ(o.recoveredResult, 1) << "no recovery after a fresh log-in";
    EXPECT_TRUE(o.recoveredRight);
    EXPECT_TRUE(o.peerFinished);
}

} // namespace

TEST(FaultMatrix, QuickFaultsEndEveryFormWithTheRightOutcome) {
    for (const Fault& fault : QuickFaults())
        for (Form form : kForms)
            Check(fault, RunCase(fault, form));
}

TEST(FaultMatrix, StalledResponsesTimeOutAndTouchNothing) {
    struct Running {
        Fault fault;
        Form form;
        Outcome outcome;
    };
    std::vector<Running> cases;
    for (const Fault& fault : StallingFaults())
        for (Form form : kForms)
            cases.push_back({fault, form, {}});
    std::vector<std::thread> threads;
    for (Running& c : cases)
        threads.emplace_back([&c] { c.outcome = RunCase(c.fault, c.form); });
    for (std::thread& t : threads)
        t.join();
    for (const Running& c : cases)
        Check(c.fault, c.outcome);
}

TEST(FaultMatrix, AFiftyMegabyteBodyArrivesWhole) {
    const Fault fault = {"50 MB body",
                         [](LoopbackPeer& p, Form f) { p.Respond(Ok(Body(f, kHugeBody))); }, 1,
                         kNoError, kHugeBody};
    for (Form form : kForms)
        Check(fault, RunCase(fault, form));
}
