// Windows of the calling process: the registry from handle to procedure and state, synchronous
// sends, the dispatch of queued messages, destruction, titles, places and icons.
#include "platform/window.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/internal/window_registry.h"
#include "platform/renderer_posix.h"
#include "platform/window_table_posix.h"

namespace win {
namespace detail {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<HWND, WindowPtr> windows;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void AddWindowRecord(WindowPtr window) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    HWND hwnd = window->hwnd;
    registry.windows[hwnd] = std::move(window);
}

WindowPtr FindWindowRecord(HWND window) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.windows.find(window);
    return it == registry.windows.end() ? nullptr : it->second;
}

void RemoveWindowRecord(HWND window) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.windows.erase(window);
}

void NotifyChanged(const WindowRecord& window) {
    if (!window.destroyed) CurrentRenderer().DialogChanged(window.hwnd);
}

int FindControlIndex(const WindowRecord& window, int controlId) {
    const auto& controls = window.state.controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].control->id == static_cast<WORD>(controlId)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace detail

using detail::FindWindowRecord;
using detail::WindowPtr;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowPtr record = FindWindowRecord(window);
    if (!record || !record->procedure) return 0;
    // The copy of the pointer keeps the record, and so the procedure, alive even when the
    // procedure destroys its own window.
    return record->procedure(window, message, wParam, lParam);
}

BOOL DispatchMessageW(const MSG* msg) {
    if (!msg || msg->hwnd == 0) return FALSE;
    WindowPtr record = FindWindowRecord(msg->hwnd);
    if (!record || !record->procedure) return FALSE;
    record->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    WindowPtr record = FindWindowRecord(window);
    if (!record || record->destroyed) return FALSE;
    // Marked first, so that a procedure calling DestroyWindow again while it handles
    // WM_DESTROY does not destroy twice; the window still takes messages until it is removed.
    record->destroyed = true;
    record->state.visible = false;
    SendMessageW(window, WM_DESTROY, 0, 0);
    RemoveTopLevelWindow(window);
    detail::RemoveWindowRecord(window);
    CurrentRenderer().DialogDestroyed(window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return FindWindowRecord(window) ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    WindowPtr record = FindWindowRecord(window);
    return record ? record->parent : 0;
}

BOOL SetWindowTextW(HWND window, std::u16string_view text) {
    WindowPtr record = FindWindowRecord(window);
    if (!record) return FALSE;
    record->state.title = std::u16string(text);
    SetTopLevelWindowTitle(window, text);
    detail::NotifyChanged(*record);
    return TRUE;
}

std::u16string GetWindowTextW(HWND window) {
    WindowPtr record = FindWindowRecord(window);
    return record ? record->state.title : std::u16string();
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    WindowPtr record = FindWindowRecord(window);
    if (!record || !rect) return FALSE;
    *rect = record->state.windowRect;
    return TRUE;
}

BOOL MoveWindow(HWND window, LONG x, LONG y, LONG width, LONG height) {
    WindowPtr record = FindWindowRecord(window);
    if (!record || width < 0 || height < 0) return FALSE;
    record->state.windowRect = RECT{x, y, x + width, y + height};
    detail::NotifyChanged(*record);
    return TRUE;
}

BOOL IsWindowVisible(HWND window) {
    WindowPtr record = FindWindowRecord(window);
    return record && record->state.visible ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, bool show) {
    WindowPtr record = FindWindowRecord(window);
    if (!record) return FALSE;
    bool wasVisible = record->state.visible;
    if (wasVisible != show) {
        record->state.visible = show;
        detail::NotifyChanged(*record);
    }
    return wasVisible ? TRUE : FALSE;
}

RECT GetWorkArea() {
    return CurrentRenderer().WorkArea();
}

HICON GetWindowIcon(HWND window, WPARAM which) {
    WindowPtr record = FindWindowRecord(window);
    if (!record) return 0;
    return which == ICON_BIG ? record->state.bigIcon : record->state.smallIcon;
}

}  // namespace win
