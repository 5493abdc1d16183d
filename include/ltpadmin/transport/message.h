// CMessage: the byte buffer that holds one whole protocol message (the request being sent, the
// response being received). It counts its bytes and always keeps one zero byte after them, so the
// content can also be read as a zero-terminated string.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

class LTPADMIN_API CMessage {
public:
    CMessage();
    CMessage(const CMessage& other);
    CMessage& operator=(const CMessage& other);
    virtual ~CMessage();

    // Adds count bytes at the end. Returns 1, or 0 (content unchanged) when no storage was had.
    int Append(const void* bytes, ULONG count);
    // The content followed by one zero byte; null while the buffer was never filled or was emptied.
    char* GetData() const { return m_pData; }
    ULONG GetLength() const { return m_nLength; }
    // Frees the block: GetData returns null again.
    void Empty();

    // For a reader that fills the buffer in place: room for count more bytes after the content
    // (the buffer then holds a block even if nothing is added), or null when no storage was had.
    // The content is unchanged until Extend counts what was written there.
    char* Reserve(ULONG count);
    // Counts count bytes written after the content (at most what Reserve made room for), and puts
    // the zero byte after them.
    void Extend(ULONG count);

private:
    // Spare room after the zero byte keeps a long series of small appends linear in the total.
    char* m_pData;
    ULONG m_nLength;
    ULONG m_nCapacity; // bytes in the block, the zero byte included
};
