#include "ltpadmin/transport/message.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const ULONG kMaxBlock = 0xFFFFFFFFu;
const ULONG kMinBlock = 64;

} // namespace

CMessage::CMessage() : m_pData(nullptr), m_nLength(0), m_nCapacity(0) {}

CMessage::CMessage(const CMessage& other) : m_pData(nullptr), m_nLength(0), m_nCapacity(0) {
    *this = other;
}

CMessage& CMessage::operator=(const CMessage& other) {
    if (this == &other)
        return *this;
    // Even a copy of an empty buffer holds a block: the zero byte alone.
    const ULONG need = other.m_nLength + 1;
    if (m_pData == nullptr || m_nCapacity < need) {
        char* block = static_cast<char*>(std::malloc(need));
        if (block == nullptr)
            throw std::bad_alloc();
        std::free(m_pData);
        m_pData = block;
        m_nCapacity = need;
    }
    if (other.m_nLength != 0)
        std::memcpy(m_pData, other.m_pData, other.m_nLength);
    m_pData[other.m_nLength] = '\0';
    m_nLength = other.m_nLength;
    return *this;
}

CMessage::~CMessage() {
    std::free(m_pData);
}

int CMessage::Append(const void* bytes, ULONG count) {
    char* room = Reserve(count);
    if (room == nullptr)
        return 0;
    if (count != 0)
        std::memcpy(room, bytes, count);
    Extend(count);
    return 1;
}

char* CMessage::Reserve(ULONG count) {
    if (count > kMaxBlock - 1 - m_nLength)
        return nullptr;
    const ULONG need = m_nLength + count + 1;
    if (m_pData == nullptr || need > m_nCapacity) {
        // Grow geometrically so that receiving a long response stays linear in its size.
        ULONG capacity = m_nCapacity > kMaxBlock / 2 ? kMaxBlock : m_nCapacity * 2;
        if (capacity < kMinBlock)
            capacity = kMinBlock;
        if (capacity < need)
            capacity = need;
        char* block = static_cast<char*>(std::realloc(m_pData, capacity));
        if (block == nullptr && capacity > need) {
            capacity = need;
            block = static_cast<char*>(std::realloc(m_pData, capacity));
        }
        if (block == nullptr)
            return nullptr;
        if (m_pData == nullptr)
            block[0] = '\0';
        m_pData = block;
        m_nCapacity = capacity;
    }
    return m_pData + m_nLength;
}

void CMessage::Extend(ULONG count) {
    m_nLength += count;
    m_pData[m_nLength] = '\0';
}

void CMessage::Empty() {
    std::free(m_pData);
    m_pData = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}
