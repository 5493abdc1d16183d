// A list decoded while it arrives: whatever the pieces, the records are those of the whole body.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ltpadmin/admin/cycle.h"
#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"
#include "ltpadmin/platform/codepage.h"
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
                      UINT code_page = 1252, std::vector<T> reuse = {}) {
    ListDecoder<T> decoder(Lead(code_page), most, std::move(reuse));
    for (std::size_t end : pieces)
        decoder.arrived(Response{response.data(), end, body_offset}, response.size());
    return decoder.finish(Response{response.data(), response.size(), body_offset});
}

// The same list walked record by record, as the connection feeds a walk: after each piece the
// bytes the decoder releases are dropped, and the next piece starts after them (a fresh copy, so
// that a pointer kept into dropped bytes reads garbage).
template <class T>
std::vector<T> DecodeEach(const std::string& response, std::size_t body_offset,
                          const std::vector<std::size_t>& pieces, std::size_t most,
                          UINT code_page = 1252) {
    std::vector<T> records;
    const std::function<void(const T&)> each = [&](const T& record) { records.push_back(record); };
    ListDecoder<T> decoder(Lead(code_page), most, each);
    std::size_t dropped = 0;
    for (std::size_t end : pieces) {
        const std::string held = response.substr(dropped, end - dropped);
        decoder.arrived(
            Response{held.data(), held.size(), body_offset - std::min(body_offset, dropped)},
            response.size() - dropped);
        dropped += decoder.release();
    }
    const std::string rest = response.substr(dropped);
    decoder.finish_each(
        Response{rest.data(), rest.size(), body_offset - std::min(body_offset, dropped)});
    return records;
}

