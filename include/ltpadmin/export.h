// Marks what the library exports. A shared build hides everything else; a static build and the
// library's own tests see every symbol as usual.
#pragma once

#if defined(_WIN32)
#if defined(LTPADMIN_BUILDING_DLL)
#define LTPADMIN_API __declspec(dllexport)
#elif defined(LTPADMIN_USING_DLL)
#define LTPADMIN_API __declspec(dllimport)
#else
#define LTPADMIN_API
#endif
#else
#define LTPADMIN_API __attribute__((visibility("default")))
#endif
