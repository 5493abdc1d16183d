// A result list that owns its records, as a caller of the library must: every record appended by
// an operation is deleted with the list.
#pragma once

#include <vector>

#include "ltpadmin/ltpadmin.h"

namespace ltptest {

template <class T> class OwnedList {
public:
    OwnedList() = default;
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;
    ~OwnedList() { Clear(); }

    CList<T*, T*>* List() { return &m_list; }
    void Clear() {
        while (!m_list.IsEmpty())
            delete m_list.RemoveHead();
    }
    std::vector<const T*> Items() const {
        std::vector<const T*> items;
        for (POSITION pos = m_list.GetHeadPosition(); pos != nullptr;)
            items.push_back(m_list.GetNext(pos));
        return items;
    }

private:
    CList<T*, T*> m_list;
};

} // namespace ltptest
