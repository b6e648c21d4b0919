#pragma once
// Where the keyboard focus goes in a dialog, by the platform's dialog manager's rules: the tab
// order, the groups, and the default push button look that follows the focus. Not part of the
// platform's public surface.

#include "platform/internal/window_registry.h"

namespace win::detail {

// The index of the focused control, or -1 when none has the focus.
int FocusedIndex(const WindowRecord& window);

// A group: the controls from one that has WS_GROUP (or the first control) up to, not
// including, the next one that has WS_GROUP.
struct GroupRange {
    int first = 0, end = 0;
};
GroupRange GroupOf(const WindowRecord& window, int index);

// GetNextDlgTabItem: the next (or previous) visible, enabled tab stop in template order after
// index, wrapping round; from -1 the first (or the last). -1 when there is none.
int NextTabStop(const WindowRecord& window, int index, bool backwards);

// GetNextDlgGroupItem: the next (or previous) visible, enabled control of index's group in
// template order, wrapping round within the group; index itself when there is no other.
int NextGroupItem(const WindowRecord& window, int index, bool previous);

// Gives the control at index the keyboard focus (-1: none), as WM_NEXTDLGCTL does: a button
// pushed in by Space comes out without a click when the focus leaves it, and the default push
// button look moves (PlaceDefaultLook).
void SetDialogFocus(WindowRecord& window, int index);

// The focused push button has the default push button look; with the focus elsewhere the
// default id's push button has it; no other control has it.
void PlaceDefaultLook(WindowRecord& window);

}  // namespace win::detail
