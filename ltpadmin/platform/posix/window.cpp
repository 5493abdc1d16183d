#include "ltpadmin/platform/window.h"

#include "ltpadmin/platform/thread_queue.h"

#include <cctype>
#include <string>
#include <unordered_map>

namespace ltpadmin_platform {

namespace {

struct WindowRecord {
    std::shared_ptr<ThreadQueue> owner;
    WNDPROC proc;
    RECT rect;
    HWND parent; // null for a top-level window
    bool messageOnly;
    bool destroying;
};

struct WindowRegistry {
    std::mutex mutex;
    std::unordered_map<std::string, WNDPROC> classes; // by lower-case name
    std::unordered_map<HWND, WindowRecord> windows;
    std::uintptr_t nextHandle = 0x10000; // far from NULL, HWND_BROADCAST and HWND_MESSAGE
    ATOM nextAtom = 0xC000;
};

WindowRegistry& Registry() {
    static WindowRegistry* registry = new WindowRegistry; // outlives every thread's exit
    return *registry;
}

std::string ClassKey(LPCSTR name) {
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// Registry lock held.
HWND AddWindow(WindowRegistry& r, WindowRecord record) {
    r.nextHandle += 2;
    HWND hwnd = reinterpret_cast<HWND>(r.nextHandle);
    r.windows.emplace(hwnd, std::move(record));
    return hwnd;
}

} // namespace

std::shared_ptr<ThreadQueue> WindowQueue(HWND hwnd) {
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.windows.find(hwnd);
    return it == r.windows.end() ? nullptr : it->second.owner;
}

void TopLevelWindows(std::vector<std::pair<HWND, std::shared_ptr<ThreadQueue>>>& out) {
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& w : r.windows)
        if (!w.second.parent && !w.second.messageOnly)
            out.emplace_back(w.first, w.second.owner);
}

WNDPROC WindowProcOf(HWND hwnd, DWORD threadId) {
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.windows.find(hwnd);
    if (it == r.windows.end() || it->second.owner->threadId != threadId)
        return nullptr;
    return it->second.proc;
}

HWND CreateHiddenWindow(WNDPROC proc) {
    std::shared_ptr<ThreadQueue> owner = CurrentQueueShared();
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return AddWindow(r,
                     WindowRecord{std::move(owner), proc, RECT{0, 0, 0, 0}, nullptr, false, false});
}

void ForgetThreadWindows(DWORD threadId) {
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.windows.begin(); it != r.windows.end();)
        if (it->second.owner->threadId == threadId)
            it = r.windows.erase(it);
        else
            ++it;
}

} // namespace ltpadmin_platform

using namespace ltpadmin_platform;

ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpszClassName || !lpWndClass->lpfnWndProc)
        return 0;
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.classes.emplace(ClassKey(lpWndClass->lpszClassName), lpWndClass->lpfnWndProc).second)
        return 0;
    return r.nextAtom++;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (!lpClassName)
        return FALSE;
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.classes.erase(ClassKey(lpClassName)) ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                     int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                     HINSTANCE hInstance, LPVOID lpParam) {
    if (!lpClassName)
        return nullptr;
    if (X == CW_USEDEFAULT)
        X = Y = 0;
    if (nWidth == CW_USEDEFAULT)
        nWidth = nHeight = 0;
    std::shared_ptr<ThreadQueue> owner = CurrentQueueShared();
    bool messageOnly = hWndParent == HWND_MESSAGE;
    HWND parent = messageOnly ? nullptr : hWndParent;
    WNDPROC proc;
    HWND hwnd;
    {
        WindowRegistry& r = Registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto cls = r.classes.find(ClassKey(lpClassName));
        if (cls == r.classes.end())
            return nullptr;
        proc = cls->second;
        RECT rect{X, Y, X + nWidth, Y + nHeight};
        if (parent) {
            auto p = r.windows.find(parent);
            if (p == r.windows.end())
                return nullptr;
            rect.left += p->second.rect.left;
            rect.right += p->second.rect.left;
            rect.top += p->second.rect.top;
            rect.bottom += p->second.rect.top;
        }
        hwnd = AddWindow(r, WindowRecord{std::move(owner), proc, rect, parent, messageOnly, false});
    }
    CREATESTRUCTA cs{lpParam,
                     hInstance,
                     hMenu,
                     hWndParent,
                     nHeight,
                     nWidth,
                     Y,
                     X,
                     static_cast<LONG>(dwStyle),
                     lpWindowName,
                     lpClassName,
                     dwExStyle};
    if (proc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hWnd) {
    DWORD self = CurrentQueue().threadId;
    // The window first, then its children, each told while it still exists.
    std::vector<std::pair<HWND, WNDPROC>> doomed;
    {
        WindowRegistry& r = Registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.windows.find(hWnd);
        if (it == r.windows.end() || it->second.owner->threadId != self || it->second.destroying)
            return FALSE;
        it->second.destroying = true;
        doomed.emplace_back(hWnd, it->second.proc);
        for (size_t i = 0; i < doomed.size(); ++i)
            for (auto& w : r.windows)
                if (w.second.parent == doomed[i].first && !w.second.destroying) {
                    w.second.destroying = true;
                    doomed.emplace_back(w.first, w.second.proc);
                }
    }
    for (auto& d : doomed)
        d.second(d.first, WM_DESTROY, 0, 0);
    ThreadQueue& q = CurrentQueue();
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& d : doomed) {
        r.windows.erase(d.first);
        KillWindowTimers(q, d.first);
    }
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.windows.count(hWnd) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    if (Msg == WM_CLOSE)
        DestroyWindow(hWnd);
    return 0;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    if (!lpRect)
        return FALSE;
    WindowRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.windows.find(hWnd);
    if (it == r.windows.end())
        return FALSE;
    *lpRect = it->second.rect;
    return TRUE;
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
        case SM_CXSCREEN:
            return 1920;
        case SM_CYSCREEN:
            return 1080;
        case SM_CYCAPTION:
            return 23;
        default:
            return 0;
    }
}

BOOL PtInRect(const RECT* lprc, POINT pt) {
    if (!lprc)
        return FALSE;
    return pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}
