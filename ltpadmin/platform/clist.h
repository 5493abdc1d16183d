// CList<TYPE, ARG_TYPE>: the class library's doubly linked list, kept in append order.
#pragma once

#include <cstddef>

typedef struct __POSITION* POSITION;

template <class TYPE, class ARG_TYPE = const TYPE&> class CList {
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    CList() = default;
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
        CNode* p = new CNode{m_pNodeHead, nullptr, newElement};
        if (m_pNodeHead)
            m_pNodeHead->pPrev = p;
        else
            m_pNodeTail = p;
        m_pNodeHead = p;
        ++m_nCount;
        return reinterpret_cast<POSITION>(p);
    }
    POSITION AddTail(ARG_TYPE newElement) {
        CNode* p = new CNode{nullptr, m_pNodeTail, newElement};
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
        delete p;
        --m_nCount;
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
        delete p;
        --m_nCount;
        return value;
    }
    void RemoveAll() {
        CNode* p = m_pNodeHead;
        while (p) {
            CNode* next = p->pNext;
            delete p;
            p = next;
        }
        m_pNodeHead = m_pNodeTail = nullptr;
        m_nCount = 0;
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
    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    int m_nCount = 0;
};