template <class T>
void ExpectEveryWayOfSplittingGivesTheWalk(const std::string& body, UINT code_page = 1252) {
    const std::string head = "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
    const std::string response = head + body;
    const std::vector<T> expected =
        ltptest::WalkWhole<T>(body.data(), body.size(), Lead(code_page));
    for (std::size_t a = head.size(); a <= response.size(); ++a) {
        for (std::size_t b = a; b <= response.size(); b += 3) {
            // Held whole, and walked with what was walked dropped.
            for (const bool walked : {false, true}) {
                const std::vector<T> split =
                    walked ? DecodeEach<T>(response, head.size(), {a, b}, 1 << 20, code_page)
                           : Decode<T>(response, head.size(), {a, b}, 1 << 20, code_page);
                ASSERT_EQ(split.size(), expected.size())
                    << body << " split at " << a << ", " << b << (walked ? " walked" : "");
                for (std::size_t i = 0; i < expected.size(); ++i)
                    EXPECT_TRUE(ltptest::SameFields(split[i], expected[i]))
                        << body << " split at " << a << ", " << b << (walked ? " walked" : "")
                        << ": record " << i;
            }
        }
        // Into a caller's records, fewer or more than the list's, every field set: nothing of
        // theirs shows through.
        for (const std::size_t reused : {std::size_t(1), expected.size() + 2}) {
            std::vector<T> old(reused);
            for (T& record : old)
                for (const ltp::Field<T>& f : ltp::fields<T>()) {
                    if (f.text)
                        record.*f.text = std::string(40, 'o');
                    else if (f.integer)
                        record.*f.integer = 99;
                    else
                        record.*f.decimal = 99;
                }
            const std::vector<T> into =
                Decode<T>(response, head.size(), {a}, 1 << 20, code_page, std::move(old));
            ASSERT_EQ(into.size(), expected.size()) << body << " into " << reused;
            for (std::size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(ltptest::SameFields(into[i], expected[i]))
                    << body << " split at " << a << " into " << reused << ": record " << i;
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

// Whether a value holds what CLTPCreater's record holds, field by field in wire order.
template <class T>
bool SameAsRecord(const T& value, const typename ltp::detail::RecordOf<T>::type& record) {
    const ltp::detail::RecordDescription& description = ltp::detail::DescriptionFor<T>();
    const auto* base = reinterpret_cast<const char*>(&record);
    for (std::size_t i = 0; i < description.count; ++i) {
        const ltp::Field<T>& f = ltp::fields<T>()[i];
        const char* at = base + description.offsets[i];
        bool same = false;
        if (f.text) {
            same = value.*f.text == at;
        } else if (f.integer) {
            LONG number = 0;
            std::memcpy(&number, at, sizeof number);
            same = value.*f.integer == number;
        } else {
            double number = 0;
            std::memcpy(&number, at, sizeof number);
            same = value.*f.decimal == number;
        }
        if (!same)
            return false;
    }
    return true;
}

struct Faces {
    const char* what;
    std::string body;
    UINT code_page;
};

const std::string kHead = "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";

// The list CLTPCreater makes of a whole response, in the process's code page.
template <class T>
std::vector<T> AdminList(const std::string& response, UINT code_page, std::size_t most,
                         int& result) {
    SetProcessACP(code_page);
    CList<T*, T*> list;
    ltp::detail::form::List<T> form{&list, most};
    result = form.Take(ltp::detail::CatalogueRow(ltp::detail::Row::GetAllUsers), response.data(),
                       static_cast<ULONG>(response.size()));
    std::vector<T> records;
    while (!list.IsEmpty()) {
        records.push_back(*list.GetHead());
        delete list.RemoveHead();
    }
    SetProcessACP(1252);
    return records;
}

template <class T> void ExpectBothFacesList(const Faces& c) {
    using Record = typename ltp::detail::RecordOf<T>::type;
    const std::string response = kHead + c.body;
    int result = 0;
    const std::vector<Record> admin =
        AdminList<Record>(response, c.code_page, std::size_t(1) << 20, result);
    ASSERT_EQ(result, 1) << c.what;
    for (std::size_t a = kHead.size(); a <= response.size(); ++a) {
        for (const bool walked : {false, true}) {
            const std::vector<T> modern =
                walked
                    ? DecodeEach<T>(response, kHead.size(), {a}, std::size_t(1) << 20, c.code_page)
                    : Decode<T>(response, kHead.size(), {a, a}, std::size_t(1) << 20, c.code_page);
            ASSERT_EQ(modern.size(), admin.size()) << c.what << ", split at " << a;
            for (std::size_t i = 0; i < admin.size(); ++i)
                EXPECT_TRUE(SameAsRecord(modern[i], admin[i]))
                    << c.what << ", split at " << a << (walked ? " walked" : "") << ": record "
                    << i;
        }
    }
}

// The record a lookup gives, and the first record of a list as the system information reads it.
template <class T> void ExpectBothFacesLookUp(const Faces& c) {
    using Record = typename ltp::detail::RecordOf<T>::type;
    const std::string response = kHead + c.body;
    const ltp::detail::Response whole{response.data(), response.size(), kHead.size()};
    SetProcessACP(c.code_page);
    Record looked_up{};
    ltp::detail::form::Lookup<Record>{&looked_up}.Take(
        ltp::detail::CatalogueRow(ltp::detail::Row::FindUser), response.data(),
        static_cast<ULONG>(response.size()));
    Record first{};
    const int first_result = ltp::detail::form::FirstRecord<Record>{&first}.Take(
        ltp::detail::CatalogueRow(ltp::detail::Row::GetSysInfo), response.data(),
        static_cast<ULONG>(response.size()));
    SetProcessACP(1252);
    try {
        EXPECT_TRUE(SameAsRecord(ltp::detail::DecodeLookup<T>(whole, Lead(c.code_page)), looked_up))
            << c.what;
    } catch (const ltp::ProtocolError&) {
        EXPECT_TRUE(SameAsRecord(T{}, looked_up)) << c.what << ": only a missing element throws";
    }
    try {
        EXPECT_TRUE(SameAsRecord(ltp::detail::DecodeFirst<T>(whole, Lead(c.code_page)), first))
            << c.what;
        EXPECT_EQ(first_result, 1) << c.what;
    } catch (const ltp::ProtocolError&) {
        EXPECT_TRUE(first_result == 0 || SameAsRecord(T{}, first)) << c.what;
    }
}

TEST(ClientListDecoder, BothFacesReadTheSameRecordsFromTheSameBytes) {
    const Faces users[] = {
        {"short", "<User>u|n</User>\r\n<User>v</User>\r\n", 1252},
        {"whole", "<User>a|b|c|d|e|f</User>\r\n<User>g|h|i|j|k|l</User>\r\n", 1252},
        {"extra fields", "<User>a|b|c|d|e|f|g|h</User>\r\n<User>i|j|k|l|m|n|o</User>", 1252},
        {"<<", "<User>a|b</User><<User>c|d</User>\r\n<User>e</User>", 1252},
        {"foreign tag", "<Group>g|h</Group>\r\n<User>a|b</User>\r\n<Users>x</Users>", 1252},
        {"stray <", "<<<<<User>a</User><<<", 1252},
        {"no closing tag", "junk<User>only|one", 1252},
        {"a < inside", "<User>a<b|c</User>\r\n<USER>d|e</user>", 1252},
        {"trail bytes | and <", "<User>\x81|a|\x81<b</User>\r\n<User>c\x81|</User>\r\n<User>d\x81<",
         932},
        {"no record", "", 1252},
    };
    for (const Faces& c : users) {
        ExpectBothFacesList<ltp::User>(c);
        ExpectBothFacesLookUp<ltp::User>(c);
    }
    // Numbers and dates (unsigned: CLTPCreater reads digits only).
    ExpectBothFacesList<ltp::Schedule>(
        {"numbers", "<Schedule>1|two|3|4.5|46000.25|7</Schedule>\r\n<Schedule>8|x|9|1|2|10<<Sch",
         1252});
}

TEST(ClientListDecoder, AFloodOfOpeningBracketsPassesTheLimitInBothFaces) {
    const std::string response = kHead + std::string(std::size_t(1) << 20, '<');
    const std::size_t most = std::size_t(16) << 20;
    int result = 0;
    EXPECT_TRUE(AdminList<tagProgram>(response, 1252, most, result).empty());
    EXPECT_EQ(result, ltp::detail::form::kOverLimit);
    EXPECT_THROW(Decode<ltp::Program>(response, kHead.size(), {response.size() / 2}, most),
                 ltp::TransportError);
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
