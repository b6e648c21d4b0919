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

RendererSlot& Slot() {
    static RendererSlot slot;
    return slot;
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
