// The program's resources: dialog templates and icons, registered by id.
#include <map>
#include <mutex>

#include "platform/dialog.h"
#include "platform/internal/platform_internal.h"

namespace win {
namespace {

struct Resources {
    std::mutex mutex;
    std::map<int, const DialogTemplate*> dialogs;
    std::map<int, const IconResource*> icons;
};

Resources& Table() {
    static Resources resources;
    return resources;
}

template <typename T>
void Register(std::map<int, const T*>& map, int resourceId, const T* resource) {
    if (resource) {
        map[resourceId] = resource;
    } else {
        map.erase(resourceId);
    }
}

template <typename T>
const T* Find(const std::map<int, const T*>& map, int resourceId) {
    auto it = map.find(resourceId);
    return it == map.end() ? nullptr : it->second;
}

}  // namespace

void RegisterDialogResource(int resourceId, const DialogTemplate* dialog) {
    std::lock_guard lock(Table().mutex);
    Register(Table().dialogs, resourceId, dialog);
}

const DialogTemplate* FindDialogResource(int resourceId) {
    std::lock_guard lock(Table().mutex);
    return Find(Table().dialogs, resourceId);
}

void RegisterIconResource(int resourceId, const IconResource* icon) {
    std::lock_guard lock(Table().mutex);
    Register(Table().icons, resourceId, icon);
}

namespace detail {

const IconResource* FindIconResource(int resourceId) {
    std::lock_guard lock(Table().mutex);
    return Find(Table().icons, resourceId);
}

}  // namespace detail
}  // namespace win
