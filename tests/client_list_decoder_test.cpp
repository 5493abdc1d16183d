// A list decoded while it arrives: whatever the pieces, the records are those of the whole body.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"

namespace {

using ltp::detail::ListDecoder;
using ltp::detail::Response;

std::vector<ltp::User> Decode(const std::string& response, std::size_t body_offset,
                              const std::vector<std::size_t>& pieces, std::size_t most) {
    ListDecoder<ltp::User> decoder(ltp::detail::LeadBytesOf(1252), most);
    for (std::size_t end : pieces)
        decoder.arrived(Response{response.data(), end, body_offset}, response.size());
    return decoder.finish(Response{response.data(), response.size(), body_offset});
}

TEST(ClientListDecoder, EveryWayOfSplittingGivesTheRecordsOfTheWhole) {
    const std::string head = "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
    const std::string bodies[] = {
        "<User>a|b|c|d|e|f</User>\r\n<User>g|h</User>\r\n<User>x|||||z</User>\r\n",
        "<User>a|b</User><<User>c|d</User>\r\n<Group>g|h</Group>\r\n<User>e</User>",
        "junk<User>only|one", // cut short: the last record has no closing tag
        "<User></User>\r\n<User>|||||</User>\r\n\r\n",
        "",
    };
    for (const std::string& body : bodies) {
        const std::string response = head + body;
        const std::vector<ltp::User> whole = Decode(response, head.size(), {}, 1 << 20);
        for (std::size_t a = head.size(); a <= response.size(); ++a) {
            for (std::size_t b = a; b <= response.size(); b += 3) {
                const std::vector<ltp::User> split = Decode(response, head.size(), {a, b}, 1 << 20);
                ASSERT_EQ(split.size(), whole.size()) << body << " split at " << a << ", " << b;
                for (std::size_t i = 0; i < whole.size(); ++i)
                    EXPECT_TRUE(split[i].user_id == whole[i].user_id &&
                                split[i].text2 == whole[i].text2 &&
                                split[i].text6 == whole[i].text6)
                        << body << " split at " << a << ", " << b << ": record " << i;
            }
        }
    }
}

TEST(ClientListDecoder, ARefusalIsNoListAndTheLimitHoldsWhileArriving) {
    const std::string refusal = "LTP/1.0 404 <User>not|a|record</User>\r\n\r\n<User>x</User>";
    const std::size_t offset = refusal.find("\r\n\r\n") + 4;
    // With room for no record at all, decoding the refusal's body would pass the limit.
    ListDecoder<ltp::User> decoder(ltp::detail::LeadBytesOf(1252), 1);
    EXPECT_NO_THROW(
        decoder.arrived(Response{refusal.data(), refusal.size() - 1, offset}, refusal.size()));
    std::string body = "LTP/1.0 200 OK\r\n\r\n";
    for (int i = 0; i < 100; ++i)
        body += "<User>user" + std::to_string(i) + "|name</User>\r\n";
    EXPECT_THROW(Decode(body, 18, {body.size() / 2}, 10 * sizeof(ltp::User)), ltp::TransportError);
}

} // namespace
