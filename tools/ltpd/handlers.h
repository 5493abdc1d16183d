// What a request handler gets and gives: the body's values in, a response out. Handlers run
// inside a transaction that the service commits when they answer 200 and rolls back otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/ltpd/library.h"
#include "tools/ltpd/body_reader.h"
#include "tools/ltpd/code_page.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/response_writer.h"

namespace ltpd {

// Seconds on the monotonic clock that ServerCounters::startedAt is read against.
double ServerClockNow();

// Figures of the running server that Get SysInfo reports.
struct ServerCounters {
    double startedAt = 0; // seconds on the monotonic clock
    int64_t openConnections = 0;
    int64_t totalConnections = 0;
    int64_t requests = 0;
};

struct Context {
    Database& db;
    const CodePage& codePage;
    const ServerCounters& counters;
    const std::string& user;  // the administrator who sent the request
    std::string_view rawBody; // the body as it came (Add Infomation's text)

    // Records a change in the log, in the request's transaction.
    void Log(const std::string& text);
};

using Handler = Response (*)(Context& context, const BodyValues& body);
// One handler per catalogue row, set by the row's name and found by its number.
struct HandlerTable {
    Handler& operator[](ltp::detail::Row row) { return byNumber[static_cast<size_t>(row)]; }
    Handler operator[](size_t number) const { return byNumber[number]; }

    std::array<Handler, ltp::detail::kCommandCount + 1> byNumber{};
};

void AddServerHandlers(HandlerTable& table);     // rows 1-5
void AddCatalogueHandlers(HandlerTable& table);  // rows 6-35
void AddRelationHandlers(HandlerTable& table);   // rows 36-39, 44, 45
void AddRightsHandlers(HandlerTable& table);     // rows 40-43, 46-55
void AddStatisticsHandlers(HandlerTable& table); // rows 56-58
void AddMtpHandlers(HandlerTable& table);        // rows 59-66

// Shared answers.
Response NotFound(const std::string& what);
Response Duplicate(const std::string& what);
Response BadRequest(const std::string& why);

} // namespace ltpd
