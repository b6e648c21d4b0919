// Focus movement in a dialog: the tab order, the groups, and the default push button look.
#include "platform/internal/dialog_focus.h"

#include "platform/dialog_posix.h"
#include "platform/internal/dialog_controls.h"

namespace win::detail {

namespace {

bool StartsGroup(const DialogControlState& state) {
    return (state.control->style & WS_GROUP) != 0;
}

}  // namespace

int FocusedIndex(const WindowRecord& window) {
    return window.state.focusedControl == 0 ? -1
                                            : FindControlIndex(window, window.state.focusedControl);
}

GroupRange GroupOf(const WindowRecord& window, int index) {
    const auto& controls = window.state.controls;
    GroupRange group{index, index + 1};
    while (group.first > 0 && !StartsGroup(controls[group.first])) --group.first;
    while (group.end < static_cast<int>(controls.size()) && !StartsGroup(controls[group.end])) {
        ++group.end;
    }
    return group;
}

int NextTabStop(const WindowRecord& window, int index, bool backwards) {
    const auto& controls = window.state.controls;
    const int count = static_cast<int>(controls.size());
    if (count == 0) return -1;
    const int step = backwards ? count - 1 : 1;
    const int start = index >= 0 ? index : (backwards ? 0 : count - 1);
    for (int n = 1; n <= count; ++n) {
        const int i = (start + n * step) % count;
        if (IsReachableTabStop(*controls[i].control)) return i;
    }
    return -1;
}

int NextGroupItem(const WindowRecord& window, int index, bool previous) {
    const GroupRange group = GroupOf(window, index);
    const int size = group.end - group.first;
    const int offset = index - group.first;
    for (int n = 1; n < size; ++n) {
        const int i = group.first + (previous ? (offset - n + size) % size : (offset + n) % size);
        const DialogControlTemplate& control = *window.state.controls[i].control;
        if (IsVisible(control) && IsEnabled(control)) return i;
    }
    return index;
}

void SetDialogFocus(WindowRecord& window, int index) {
    auto& controls = window.state.controls;
    const int previous = FocusedIndex(window);
    if (previous >= 0 && previous != index) controls[previous].pushed = false;
    window.state.focusedControl = index >= 0 ? controls[index].control->id : 0;
    PlaceDefaultLook(window);
    NotifyChanged(window);
}

void PlaceDefaultLook(WindowRecord& window) {
    auto& controls = window.state.controls;
    int owner = FocusedIndex(window);
    if (owner < 0 || !IsPushButton(*controls[owner].control)) {
        owner = window.defaultId != 0 ? FindControlIndex(window, window.defaultId) : -1;
        if (owner >= 0 && !IsPushButton(*controls[owner].control)) owner = -1;
    }
    for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
        controls[i].isDefault = i == owner;
    }
}

}  // namespace win::detail
