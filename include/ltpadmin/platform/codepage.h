// The process's ANSI code page and the lead-byte test of its double-byte characters.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"

#if defined(_WIN32)
// GetACP, IsValidCodePage, IsDBCSLeadByteEx and IsDBCSLeadByte are the system's. Test hook: the
// code page whose lead bytes GetACPLeadByteTable gives from now on (the process's ANSI page until
// it is called), since a process cannot change its own. FALSE, changing nothing, for a page the
// system lacks.
LTPADMIN_API BOOL SetProcessACP(UINT codePage);
#else
// The process's ANSI code page: 1252 unless SetProcessACP chose another.
LTPADMIN_API UINT GetACP();
// Stand-in only: picks the process's ANSI code page. Knows 1252 (single-byte) and the double-byte
// pages 932, 936, 949 and 950; returns FALSE and changes nothing for any other.
LTPADMIN_API BOOL SetProcessACP(UINT codePage);
// TRUE for the code pages that SetProcessACP knows.
LTPADMIN_API BOOL IsValidCodePage(UINT codePage);
// TRUE when the byte opens a double-byte character in the given (or the process's) code page.
LTPADMIN_API BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar);
LTPADMIN_API BOOL IsDBCSLeadByte(BYTE testChar);
#endif
// The lead-byte table of the process's code page: 256 entries, non-zero for lead bytes. Lets a
// scanner test bytes without a call per byte.
LTPADMIN_API const BYTE* GetACPLeadByteTable();
// The lead-byte table of the given code page (0: the process's), or nullptr for one not known.
LTPADMIN_API const BYTE* GetLeadByteTable(UINT codePage);
// Whether a table that GetACPLeadByteTable returned has any lead byte at all; constant time, so
// that a scanner of single-byte text can search with plain byte compares.
LTPADMIN_API BOOL HasLeadBytes(const BYTE* pLeadByteTable);
