// Reading a whole response into the value types: its status, its records (through the records'
// descriptions and the protocol layer's decoder and record walk), a value element.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ltpadmin/ltp/errors.h"
#include "ltpadmin/ltp/fields.h"
#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/records.h"
#include "ltpadmin/protocol/record_decoding.h"
#include "ltpadmin/protocol/record_list.h"
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
        // A reused text takes the bytes into its own room; an empty one is made whole, then moved
        // in, which is cheaper than assigning into the empty string.
        std::string& text = record.*fields[i].text;
        if (text.capacity() >= span.length)
            text.assign(span.start, span.length);
        else
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
// seen a byte past it: the records are those of WalkList over the whole response, the ones
// CLTPCreater's list gives. Throws TransportError (limit) once the records would hold more than
// most bytes.
// A walk (constructed with each) holds one record back instead of the list, since only the whole
// response tells whether the last span is a record, and hands every other record to each as soon
// as the next one is settled; it releases the bytes it has walked, so that the connection holds
// only the record under way. There most bounds one record.
template <class T> class ListDecoder final : public BodySink {
public:
    // Room reserved beyond the records the first bytes promise: their records may run shorter
    // than the rest, and growing the vector would move every record again.
    static constexpr double kReserveSlack = 1.05;
    // Bytes that finished no record are walked again only once this many times as many more have
    // come: a record as long as the response is then read a few times, not once per receive.
    static constexpr std::size_t kRewalkGrowth = 2;

    ListDecoder(const unsigned char* lead, std::size_t most) : lead_(lead), most_(most) {}
    // Decodes into the records of reuse, whose texts keep their room, and then into new ones.
    ListDecoder(const unsigned char* lead, std::size_t most, std::vector<T>&& reuse)
        : lead_(lead), most_(most), records_(std::move(reuse)) {}
    // A walk: each sees the records in order (each must outlive the decoder).
    ListDecoder(const unsigned char* lead, std::size_t most,
                const std::function<void(const T&)>& each)
        : lead_(lead), most_(most), each_(&each) {
        records_.reserve(2);
    }

    bool streams() const override { return each_ != nullptr; }

    // A walk no longer needs the bytes it has walked once the status said the body is a list.
    std::size_t release() override {
        if (each_ == nullptr || !listing_)
            return 0;
        const std::size_t walked = done_;
        released_ += walked;
        done_ = 0;
        return walked;
    }
    // Bytes released so far: when some were, the status was 200 and its line is gone.
    std::size_t released() const { return released_; }

    void arrived(const Response& so_far, std::size_t total) override {
        if (!checked_) {
            checked_ = true;
            // A refusal's body is no list; the status is read again when the response is whole.
            listing_ = Status(so_far) == 200;
            if (listing_ && each_ == nullptr)
                Reserve(so_far, total);
        }
        if (listing_)
            Walk(so_far, false);
    }

    std::vector<T> finish(const Response& whole) {
        if (!checked_ && each_ == nullptr)
            Reserve(whole, whole.length);
        Walk(whole, true);
        if (tally_.DropLast())
            Unmake();
        for (ULONG i = tally_.Blanks(); i != 0; --i) {
            Make();
            Account(0);
        }
        records_.resize(used_);
        return std::move(records_);
    }

    // The end of a walk, from what the connection still holds: the record held back unless the
    // count says the last span was none, then the blank records the count adds.
    void finish_each(const Response& rest) {
        Walk(rest, true);
        if (tally_.DropLast())
            Unmake();
        if (used_ != 0)
            (*each_)(records_[0]);
        used_ = 0;
        const T blank{};
        for (ULONG i = tally_.Blanks(); i != 0; --i) {
            Account(0);
            (*each_)(blank);
        }
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
            per_byte * static_cast<double>(total - so_far.body_offset) * kReserveSlack + 1);
        records_.reserve(std::min(expected, most_ / sizeof(T) + 1));
    }

    void Walk(const Response& response, bool whole) {
        // The walk starts at the status line, as CLTPCreater's does.
        const char* body = response.data;
        const std::size_t available = response.length;
        if (!whole && available - done_ < kRewalkGrowth * unfinished_)
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
            tally_.Found(walk.Openings());
            Take(span, span_length);
            done_ = cursor;
            Settle();
        }
    }

    enum class Step { taken, wait, other };

    // The usual shape, "<Tag>fields<" with no second "<" after that one, read in one pass: the
    // walk's span of it ends at that "<", and the walk steps past it (CRecordWalk::Next).
    Step TakeAt(const char* body, std::size_t available, bool whole) {
        const char* end = body + available;
        CTextScanner scanner(body + done_, static_cast<UINT>(available - done_), lead_);
        scanner.SkipTo('<');
        if (scanner.AtEnd()) {
            if (each_ != nullptr)
                SkipText(body, available);
            return Step::wait; // no further record in the bytes so far
        }
        T& record = Make();
        ValueStore<T> store{record, fields<T>()};
        if (!DecodeElementAt(scanner, DescriptionFor<T>(), store)) {
            Unmake();
            return Step::other;
        }
        const bool closed = !scanner.AtEnd();
        const char* past = scanner.Cursor() + 1;
        if (closed && (past < end ? *past != '<' : whole)) {
            tally_.Found(2); // the open tag's "<" and the closing tag's
            Account(store.heap);
            done_ = static_cast<std::size_t>(past - body);
            Settle();
            return Step::taken;
        }
        Unmake();
        const bool may_go_on = !closed || past == end;
        return may_go_on && !whole ? Step::wait : Step::other;
    }

    void Take(const char* span, UINT span_length) {
        CTextScanner scanner(span, span_length, lead_);
        T& record = Make();
        ValueStore<T> store{record, fields<T>()};
        DecodeFields(scanner, DescriptionFor<T>(), store); // without the element: a blank record
        Account(store.heap);
    }

    // The next record, blank: a reused one is emptied with its texts' room kept.
    T& Make() {
        if (used_ == records_.size()) {
            ++used_;
            return records_.emplace_back();
        }
        T& record = records_[used_++];
        for (const Field<T>& f : fields<T>()) {
            if (f.text)
                (record.*f.text).clear();
            else if (f.integer)
                record.*f.integer = 0;
            else
                record.*f.decimal = 0;
        }
        return record;
    }
    void Unmake() { --used_; }

    // A walk hands on the record before the one just taken: that one is settled.
    void Settle() {
        if (each_ == nullptr || used_ < 2)
            return;
        (*each_)(records_[0]);
        std::swap(records_[0], records_[1]);
        used_ = 1;
    }

    // A walk need not hold text before the next "<", which only decides where characters start:
    // done_ moves to the last character boundary of the bytes so far.
    void SkipText(const char* body, std::size_t available) {
        std::size_t at = done_;
        while (at < available) {
            if (!lead_[static_cast<unsigned char>(body[at])])
                ++at;
            else if (available - at >= 2)
                at += 2;
            else
                break;
        }
        done_ = at;
    }

    void Account(std::size_t heap) {
        if (each_ != nullptr)
            bytes_ = 0; // a walk holds one record at a time
        bytes_ += sizeof(T) + heap;
        if (bytes_ > most_)
            throw TransportError(TransportError::Kind::limit, "",
                                 "the records of the response pass the limit of " +
                                     std::to_string(most_) + " bytes");
    }

    const unsigned char* lead_;
    std::size_t most_;
    std::vector<T> records_;
    std::size_t used_ = 0; // records_ made so far; those after are reused ones not yet reached
    CListTally tally_;
    std::size_t done_ = 0;       // response bytes walked and taken
    std::size_t unfinished_ = 0; // response bytes after done_ when last walked
    std::size_t walks_ = 0;
    std::size_t bytes_ = 0;
    bool checked_ = false;
    bool listing_ = false;
    const std::function<void(const T&)>* each_ = nullptr; // a walk's callback
    std::size_t released_ = 0;
};

