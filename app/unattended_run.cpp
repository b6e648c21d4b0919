#include "app/unattended_run.h"

#include "dialog/measure_dlg.h"
#include "dialog/resource.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "platform/process.h"

namespace {

constexpr int kPollLimit = 100;
constexpr win::DWORD kPollIntervalMs = 100;

// The data-change message delivered straight to the dialog's window procedure, not through the
// queue: no message loop runs during an unattended run.
void DeliverDataChange(CMeasureDlg& dialog) {
    dialog.WindowProc(g_msgDataChange, 0, 0);
}

bool HasUsableDistance(const CMeasureDlg& dialog) {
    return !(dialog.m_strSlopeDistance == u"0.000" || dialog.m_strSlopeDistance.IsEmpty());
}

}  // namespace

void RunUnattendedMeasurement(CMeasureDlg& dialog, bool measureDistance) {
    dialog.Create(IDD_MEASURE, nullptr);  // the outcome is not examined
    if (measureDistance) {
        PostEdmCommand(kEdmMeasureOnce, 0);
        for (int poll = 0; poll < kPollLimit; ++poll) {
            win::Sleep(kPollIntervalMs);
            DeliverDataChange(dialog);
            if (HasUsableDistance(dialog)) break;
        }
    } else {
        DeliverDataChange(dialog);
    }
    dialog.WriteResultFile();
    dialog.DestroyWindow();
}
