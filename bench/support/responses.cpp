#include "support/responses.h"

#include "ltpadmin/ltpadmin.h"
#include "ltpadmin/protocol/catalogue.h"

#include <cstdio>

namespace ltpbench {

const char kUserName[] = "admin";
const char kPassword[] = "secret";

namespace {

const char kResponseHead[] = "LTP/1.0 200 OK\r\nContent-Length: ";

// One User record with its line end, into record; returns its length.
int UserRecord(int i, char* record, std::size_t size) {
    return std::snprintf(record, size,
                         "<User>user%06d|Firstname Lastname %d|Department %d|"
                         "Member of the editorial staff, night shift, building %d|"
                         "user%06d@newsroom.example.org|+1 555 %07d</User>\r\n",
                         i, i, i % 40, i % 7, i, i);
}

std::string Head(std::size_t bodyLength) {
    return kResponseHead + std::to_string(bodyLength) + "\r\n\r\n";
}

} // namespace

std::string MakeUsersResponse(int users) {
    std::string body;
    body.reserve(static_cast<std::size_t>(users) * 200);
    char record[512];
    for (int i = 0; i < users; ++i)
        body.append(record, static_cast<std::size_t>(UserRecord(i, record, sizeof record)));
    return Head(body.size()) + body;
}

std::size_t UsersResponseLength(int users) {
    std::size_t body = 0;
    char record[512];
    for (int i = 0; i < users; ++i)
        body += static_cast<std::size_t>(UserRecord(i, record, sizeof record));
    return Head(body).size() + body;
}

std::string MakeStatusResponse() {
    return Head(0);
}

std::string BareRequest(int row) {
    CString request;
    request.Format(ltp::detail::CatalogueRow(row).headTemplate, kUserName, kPassword);
    return std::string(request.GetString(), static_cast<std::size_t>(request.GetLength()));
}

std::string InformationRequest(const std::string& text) {
    CString request;
    request.Format(ltp::detail::CatalogueRow(ltp::detail::Row::AddInfomation).headTemplate,
                   kUserName, kPassword, static_cast<int>(text.size()));
    request += text.c_str();
    return std::string(request.GetString(), static_cast<std::size_t>(request.GetLength()));
}

std::string MakeText(std::size_t length) {
    static const char kWords[] = "The quick brown fox jumps over the lazy dog; ";
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = kWords[i % (sizeof kWords - 1)];
    return text;
}

} // namespace ltpbench