// The record a lookup asks for: the first element of its tag, cut where its closing tag starts, as
// CLTPCreater's lookup reads it; ProtocolError when the response holds none.
template <class T> T DecodeLookup(const Response& response, const unsigned char* lead) {
    if (response.dry)
        return T{};
    const RecordDescription& description = DescriptionFor<T>();
    UINT length = 0;
    T record;
    if (LookupSpan(response.data, static_cast<UINT>(response.length), lead, description.tag,
                   static_cast<UINT>(description.tagLength), length)) {
        CTextScanner scanner(response.data, length, lead);
        if (DecodeRecord(scanner, record))
            return record;
    }
    throw ProtocolError(std::string("the response holds no ") + record_name<T>() + " record");
}

// The first record of a list walk, as CLTPCreater's system information reads it; ProtocolError
// when the response counts no record or its first span holds no element of the tag.
template <class T> T DecodeFirst(const Response& response, const unsigned char* lead) {
    if (response.dry)
        return T{};
    const char* span = nullptr;
    UINT length = 0;
    T record;
    if (FirstRecordSpan(response.data, static_cast<ULONG>(response.length), lead, span, length)) {
        CTextScanner scanner(span, length, lead);
        if (DecodeRecord(scanner, record))
            return record;
    }
    throw ProtocolError(std::string("the response holds no ") + record_name<T>() + " record");
}

} // namespace ltp::detail
