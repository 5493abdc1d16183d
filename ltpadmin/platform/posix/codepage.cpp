#include "ltpadmin/platform/codepage.h"

#include <atomic>

namespace {

struct LeadByteTable {
    BYTE lead[256];
};

constexpr LeadByteTable makeTable(BYTE lo1, BYTE hi1, BYTE lo2, BYTE hi2) {
    LeadByteTable t{};
    for (int b = 0; b < 256; ++b)
        t.lead[b] = ((b >= lo1 && b <= hi1) || (b >= lo2 && b <= hi2)) ? 1 : 0;
    return t;
}

constexpr LeadByteTable kSingleByte{};
// Shift-JIS: 0x81-0x9F and 0xE0-0xFC open a character.
constexpr LeadByteTable kJapanese = makeTable(0x81, 0x9F, 0xE0, 0xFC);
// GBK, Unified Hangul Code and Big5 all open characters with 0x81-0xFE.
constexpr LeadByteTable kWide = makeTable(0x81, 0xFE, 0x81, 0xFE);

const LeadByteTable* tableFor(UINT codePage) {
    switch (codePage) {
        case 1252:
            return &kSingleByte;
        case 932:
            return &kJapanese;
        case 936:
        case 949:
        case 950:
            return &kWide;
        default:
            return nullptr;
    }
}

// Like the system setting on Windows, the ANSI code page is one value for the whole process.
std::atomic<UINT> g_acp{1252};

} // namespace

UINT GetACP() {
    return g_acp.load(std::memory_order_relaxed);
}

BOOL IsValidCodePage(UINT codePage) {
    return tableFor(codePage) ? TRUE : FALSE;
}

BOOL SetProcessACP(UINT codePage) {
    if (!IsValidCodePage(codePage))
        return FALSE;
    g_acp.store(codePage, std::memory_order_relaxed);
    return TRUE;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar) {
    if (codePage == 0)
        codePage = GetACP();
    const LeadByteTable* t = tableFor(codePage);
    return t && t->lead[testChar] ? TRUE : FALSE;
}

BOOL IsDBCSLeadByte(BYTE testChar) {
    return GetACPLeadByteTable()[testChar] ? TRUE : FALSE;
}

const BYTE* GetACPLeadByteTable() {
    return tableFor(GetACP())->lead;
}

const BYTE* GetLeadByteTable(UINT codePage) {
    const LeadByteTable* t = tableFor(codePage != 0 ? codePage : GetACP());
    return t ? t->lead : nullptr;
}

BOOL HasLeadBytes(const BYTE* pLeadByteTable) {
    return pLeadByteTable != kSingleByte.lead ? TRUE : FALSE;
}
