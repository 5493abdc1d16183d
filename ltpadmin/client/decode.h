// Reading a whole response into the value types: its status, its records (through the records'
// descriptions and the protocol layer's decoder and record walk), a value element.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ltpadmin/ltp/errors.h"
#include "ltpadmin/ltp/fields.h"
#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/records.h"
#include "ltpadmin/protocol/record_decoding.h"
#include "ltpadmin/protocol/response.h"

namespace ltp::detail {

// A dry response (nothing was sent) reads as a success with nothing in it: status 200, no
// records, a value of 0.

// The status code; ProtocolError when the response has none.
int StatusCode(const Response& response);
// Throws Refused for any status but 200, ProtocolError when the response has no status code.
void CheckStatus(const Response& response);

// The number in the first element named tag; ProtocolError when there is none or it is no
// 32-bit number.
std::int32_t DecodeValue(const Response& response, const char* tag, const unsigned char* lead);

// Heap bytes a text holds beyond the string itself.
inline std::size_t HeapBytes(const std::string& text) {
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

// Takes the fields of one record element into a value type, counting the heap bytes of its texts.
// Numbers are read with their sign: a negative number comes back as it went out.
template <class T> struct ValueStore {
    static constexpr bool kSigned = true;
    T& record;
    const std::vector<Field<T>>& fields;
    std::size_t heap = 0;

    void Text(std::size_t i, const CTextSpan& span) {
        // Made whole, then moved in: cheaper than assigning into the empty string.
        std::string& text = record.*fields[i].text;
        text = std::string(span.start, span.length);
        heap += HeapBytes(text);
    }
    void Whole(std::size_t i, LONG value) { record.*fields[i].integer = value; }
    void Decimal(std::size_t i, double value) { record.*fields[i].decimal = value; }
};

// Fills record from the element of its tag that the scanner reaches first; false when none.
template <class T> bool DecodeRecord(CTextScanner& scanner, T& record) {
    ValueStore<T> store{record, fields<T>()};
    return DecodeFields(scanner, DescriptionFor<T>(), store);
}

// The records of a list in order, decoded while the response still arrives (so that decoding
// overlaps the transfer) and finished once it is whole. A record is taken only when the walk has
// seen a byte past it: the records are those one walk over the whole body finds. Throws
// TransportError (limit) once the records would hold more than most bytes.
template <class T> class ListDecoder final : public BodySink {
public:
    ListDecoder(const unsigned char* lead, std::size_t most) : lead_(lead), most_(most) {}

    void arrived(const Response& so_far, std::size_t total) override {
        if (!checked_) {
            checked_ = true;
            // A refusal's body is no list; the status is read again when the response is whole.
            listing_ = Status(so_far) == 200;
            if (listing_)
                Reserve(so_far, total);
        }
        if (listing_)
            Walk(so_far, false);
    }

    std::vector<T> finish(const Response& whole) {
        if (!checked_)
            Reserve(whole, whole.length);
        Walk(whole, true);
        return std::move(records_);
    }

    // How many times bytes have been walked.
    std::size_t walks() const { return walks_; }

private:
    static int Status(const Response& response) {
        try {
            return StatusCode(response);
        } catch (const ProtocolError&) {
            return 0;
        }
    }

    // Room for every record at once, as far as the bytes so far tell (each record holds two "<"):
    // growing would move them all again.
    void Reserve(const Response& so_far, std::size_t total) {
        const std::size_t body = so_far.length - so_far.body_offset;
        if (body == 0)
            return;
        const double per_byte =
            GetParamCount(so_far.data + so_far.body_offset, static_cast<ULONG>(body)) /
            static_cast<double>(body);
        const auto expected = static_cast<std::size_t>(
            per_byte * static_cast<double>(total - so_far.body_offset) * 1.05 + 1);
        records_.reserve(std::min(expected, most_ / sizeof(T) + 1));
    }

    void Walk(const Response& response, bool whole) {
        const char* body = response.data + response.body_offset;
        const std::size_t available = response.length - response.body_offset;
        // Bytes that finished no record are walked again only once at least as many more have
        // come: a record as long as the response (or bytes without a "<") is then read a few
        // times, not once per receive.
        if (!whole && available - done_ < 2 * unfinished_)
            return;
        ++walks_;
        WalkAvailable(body, available, whole);
        unfinished_ = available - done_;
    }

    void WalkAvailable(const char* body, std::size_t available, bool whole) {
        for (;;) {
            const Step step = TakeAt(body, available, whole);
            if (step == Step::taken)
                continue;
            if (step == Step::wait)
                return;
            // Any other shape: one step of the walk itself.
            CRecordWalk walk(body + done_, static_cast<ULONG>(available - done_), lead_);
            const char* span = nullptr;
            UINT span_length = 0;
            if (!walk.Next(span, span_length))
                return;
            const auto cursor = static_cast<std::size_t>(walk.Cursor() - body);
            if (!whole && cursor >= available)
                return; // the record may go on in bytes still to come
            Take(span, span_length);
            done_ = cursor;
        }
    }

    enum class Step { taken, wait, other };

    // The usual shape, "<Tag>fields<" with no second "<" after that one, read in one pass: the
    // walk's span of it ends at that "<", and the walk steps past it (CRecordWalk::Next).
    Step TakeAt(const char* body, std::size_t available, bool whole) {
        const char* end = body + available;
        CTextScanner scanner(body + done_, static_cast<UINT>(available - done_), lead_);
        scanner.SkipTo('<');
        if (scanner.AtEnd())
            return Step::wait; // no further record in the bytes so far
        T& record = records_.emplace_back();
        ValueStore<T> store{record, fields<T>()};
        if (!DecodeElementAt(scanner, DescriptionFor<T>(), store)) {
            records_.pop_back();
            return Step::other;
        }
        const bool closed = !scanner.AtEnd();
        const char* past = scanner.Cursor() + 1;
        if (closed && (past < end ? *past != '<' : whole)) {
            Account(store.heap);
            done_ = static_cast<std::size_t>(past - body);
            return Step::taken;
        }
        records_.pop_back();
        const bool may_go_on = !closed || past == end;
        return may_go_on && !whole ? Step::wait : Step::other;
    }

    void Take(const char* span, UINT span_length) {
        CTextScanner scanner(span, span_length, lead_);
        T& record = records_.emplace_back();
        ValueStore<T> store{record, fields<T>()};
        if (!DecodeFields(scanner, DescriptionFor<T>(), store)) {
            records_.pop_back();
            return;
        }
        Account(store.heap);
    }

    void Account(std::size_t heap) {
        bytes_ += sizeof(T) + heap;
        if (bytes_ > most_)
            throw TransportError(TransportError::Kind::limit, "",
                                 "the records of the response pass the limit of " +
                                     std::to_string(most_) + " bytes");
    }

    const unsigned char* lead_;
    std::size_t most_;
    std::vector<T> records_;
    std::size_t done_ = 0;       // body bytes walked and taken
    std::size_t unfinished_ = 0; // body bytes after done_ when last walked
    std::size_t walks_ = 0;
    std::size_t bytes_ = 0;
    bool checked_ = false;
    bool listing_ = false;
};

// The first record of the body; ProtocolError when it holds none.
template <class T> T DecodeFirst(const Response& response, const unsigned char* lead) {
    if (response.dry)
        return T{};
    CTextScanner scanner(response.data + response.body_offset,
                         static_cast<UINT>(response.length - response.body_offset), lead);
    T record;
    if (!DecodeRecord(scanner, record))
        throw ProtocolError(std::string("the response holds no ") + record_name<T>() + " record");
    return record;
}

} // namespace ltp::detail
