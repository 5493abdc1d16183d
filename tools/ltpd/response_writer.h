// Writes LTP/1.0 responses: the status line, the one Content-Length line, the blank line and the
// body of record or value elements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/ltpd/code_page.h"

namespace ltpd {

struct Response {
    int status = 200;
    std::string reason = "OK";
    std::string body;
    bool close = false; // close the connection once the response is sent
};

Response Ok();
Response Refuse(int status, std::string reason);

// "LTP/1.0 <code> <reason>\r\nContent-Length: <n>\r\n\r\n<body>". The reason is cut to one line
// without "<" (the library counts every "<" of a response as half a record).
std::string SerializeResponse(const Response& response);

// Numbers as clients read them: whole numbers as the unsigned digits of their 32-bit pattern
// (clients read no sign and keep the pattern), decimals with nine places and no exponent.
std::string FormatNumber(int32_t value);
std::string FormatDecimal(double value);

// Appends one record element, "<Tag>f1|f2|...</Tag>\r\n", field by field in wire order.
class RecordWriter {
public:
    RecordWriter(std::string& out, std::string_view tag, const CodePage& codePage);
    RecordWriter& Text(std::string_view text);
    RecordWriter& Number(int32_t value);
    RecordWriter& Decimal(double value);
    void End();

private:
    void Separate();

    std::string& m_out;
    std::string_view m_tag;
    const CodePage& m_codePage;
    bool m_first = true;
};

// "<Tag>value</Tag>\r\n" for the value answers (new ids, rights, permission). Clients convert
// these with atol, which reads a sign, so the value is written signed.
std::string ValueElement(std::string_view tag, int32_t value);

} // namespace ltpd
