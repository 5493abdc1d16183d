// ltpd's request parser and body reader under arbitrary bytes: the stream of one connection is cut
// into requests one after another, as the server loop does. Each cut must stay inside the bytes
// it is given; a request that parses whole must parse the same from exactly its own bytes and must
// not parse (nor be refused) from any shorter piece of them, since a request split across reads
// would otherwise be refused or cut; a refusal carries a status and a reason. Bodies are then read
// against their catalogue form.
//
// Input: the first byte chooses the code page and whether the size limits are the defaults or
// small ones; the rest is the connection's byte stream.
#include "ltpadmin/protocol/catalogue.h"
#include "tools/ltpd/body_reader.h"
#include "tools/ltpd/code_page.h"
#include "tools/ltpd/request_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

const unsigned kCodePages[] = {1252, 932, 936, 949, 950};

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool Same(const ltpd::ParseResult& a, const ltpd::ParseResult& b) {
    return a.state == b.state && a.consumed == b.consumed && a.request.row == b.request.row &&
           a.request.verb == b.request.verb && a.request.object == b.request.object &&
           a.request.user == b.request.user && a.request.password == b.request.password &&
           a.request.body == b.request.body;
}

// Conversions of a form: "%s", "%d", "%f", "%.9f"; "%%" is none.
size_t Conversions(const char* form) {
    size_t n = 0;
    for (const char* p = form; *p; ++p) {
        if (*p != '%')
            continue;
        if (p[1] == '%')
            ++p;
        else
            ++n;
    }
    return n;
}

void CheckBody(const ltpd::Request& request, const ltpd::CodePage& codePage) {
    const ltp::detail::CommandRow* row = request.row;
    if (!row || row->bodyTemplate == nullptr)
        return;
    if (row->body != ltp::detail::BodyKind::Key && row->body != ltp::detail::BodyKind::Record &&
        row->body != ltp::detail::BodyKind::Query)
        return;
    ltpd::BodyValues values;
    std::string error;
    if (!ltpd::ReadBody(request.body, row->bodyTemplate, codePage, values, error)) {
        Require(!error.empty());
        return;
    }
    size_t fields = 0;
    for (const auto& element : values)
        fields += element.size();
    Require(fields == Conversions(row->bodyTemplate));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    ltpd::CodePage codePage;
    codePage.Select(kCodePages[data[0] % 5]);
    ltpd::RequestLimits limits;
    if (data[0] & 0x80) {
        limits.maxHead = 300;
        limits.maxKeyLine = 100;
        limits.maxBody = 200;
    }
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    for (int requests = 0; requests < 64 && !rest.empty(); ++requests) {
        const ltpd::ParseResult r = ltpd::ParseRequest(rest, limits);
        Require(r.consumed <= rest.size());
        if (r.state == ltpd::ParseState::Incomplete) {
            Require(r.consumed == 0);
            return 0;
        }
        if (r.state == ltpd::ParseState::Failed) {
            Require(r.status == 400 || r.status == 411 || r.status == 413);
            Require(!r.reason.empty());
            return 0;
        }
        Require(r.consumed > 0);
        Require(r.request.version == "LTP/1.0");
        Require(!r.request.hasContentLength || r.request.body.size() <= limits.maxBody);

        const std::string_view own = rest.substr(0, r.consumed);
        Require(Same(ltpd::ParseRequest(own, limits), r));
        // Shorter pieces: one byte short, and each piece that ends at or just after a line end.
        Require(ltpd::ParseRequest(own.substr(0, own.size() - 1), limits).state ==
                ltpd::ParseState::Incomplete);
        int pieces = 0;
        for (size_t i = 0; i + 1 < own.size() && pieces < 48; ++i) {
            if (own[i] != '\n')
                continue;
            ++pieces;
            Require(ltpd::ParseRequest(own.substr(0, i), limits).state ==
                    ltpd::ParseState::Incomplete);
            Require(ltpd::ParseRequest(own.substr(0, i + 1), limits).state ==
                    ltpd::ParseState::Incomplete);
        }
        CheckBody(r.request, codePage);
        rest.remove_prefix(r.consumed);
    }
    return 0;
}
