// The program's icon resources and the handles they are loaded as.
#include <map>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace win {
namespace {

struct IconTable {
    std::mutex mutex;
    std::map<int, const IconResource*> resources;
    // A loaded icon's handle is its position here plus one, so 0 stays "none".
    std::vector<const IconResource*> loaded;
};

IconTable& Icons() {
    static IconTable table;
    return table;
}

}  // namespace

void RegisterIconResource(int resourceId, const IconResource* icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    if (icon) {
        table.resources[resourceId] = icon;
    } else {
        table.resources.erase(resourceId);
    }
}

HICON LoadIconW(int resourceId) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    auto it = table.resources.find(resourceId);
    if (it == table.resources.end()) return 0;
    // Loading the same resource again gives the same handle, as for the device's shared icons.
    for (std::size_t i = 0; i < table.loaded.size(); ++i) {
        if (table.loaded[i] == it->second) return static_cast<HICON>(i + 1);
    }
    table.loaded.push_back(it->second);
    return static_cast<HICON>(table.loaded.size());
}

const IconResource* GetIconResource(HICON icon) {
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    if (icon == 0 || icon > table.loaded.size()) return nullptr;
    return table.loaded[icon - 1];
}

}  // namespace win
