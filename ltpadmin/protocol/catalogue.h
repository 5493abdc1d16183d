// The catalogue of the 66 LTP/1.0 requests: the one place that holds the wire text of requests.
// Each row carries printf templates that the administration interface fills with CString::Format.
#pragma once

#include <cstddef>

namespace ltp {

// What follows the blank line of a request.
enum class BodyKind {
    None,   // nothing
    Key,    // one line of key elements, part of headTemplate; no Content-Length
    Record, // a record form, counted by Content-Length
    Query,  // a statistics query, counted by Content-Length
    Text,   // the caller's text as it is, counted by Content-Length (row 1)
};

// What a successful response carries.
enum class ResponseKind {
    Status,   // nothing is read
    Records,  // record elements tagged responseTag (one or many)
    Value,    // one value element named responseTag
    FreeText, // the body as it is (row 2)
};

struct CommandRow {
    int number;              // 1 to 66
    const char* verb;        // "Get"
    const char* object;      // "AllUsers"
    const char* requestLine; // "Get  AllUsers  LTP/1.0\r\n", blanks as sent
    bool hasContentLength;
    BodyKind body;
    // Key rows: request line, the two header lines, the blank line and the key line; filled with
    // the user name, the password, then the keys. Counted rows: the same head with
    // "Content-Length: %d\r\n" before the blank line, filled with user, password, body length.
    // Bare rows: the head alone.
    const char* headTemplate;
    // Counted rows: the body's template (record form, query form, or "%s" for the text of row 1);
    // Key rows: the key line alone (also contained in headTemplate); otherwise nullptr.
    const char* bodyTemplate;
    ResponseKind response;
    const char* responseTag; // record tag or value element name; nullptr otherwise
};

constexpr int kCommandCount = 66;

// The row with the given number (1 to 66); any other number gives an empty row numbered 0.
const CommandRow& Command(int number);
// The row whose verb and object match exactly, or nullptr. For servers that read requests.
const CommandRow* FindCommand(const char* verb, size_t verbLength, const char* object,
                              size_t objectLength);

} // namespace ltp
