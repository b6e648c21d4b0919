#pragma once
// Internal to the platform layer: the registered resources, for the calls that load them.

#include "platform/window.h"

namespace win::detail {

// The icon registered under the id by RegisterIconResource, or nullptr.
const IconResource* FindIconResource(int resourceId);

}  // namespace win::detail
