#pragma once
// Data exchange between a window's members and its controls.

#include <cstdint>

#include "framework/cstring.h"
#include "platform/win_types.h"

class CWnd;

class CDataExchange {
  public:
    CDataExchange(CWnd* window, win::BOOL saveAndValidate)
        : m_pDlgWnd(window), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    win::BOOL m_bSaveAndValidate;  // TRUE: controls -> members; FALSE: members -> controls
};

// The whole text of an edit control, both ways.
void DDX_Text(CDataExchange* exchange, int controlId, CString& value);

// A radio group: walks from the control controlId through the following controls in template
// order until the next control that starts a group (WS_GROUP), counting only radio buttons.
// Towards the controls it checks the button whose index is value and unchecks the others (any
// other value leaves none checked); towards the member it sets value to the index of the
// checked button, or -1 when none is checked.
void DDX_Radio(CDataExchange* exchange, int controlId, std::int32_t& value);
