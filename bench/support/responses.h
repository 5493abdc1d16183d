// The bytes the benchmark peer answers with and the requests the raw client sends: the same bytes
// the library puts on the wire, formatted from the request catalogue.
#pragma once

#include <cstddef>
#include <string>

namespace ltpbench {

extern const char kUserName[];
extern const char kPassword[];

// A "Get AllUsers" response with the given number of users, fields of typical lengths.
std::string MakeUsersResponse(int users);
// Its length in bytes, without building it.
std::size_t UsersResponseLength(int users);
// "LTP/1.0 200 OK" with an empty body.
std::string MakeStatusResponse();

// The request of a bare catalogue row (no key, no body), with the benchmark's credentials.
std::string BareRequest(int row);
// The request of row 1 (AddInfomation) carrying the text.
std::string InformationRequest(const std::string& text);
// A text of the given length, printable, no line ends.
std::string MakeText(std::size_t length);

} // namespace ltpbench
