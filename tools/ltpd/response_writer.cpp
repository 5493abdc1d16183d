#include "tools/ltpd/response_writer.h"

#include <cmath>
#include <cstdio>

#include <ltpadmin/ltp/wire.h>

namespace ltpd {

Response Ok() {
    return Response();
}

Response Refuse(int status, std::string reason) {
    Response r;
    r.status = status;
    r.reason = std::move(reason);
    return r;
}

std::string SerializeResponse(const Response& response) {
    std::string reason = response.reason.substr(0, 300);
    for (char& c : reason)
        if (c == '<' || c == '\r' || c == '\n' || c == '\0')
            c = '?';
    std::string out = "LTP/1.0 " + std::to_string(response.status);
    if (!reason.empty())
        out += " " + reason;
    out += "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n\r\n";
    out += response.body;
    return out;
}

std::string FormatNumber(int32_t value) {
    return std::to_string(static_cast<uint32_t>(value));
}

std::string FormatDecimal(double value) {
    if (!std::isfinite(value) || value < 0)
        value = 0; // never stored; a sign or "inf" would read as 0 anyway
    int n = std::snprintf(nullptr, 0, "%.9f", value);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(&s[0], s.size(), "%.9f", value);
    s.resize(static_cast<size_t>(n));
    return s;
}

RecordWriter::RecordWriter(std::string& out, std::string_view tag, const CodePage& codePage)
    : m_out(out), m_tag(tag), m_codePage(codePage) {
    m_out += '<';
    m_out += tag;
    m_out += '>';
}

void RecordWriter::Separate() {
    if (!m_first)
        m_out += '|';
    m_first = false;
}

RecordWriter& RecordWriter::Text(std::string_view text) {
    Separate();
    // Stored texts were checked on the way in; a byte that reached the database some other way
    // must still not split or end the element, so it goes out as "?".
    while (!text.empty()) {
        const std::size_t bad = ltp::find_uncarriable(text, m_codePage.Number());
        m_out += text.substr(0, bad);
        if (bad == std::string_view::npos)
            break;
        m_out += '?';
        text.remove_prefix(bad + 1);
    }
    return *this;
}

RecordWriter& RecordWriter::Number(int32_t value) {
    Separate();
    m_out += FormatNumber(value);
    return *this;
}

RecordWriter& RecordWriter::Decimal(double value) {
    Separate();
    m_out += FormatDecimal(value);
    return *this;
}

void RecordWriter::End() {
    m_out += "</";
    m_out += m_tag;
    m_out += ">\r\n";
}

std::string ValueElement(std::string_view tag, int32_t value) {
    std::string out = "<";
    out += tag;
    out += '>';
    out += std::to_string(value); // read with atol: a sign is understood here
    out += "</";
    out += tag;
    out += ">\r\n";
    return out;
}

} // namespace ltpd
