// The lead-byte table of a code page, built once from the system's ranges (GetCPInfo).
#include "ltpadmin/platform/codepage.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct LeadByteTable {
    BYTE lead[256];
};

// Every single-byte page shares this one, so that HasLeadBytes is a compare.
constexpr LeadByteTable kSingleByte{};

// Null for a page the system does not know.
const LeadByteTable* TableFor(UINT codePage) {
    static std::mutex mutex;
    static std::map<UINT, std::unique_ptr<LeadByteTable>> built; // kept for the process
    std::lock_guard<std::mutex> lock(mutex);
    auto found = built.find(codePage);
    if (found != built.end())
        return found->second ? found->second.get() : &kSingleByte;
    CPINFO info{};
    if (!GetCPInfo(codePage, &info))
        return nullptr;
    std::unique_ptr<LeadByteTable> table;
    // The ranges come in pairs, ended by a pair of zeros.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        if (!table)
            table = std::make_unique<LeadByteTable>();
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b)
            table->lead[b] = 1;
    }
    const LeadByteTable* result = table ? table.get() : &kSingleByte;
    built[codePage] = std::move(table);
    return result;
}

// 0: the process's ANSI page.
std::atomic<UINT> g_chosen{0};

} // namespace

BOOL SetProcessACP(UINT codePage) {
    if (!TableFor(codePage))
        return FALSE;
    g_chosen.store(codePage, std::memory_order_relaxed);
    return TRUE;
}

const BYTE* GetACPLeadByteTable() {
    // A scanner asks for every response: the thread keeps the last answer, without the lock.
    struct Last {
        UINT page;
        const LeadByteTable* table;
    };
    thread_local Last t_last{0, nullptr}; // nothing to destroy at thread exit
    const UINT chosen = g_chosen.load(std::memory_order_relaxed);
    const UINT page = chosen != 0 ? chosen : GetACP();
    if (t_last.table == nullptr || t_last.page != page) {
        const LeadByteTable* table = TableFor(page);
        t_last = Last{page, table ? table : &kSingleByte};
    }
    return t_last.table->lead;
}

const BYTE* GetLeadByteTable(UINT codePage) {
    const LeadByteTable* table = TableFor(codePage != 0 ? codePage : GetACP());
    return table ? table->lead : nullptr;
}

BOOL HasLeadBytes(const BYTE* pLeadByteTable) {
    return pLeadByteTable != kSingleByte.lead ? TRUE : FALSE;
}
