// An in-memory server without sockets: requests are written as the library writes them, read by
// the parser and answered by the service.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <ltpadmin/ltpadmin.h>
#include "tools/ltpd/database.h"
#include "tools/ltpd/request_parser.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/service.h"

namespace ltpd {

class ServiceFixture : public ::testing::Test {
protected:
    explicit ServiceFixture(const std::string& dbPath = ":memory:") : db(dbPath) {
        CreateSchema(db);
        service = std::make_unique<Service>(db, Credentials{"admin", "pw"});
    }

    // body: the key line with its "\r\n", or the counted body.
    Response Call(int rowNumber, const std::string& body = "", const std::string& password = "pw") {
        const ltp::detail::CommandRow& row = ltp::detail::CatalogueRow(rowNumber);
        std::string req = std::string(row.requestLine) +
                          "User-Name: admin\r\nAuthorization: basic " + password + "\r\n";
        if (row.hasContentLength)
            req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        req += "\r\n" + body;
        ParseResult parsed = ParseRequest(req);
        EXPECT_EQ(parsed.state, ParseState::Complete) << parsed.reason;
        EXPECT_EQ(parsed.consumed, req.size());
        return service->Handle(parsed.request);
    }

    // Status and body in one string, for compact expectations: "200 <User>...".
    std::string Answer(int rowNumber, const std::string& body = "") {
        Response r = Call(rowNumber, body);
        return std::to_string(r.status) + (r.status == 200 ? " " + r.body : " " + r.reason);
    }

    static std::string Rec(const std::string& tag, const std::string& fields) {
        return "<" + tag + ">" + fields + "</" + tag + ">\r\n";
    }
    static std::string El(const std::string& tag, const std::string& value) {
        return "<" + tag + ">" + value + "</" + tag + ">";
    }
    static size_t Count(const std::string& body, const std::string& tag) {
        size_t n = 0;
        for (size_t p = body.find("<" + tag + ">"); p != std::string::npos;
             p = body.find("<" + tag + ">", p + 1))
            ++n;
        return n;
    }

    Database db;
    std::unique_ptr<Service> service;
};

} // namespace ltpd
