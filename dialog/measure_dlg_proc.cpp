// The measurement dialog's window procedure: its reaction to the measurement program's
// notifications. Every message, handled here or not, goes on to the framework afterwards.
#include "app/run_mode.h"
#include "dialog/measure_dlg.h"
#include "dialog/resource.h"
#include "dialog/version_params.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "output/angle_format.h"

win::LRESULT CMeasureDlg::WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    // The registered ids are distinct, so at most one of the three tests applies.
    if (message == g_msgTiltOver) {
        StartPlatformTool(kShortcutToolPath, kShortcutToolCommandLine);
    }
    if (message == g_msgDataChange) {
        OnMeasDataChange();
    }
    if (message == g_msgListParameter) {
        OnListParameter(wParam, lParam);
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CMeasureDlg::OnMeasDataChange() {
    // A copy that cannot be taken normally leaves the previous one, and the display is
    // refreshed from that all the same.
    ReadMeasRecord(m_measRecord.bytes.data());
    // The angles go in the unit the record carries; m_nAngleUnit plays no part here.
    const int unit = m_measRecord.angleUnit();
    FormatAngle(m_measRecord.hzAngle(), m_strHorizAngle, unit, 0);
    FormatAngle(m_measRecord.vAngle(), m_strZenithAngle, unit, 1);
    FormatDistance(m_measRecord, m_strSlopeDistance);
    UpdateData(win::FALSE);
    SetDlgItemText(IDC_FIRMWARE_LABEL,
                   g_firmwareYear == 2008 ? u"Firmware:2008 DLL:1.02" : u"Firmware:2009 DLL:1.02");
}

void CMeasureDlg::OnListParameter(win::WPARAM parameter, win::LPARAM value) {
    const auto number = static_cast<std::int64_t>(parameter);
    if (number == kParamAngleUnit) {
        m_nAngleUnit = value;
        UpdateData(win::FALSE);
    } else if (number == kParamVersion59) {
        g_confParam59 = value;
    } else if (number == kParamVersion58) {
        g_confParam58 = value;
    } else if (number == kParamVersion57) {
        g_confParam57 = value;
    } else if (number == kParamVersion56) {
        g_confParam56 = value;
        // Sent, not posted: the close runs here, before the framework sees this message. A
        // version file that could not be written keeps the dialog open.
        if (g_runMode == VersionQuery && WriteVersionFile()) {
            SendMessage(win::WM_CLOSE, 0, 0);
        }
    }
}
