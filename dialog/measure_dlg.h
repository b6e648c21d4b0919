#pragma once
// The measurement dialog: shows the angles and the distance the measurement program last
// reported, starts and stops a distance measurement, and confirms the shown values into the
// result file. Its reaction to the measurement program's notifications is WindowProc
// (measure_dlg_proc.cpp).

#include <cstdint>

#include "framework/cstring.h"
#include "framework/dialog.h"
#include "link/protocol/meas_record.h"

class CMeasureDlg : public CDialog {
  public:
    // Prepares the dialog on template 102; no window exists yet. The record copy starts
    // zero-filled; window destruction refreshes it before it decides, so whether the stop
    // command goes out depends on the meter's state then, data received or not.
    explicit CMeasureDlg(CWnd* parent = nullptr);
    ~CMeasureDlg() override;

    // "\VLMIS.OUT" from the texts of edits 1002, 1003 and 1004 (at most 19 characters each).
    // False when the file could not be written (the old file, if any, is then as it was), so
    // that "Conferma" never ends the run without its result.
    virtual bool WriteResultFileFromDialog();
    // "\VLMIS.OUT" from m_strHorizAngle, m_strZenithAngle and m_strSlopeDistance as they stand.
    virtual void WriteResultFile();
    // "\VLVER.OUT" from g_confParam59..56. False when the file could not be opened (or
    // written); nothing is shown either way.
    bool WriteVersionFile();

    // Takes a fresh copy of the shared record and posts the stop command 17 when it shows the
    // distance meter in a non-zero state, then destroys the window as the framework does. The
    // fresh copy matters: a meter started since the last notification must be stopped too.
    win::BOOL DestroyWindow() override;

    // Acts on the measurement program's tilt-over, data-change and list-parameter
    // notifications, then always passes the message on to the framework.
    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override;

    void DoDataExchange(CDataExchange* exchange) override;
    win::BOOL OnInitDialog() override;
    // The nine-row message map, then the framework's rows.
    bool OnCommand(win::WORD notification, win::WORD controlId) override;

    CString m_strHorizAngle;     // edit 1002
    CString m_strZenithAngle;    // edit 1003
    CString m_strSlopeDistance;  // edit 1004
    std::int32_t m_nAngleUnit;   // radio group from 1006: 0 degree, 1 gon, 2 mil; -1 none
    MeasRecord m_measRecord;     // the dialog's own copy of the shared record
    win::HICON m_hIcon;          // icon 128

  protected:
    void OnMeasure();
    void OnSetupTool();
    void OnStop();
    void OnUnitDegree();
    void OnUnitGon();
    void OnUnitMil();
    void OnCancelButton();
    void OnConfirm();
    void OnShortcutTool();

  private:
    void OnMeasDataChange();
    void OnListParameter(win::WPARAM parameter, win::LPARAM value);
    void PostChosenAngleUnit();
};

// Starts a platform tool: g_installPath followed by the tool's path, with the command line
// (or none). The result is not examined and nothing waits for the tool; the handles the
// platform returns are released at once.
void StartPlatformTool(const char16_t* toolPath, const char16_t* commandLine);
