// Windows of the calling process: the real window system's calls, and icons made from the
// program's icon resources.
#include <map>
#include <mutex>
#include <vector>

#include "platform/internal/platform_internal.h"
#include "platform/internal/win_internal.h"
#include "platform/window.h"

namespace win {
namespace {

struct LoadedIcons {
    std::mutex mutex;
    std::map<int, HICON> byId;
    std::map<HICON, const IconResource*> resources;
};

LoadedIcons& Loaded() {
    static LoadedIcons* loaded = new LoadedIcons;  // never destroyed: icons last the process
    return *loaded;
}

// A real icon from one image: 32-bit colour with the transparent pixels masked out.
::HICON MakeIcon(const IconImage& image) {
    const int width = image.width, height = image.height;
    std::vector<std::uint32_t> colour(static_cast<std::size_t>(width) * height);
    const int maskStride = (width + 15) / 16 * 2;  // rows of the mask are 16-bit aligned
    std::vector<BYTE> mask(static_cast<std::size_t>(maskStride) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            const std::uint8_t index = at < image.pixels.size() ? image.pixels[at] : 16;
            if (index >= 16) {
                mask[static_cast<std::size_t>(y) * maskStride + x / 8] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
            } else {
                colour[at] = 0xFF000000 | image.palette[index];  // 0xAARRGGBB is BGRA in memory
            }
        }
    }
    ::HBITMAP colourBitmap = ::CreateBitmap(width, height, 1, 32, colour.data());
    ::HBITMAP maskBitmap = ::CreateBitmap(width, height, 1, 1, mask.data());
    ICONINFO info{TRUE, 0, 0, maskBitmap, colourBitmap};
    ::HICON icon = colourBitmap && maskBitmap ? ::CreateIconIndirect(&info) : nullptr;
    if (colourBitmap) ::DeleteObject(colourBitmap);
    if (maskBitmap) ::DeleteObject(maskBitmap);
    return icon;
}

}  // namespace

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return static_cast<LRESULT>(
        ::SendMessageW(detail::ToNativeWindow(window), message, wParam, lParam));
}

BOOL DispatchMessageW(const MSG* msg) {
    if (!msg || msg->hwnd == 0) return FALSE;
    ::MSG real{};
    real.hwnd = detail::ToNativeWindow(msg->hwnd);
    real.message = msg->message;
    real.wParam = msg->wParam;
    real.lParam = msg->lParam;
    ::DispatchMessageW(&real);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    return ::DestroyWindow(detail::ToNativeWindow(window));
}

BOOL IsWindow(HWND window) {
    return window != 0 && ::IsWindow(detail::ToNativeWindow(window)) ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    return detail::FromNativeWindow(::GetParent(detail::ToNativeWindow(window)));
}

BOOL SetWindowTextW(HWND window, std::u16string_view text) {
    const std::u16string ownText(text);
    return ::SetWindowTextW(detail::ToNativeWindow(window), detail::Wide(ownText));
}

std::u16string GetWindowTextW(HWND window) {
    ::HWND hwnd = detail::ToNativeWindow(window);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    int length = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return detail::FromWide(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    ::RECT real;
    if (!rect || !::GetWindowRect(detail::ToNativeWindow(window), &real)) return FALSE;
    *rect = RECT{real.left, real.top, real.right, real.bottom};
    return TRUE;
}

BOOL MoveWindow(HWND window, LONG x, LONG y, LONG width, LONG height) {
    return ::MoveWindow(detail::ToNativeWindow(window), x, y, width, height, TRUE);
}

BOOL IsWindowVisible(HWND window) {
    return ::IsWindowVisible(detail::ToNativeWindow(window));
}

BOOL ShowWindow(HWND window, bool show) {
    return ::ShowWindow(detail::ToNativeWindow(window), show ? SW_SHOW : SW_HIDE);
}

RECT GetWorkArea() {
    ::RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return RECT{work.left, work.top, work.right, work.bottom};
}

// The image of the size the window system uses for icons (32 x 32), else the first; loading
// the same resource again gives the same handle, as for the system's shared icons.
HICON LoadIconW(int resourceId) {
    const IconResource* resource = detail::FindIconResource(resourceId);
    if (!resource || resource->images.empty()) return 0;
    LoadedIcons& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    if (auto it = loaded.byId.find(resourceId); it != loaded.byId.end()) return it->second;
    const int size = ::GetSystemMetrics(SM_CXICON);
    const IconImage* chosen = &resource->images.front();
    for (const IconImage& image : resource->images)
        if (image.width == size) chosen = &image;
    const HICON icon = detail::FromNativeIcon(MakeIcon(*chosen));
    if (icon == 0) return 0;
    loaded.byId[resourceId] = icon;
    loaded.resources[icon] = resource;
    return icon;
}

const IconResource* GetIconResource(HICON icon) {
    LoadedIcons& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    auto it = loaded.resources.find(icon);
    return it == loaded.resources.end() ? nullptr : it->second;
}

HICON GetWindowIcon(HWND window, WPARAM which) {
    return detail::FromNativeIcon(reinterpret_cast<::HICON>(
        ::SendMessageW(detail::ToNativeWindow(window), WM_GETICON, which, 0)));
}

}  // namespace win
