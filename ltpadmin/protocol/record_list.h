// Which records a list response holds, the same for both faces: the spans of one record walk in
// order, each decoded on its own (a span without the record's element is a blank record); the last
// span only when the count of "<" (GetParamCount) says it is a record; then one blank record for
// every counted record the walk found no span for (stray "<").
#pragma once

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/protocol/response.h"

namespace ltp::detail {

// Counts along a record walk, which may be done in pieces; Found is told of each span with the
// "<" the walk passed for it (CRecordWalk::Openings), once the span is settled.
class CListTally {
public:
    void Found(ULONG openings) {
        m_nOpenings += openings;
        ++m_nFound;
    }
    // Once the whole response is walked: whether the last span found is no record (it passed the
    // one "<" that opened it), and how many blank records follow the spans.
    bool DropLast() const { return m_nFound > Count(); }
    ULONG Blanks() const { return m_nFound < Count() ? Count() - m_nFound : 0; }

private:
    ULONG Count() const { return m_nOpenings / 2; }

    ULONG m_nOpenings = 0;
    ULONG m_nFound = 0;
};

// Walks a whole response for a list. visit.Span(start, length) takes a span as soon as the walk
// cuts it, visit.DropLast() takes back the last one, visit.Blank() adds a blank record; Span and
// Blank return false to stop the walk (a limit), and then WalkList returns false.
template <class Visit>
bool WalkList(const char* data, ULONG length, const BYTE* leadBytes, Visit& visit) {
    CRecordWalk walk(data, length, leadBytes);
    CListTally tally;
    ULONG before = 0;
    const char* span = nullptr;
    UINT spanLength = 0;
    while (walk.Next(span, spanLength)) {
        tally.Found(walk.Openings() - before);
        before = walk.Openings();
        if (!visit.Span(span, spanLength))
            return false;
    }
    if (tally.DropLast())
        visit.DropLast();
    for (ULONG i = tally.Blanks(); i != 0; --i)
        if (!visit.Blank())
            return false;
    return true;
}

// The first record of a response, as a lookup of one record reads it: false when the response
// counts no record; otherwise the first span of the walk.
bool FirstRecordSpan(const char* data, ULONG length, const BYTE* leadBytes, const char*& start,
                     UINT& spanLength);

// The text a lookup decodes its record from: from the start of text up to, not including, the
// "<" after the open tag of the first element with tag, so that the element ends where a list's
// record span would (a short element takes nothing of what follows it). False when there is none.
bool LookupSpan(const char* text, UINT length, const BYTE* leadBytes, const char* tag,
                UINT tagLength, UINT& spanLength);

} // namespace ltp::detail
