// Loaded icons on Linux: a handle stands for a registered icon resource.
#include <mutex>
#include <vector>

#include "platform/internal/platform_internal.h"
#include "platform/window.h"

namespace win {
namespace {

struct LoadedIcons {
    std::mutex mutex;
    // A loaded icon's handle is its position here plus one, so 0 stays "none".
    std::vector<const IconResource*> icons;
};

LoadedIcons& Loaded() {
    static LoadedIcons loaded;
    return loaded;
}

}  // namespace

HICON LoadIconW(int resourceId) {
    const IconResource* resource = detail::FindIconResource(resourceId);
    if (!resource) return 0;
    LoadedIcons& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    // Loading the same resource again gives the same handle, as for the device's shared icons.
    for (std::size_t i = 0; i < loaded.icons.size(); ++i) {
        if (loaded.icons[i] == resource) return static_cast<HICON>(i + 1);
    }
    loaded.icons.push_back(resource);
    return static_cast<HICON>(loaded.icons.size());
}

const IconResource* GetIconResource(HICON icon) {
    LoadedIcons& loaded = Loaded();
    std::lock_guard lock(loaded.mutex);
    if (icon == 0 || icon > loaded.icons.size()) return nullptr;
    return loaded.icons[icon - 1];
}

}  // namespace win
