// The Win32 and class-library pieces the library is written against, for Linux.
#pragma once

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/platform/clist.h"
#include "ltpadmin/platform/codepage.h"
