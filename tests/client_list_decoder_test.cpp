// A list decoded while it arrives: whatever the pieces, the records are those of the whole body.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"
#include "support/list_reference.h"

namespace {

using ltp::detail::ListDecoder;
using ltp::detail::Response;

const unsigned char* Lead(UINT code_page = 1252) {
    return ltp::detail::LeadBytesOf(code_page);
}

template <class T>
std::vector<T> Decode(const std::string& response, std::size_t body_offset,
                      const std::vector<std::size_t>& pieces, std::size_t most,
                      UINT code_page = 1252) {
    ListDecoder<T> decoder(Lead(code_page), most);
    for (std::size_t end : pieces)
        decoder.arrived(Response{response.data(), end, body_offset}, response.size());
    return decoder.finish(Response{response.data(), response.size(), body_offset});
}

template <class T>
void ExpectEveryWayOfSplittingGivesTheWalk(const std::string& body, UINT code_page = 1252) {
    const std::string head = "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
    const std::string response = head + body;
    const std::vector<T> expected =
        ltptest::WalkWhole<T>(body.data(), body.size(), Lead(code_page));
    for (std::size_t a = head.size(); a <= response.size(); ++a) {
        for (std::size_t b = a; b <= response.size(); b += 3) {
            const std::vector<T> split =
                Decode<T>(response, head.size(), {a, b}, 1 << 20, code_page);
            ASSERT_EQ(split.size(), expected.size()) << body << " split at " << a << ", " << b;
            for (std::size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(ltptest::SameFields(split[i], expected[i]))
                    << body << " split at " << a << ", " << b << ": record " << i;
        }
    }
}

TEST(ClientListDecoder, EveryWayOfSplittingGivesTheRecordsOfOneWalk) {
    const char* const users[] = {
        "<User>a|b|c|d|e|f</User>\r\n<User>g|h</User>\r\n<User>x|||||z</User>\r\n",
        "<User>a|b</User><<User>c|d</User>\r\n<Group>g|h</Group>\r\n<User>e</User>",
        "junk<User>only|one", // cut short: the last record has no closing tag
        "<User></User>\r\n<User>|||||</User>\r\n\r\n",
        "",
        // A "<" inside a record ends its span; the tag in another case, with a blank, or longer.
        "<User>a<b|c</User>\r\n<USER>d|e</user>\r\n<User "
        ">f</User><Users>g</Users>\n<User>h|i</User>",
        "<User>a|b|c|d|e|f|g|h</User><User>i</User><",
    };
    for (const char* body : users)
        ExpectEveryWayOfSplittingGivesTheWalk<ltp::User>(body);
    // Numbers and dates, signed, and a number last.
    ExpectEveryWayOfSplittingGivesTheWalk<ltp::Schedule>(
        "<Schedule>1|two|3|4.5|46000.25|7</Schedule>\r\n<Schedule>-8|x|-9|1|2|10<<Schedule>11"
        "</Schedule>\r\n<Schedule>12|y|</Schedule>\r\n<Schedule>13|z|1|2|3|45");
    // Double-byte text whose trail bytes are "|" and "<": neither ends a field there, nor the
    // body's last record.
    ExpectEveryWayOfSplittingGivesTheWalk<ltp::User>(
        "<User>\x81|a|\x81<b</User>\r\n<User>c\x81|</User>\r\n<User>d\x81<", 932);
}

TEST(ClientListDecoder, ARecordAsLongAsTheResponseIsNotReadAgainAtEveryReceive) {
    const std::string head = "LTP/1.0 200 OK\r\n\r\n";
    const std::string text(1 << 20, 'x');
    for (const std::string& body : {"<User>" + text + "</User>\r\n", text}) {
        const std::string response = head + body;
        ListDecoder<ltp::User> decoder(Lead(), std::size_t(1) << 30);
        for (std::size_t end = head.size() + 1024; end < response.size(); end += 1024)
            decoder.arrived(Response{response.data(), end, head.size()}, response.size());
        const auto users = decoder.finish(Response{response.data(), response.size(), head.size()});
        EXPECT_EQ(users.size(), body == text ? 0u : 1u);
        EXPECT_LE(decoder.walks(), 24u) << "1,024 pieces";
    }
}

TEST(ClientListDecoder, ARefusalIsNoListAndTheLimitHoldsWhileArriving) {
    const std::string refusal = "LTP/1.0 404 <User>not|a|record</User>\r\n\r\n<User>x</User>";
    const std::size_t offset = refusal.find("\r\n\r\n") + 4;
    // With room for no record at all, decoding the refusal's body would pass the limit.
    ListDecoder<ltp::User> decoder(Lead(), 1);
    EXPECT_NO_THROW(
        decoder.arrived(Response{refusal.data(), refusal.size() - 1, offset}, refusal.size()));
    std::string body = "LTP/1.0 200 OK\r\n\r\n";
    for (int i = 0; i < 100; ++i)
        body += "<User>user" + std::to_string(i) + "|name</User>\r\n";
    EXPECT_THROW(Decode<ltp::User>(body, 18, {body.size() / 2}, 10 * sizeof(ltp::User)),
                 ltp::TransportError);
}

} // namespace
