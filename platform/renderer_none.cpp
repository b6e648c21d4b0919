// The build without a windowing renderer: every run is headless.
#include "platform/renderer.h"

namespace win {

std::unique_ptr<Renderer> MakeWindowRenderer() {
    return nullptr;
}

}  // namespace win
