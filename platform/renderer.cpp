// The process's renderer: chosen on first use, replaceable by tests.
#include "platform/renderer.h"

#include <mutex>
#include <utility>

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

}  // namespace

Renderer& CurrentRenderer() {
    RendererSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.renderer) {
        slot.renderer = MakeWindowRenderer();
        if (!slot.renderer) slot.renderer = MakeHeadlessRenderer();
    }
    return *slot.renderer;
}

void SetRenderer(std::unique_ptr<Renderer> renderer) {
    RendererSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.renderer = std::move(renderer);
}

}  // namespace win
