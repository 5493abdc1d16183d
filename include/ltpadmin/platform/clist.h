// CList<TYPE, ARG_TYPE>: the class library's doubly linked list, kept in append order. Its nodes
// come from blocks, the first of nBlockSize nodes and each next one twice as large (up to 1024
// nodes), so that a list of a hundred thousand records costs a few hundred allocations and its
// blocks do not sit between every few records on the heap; the blocks go when the list is emptied.
#pragma once

#include <cstddef>
#include <new>

typedef struct __POSITION* POSITION;

template <class TYPE, class ARG_TYPE = const TYPE&> class CList {
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CList(int nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;
    ~CList() { RemoveAll(); }

    int GetCount() const { return m_nCount; }
    int GetSize() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return m_pNodeHead->data; }
    const TYPE& GetHead() const { return m_pNodeHead->data; }
    TYPE& GetTail() { return m_pNodeTail->data; }
    const TYPE& GetTail() const { return m_pNodeTail->data; }

    POSITION AddHead(ARG_TYPE newElement) {
        CNode* p = NewNode(m_pNodeHead, nullptr, newElement);
        if (m_pNodeHead)
            m_pNodeHead->pPrev = p;
        else
            m_pNodeTail = p;
        m_pNodeHead = p;
        ++m_nCount;
        return reinterpret_cast<POSITION>(p);
    }
    POSITION AddTail(ARG_TYPE newElement) {
        CNode* p = NewNode(nullptr, m_pNodeTail, newElement);
        if (m_pNodeTail)
            m_pNodeTail->pNext = p;
        else
            m_pNodeHead = p;
        m_pNodeTail = p;
        ++m_nCount;
        return reinterpret_cast<POSITION>(p);
    }
    TYPE RemoveHead() {
        CNode* p = m_pNodeHead;
        TYPE value = p->data;
        m_pNodeHead = p->pNext;
        if (m_pNodeHead)
            m_pNodeHead->pPrev = nullptr;
        else
            m_pNodeTail = nullptr;
        FreeNode(p);
        return value;
    }
    TYPE RemoveTail() {
        CNode* p = m_pNodeTail;
        TYPE value = p->data;
        m_pNodeTail = p->pPrev;
        if (m_pNodeTail)
            m_pNodeTail->pNext = nullptr;
        else
            m_pNodeHead = nullptr;
        FreeNode(p);
        return value;
    }
    void RemoveAll() {
        CNode* p = m_pNodeHead;
        while (p) {
            CNode* next = p->pNext;
            p->~CNode();
            p = next;
        }
        m_pNodeHead = m_pNodeTail = nullptr;
        m_nCount = 0;
        FreeBlocks();
    }

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pNodeHead); }
    POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_pNodeTail); }
    TYPE& GetNext(POSITION& rPosition) {
        CNode* p = reinterpret_cast<CNode*>(rPosition);
        rPosition = reinterpret_cast<POSITION>(p->pNext);
        return p->data;
    }
    const TYPE& GetNext(POSITION& rPosition) const {
        const CNode* p = reinterpret_cast<const CNode*>(rPosition);
        rPosition = reinterpret_cast<POSITION>(p->pNext);
        return p->data;
    }
    TYPE& GetPrev(POSITION& rPosition) {
        CNode* p = reinterpret_cast<CNode*>(rPosition);
        rPosition = reinterpret_cast<POSITION>(p->pPrev);
        return p->data;
    }
    TYPE& GetAt(POSITION position) { return reinterpret_cast<CNode*>(position)->data; }
    const TYPE& GetAt(POSITION position) const {
        return reinterpret_cast<const CNode*>(position)->data;
    }

private:
    // A block: this header, then m_nBlockSize node slots.
    struct CBlock {
        CBlock* pNext;
    };
    static constexpr size_t kHeader =
        (sizeof(CBlock) + alignof(CNode) - 1) / alignof(CNode) * alignof(CNode);
    static constexpr int kLargestBlock = 1024;
    // An unused slot holds the next unused slot.
    static void*& NextFree(void* slot) { return *static_cast<void**>(slot); }

    CNode* NewNode(CNode* pNext, CNode* pPrev, ARG_TYPE value) {
        if (!m_pFree) {
            static_assert(sizeof(CNode) >= sizeof(void*), "a slot holds a pointer");
            // Each block twice the one before (from nBlockSize up to kLargestBlock nodes): a
            // long list sits in few blocks instead of one between every few elements.
            const int nSlots = m_pBlocks ? m_nNextBlock : m_nBlockSize;
            char* raw = static_cast<char*>(
                ::operator new(kHeader + sizeof(CNode) * static_cast<size_t>(nSlots)));
            CBlock* block = reinterpret_cast<CBlock*>(raw);
            block->pNext = m_pBlocks;
            m_pBlocks = block;
            m_nNextBlock = nSlots < kLargestBlock / 2
                               ? nSlots * 2
                               : (nSlots > kLargestBlock ? nSlots : kLargestBlock);
            for (int i = nSlots; i-- > 0;) { // the first slot is handed out first
                void* slot = raw + kHeader + sizeof(CNode) * static_cast<size_t>(i);
                NextFree(slot) = m_pFree;
                m_pFree = slot;
            }
        }
        void* slot = m_pFree;
        void* next = NextFree(slot);
        CNode* p = new (slot) CNode{pNext, pPrev, value}; // a throwing copy leaves the slot free
        m_pFree = next;
        return p;
    }
    void FreeNode(CNode* p) {
        p->~CNode();
        NextFree(p) = m_pFree;
        m_pFree = p;
        if (--m_nCount == 0)
            FreeBlocks();
    }
    void FreeBlocks() {
        while (m_pBlocks) {
            CBlock* next = m_pBlocks->pNext;
            ::operator delete(m_pBlocks);
            m_pBlocks = next;
        }
        m_pFree = nullptr;
    }

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    int m_nCount = 0;
    int m_nBlockSize;
    int m_nNextBlock = 0; // slots of the next block, once there is one
    CBlock* m_pBlocks = nullptr;
    void* m_pFree = nullptr; // unused slots of the blocks
};
