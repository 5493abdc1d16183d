// Reading a received LTP/1.0 response in place: status check, record count, record walk, the
// twelve record decoders, value elements and the free-text body. Pure functions of the bytes given;
// nothing here allocates or knows about sockets.
#pragma once

#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/protocol/records.h"
#include "ltpadmin/protocol/text_scanner.h"

namespace ltp::detail {

// 1 when the status code after the first blank is 200 (a code too long for 32 bits never is). On
// any other code the rest of the status line (from the byte after the code's last digit to the line
// end) replaces errorText. An empty response returns 0 and leaves errorText alone.
int ParseResponse(const char* data, ULONG length, CString& errorText);

// Number of "<" in the whole response (double-byte characters stepped over), halved.
UINT GetParamCount(const char* data, ULONG length);

// Cuts one record span after another out of a list response: from the "<" that opens a record
// element up to, not including, the "<" of its closing tag.
class CRecordWalk {
public:
    CRecordWalk(const char* data, ULONG length);
    // Walks text of the code page whose lead-byte table is given instead of the process's.
    CRecordWalk(const char* data, ULONG length, const BYTE* leadBytes);
    // The next record span; never reads past the response. Past the last "<" the span is empty
    // (start at the end of the response, length 0), which every decoder reads as no element, and
    // the result is false.
    bool Next(const char*& spanStart, UINT& spanLength);
    // The "<" the walk has passed so far. Once Next has returned false, these are all of them, and
    // half of it is GetParamCount: a list can be walked and counted in one pass.
    ULONG Openings() const { return m_nOpenings; }
    // Where the walk stands: what the spans so far were found from lies before it.
    const char* Cursor() const { return m_scanner.Cursor(); }

private:
    CTextScanner m_scanner; // kept across records: the walk only moves forward
    ULONG m_nOpenings = 0;
};

// Record decoders: fill the record from the first element with the record's tag in the text.
// Return 1 when such an element was found. Every text stored is followed by a terminating zero;
// text fields longer than their array are cut to the array's width less one byte. An empty field,
// and a field the element does not carry, leave the record's text as it was.
int DecodeRecord(const char* text, UINT length, tagUser* record);
int DecodeRecord(const char* text, UINT length, tagGroup* record);
int DecodeRecord(const char* text, UINT length, tagProgram* record);
int DecodeRecord(const char* text, UINT length, tagChannel* record);
int DecodeRecord(const char* text, UINT length, tagSchedule* record);
int DecodeRecord(const char* text, UINT length, tagGlobal* record);
int DecodeRecord(const char* text, UINT length, tagLogEvent* record);
int DecodeRecord(const char* text, UINT length, tagSysInfo* record);
int DecodeRecord(const char* text, UINT length, tagTOPPrgoram* record);
int DecodeRecord(const char* text, UINT length, PROGRAMSTATISTIC* record);
int DecodeRecord(const char* text, UINT length, MTPSVR* record);
int DecodeRecord(const char* text, UINT length, PROGRAMPATH* record);

// The same for a lookup in a whole response: the first element with the record's tag is decoded
// from its own text alone, up to the "<" of its closing tag, as a list's record span is. Defined
// for the twelve record types above.
template <class T> int DecodeElement(const char* text, UINT length, T* record);

// Copies the text of the first element named tag into out when it is shorter than outSize.
// Returns 1 when the element was found (also when its text did not fit).
int GetParamIDValue(const char* text, UINT length, const char* tag, UINT tagLength, char* out,
                    UINT outSize);

// The body of an information response: past the status line, the header lines and the blank
// line that ends the head.
const char* FindInformationBody(const char* data, ULONG length);

} // namespace ltp::detail
