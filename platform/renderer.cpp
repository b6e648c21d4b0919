// The process's renderer: chosen on first use, replaceable by tests.
#include "platform/renderer.h"

#include <mutex>
#include <utility>

#include "platform/message_box.h"

namespace win {
namespace {

struct RendererSlot {
    std::mutex mutex;
    std::unique_ptr<Renderer> renderer;
};

// Never destroyed: a windowing renderer must not be torn down among the static destructors at
// exit, when the display it talks to may already be gone; the process's end releases it.
RendererSlot& Slot() {
    static RendererSlot* slot = new RendererSlot;
    return *slot;
}

// Installed by a window library's static initialiser, before main and before any thread.
WindowSupport& InstalledSupport() {
    static WindowSupport support;
    return support;
}

}  // namespace

void InstallWindowSupport(const WindowSupport& support) {
    InstalledSupport() = support;
}

std::unique_ptr<Renderer> MakeWindowRenderer() {
    auto make = InstalledSupport().makeRenderer;
    return make ? make() : nullptr;
}

void PrepareForDialogs() {
    if (auto prepare = InstalledSupport().prepareForDialogs) prepare();
}

Renderer& CurrentRenderer() {
    RendererSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.renderer) {
        slot.renderer = MakeWindowRenderer();
        if (!slot.renderer) slot.renderer = MakeHeadlessRenderer();
    }
    return *slot.renderer;
}

int detail::ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                           UINT type) {
    return CurrentRenderer().MessageBox(owner, text, caption, type);
}

void SetRenderer(std::unique_ptr<Renderer> renderer) {
    RendererSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.renderer = std::move(renderer);
}

}  // namespace win
