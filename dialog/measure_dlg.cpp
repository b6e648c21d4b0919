#include "dialog/measure_dlg.h"

#include <array>

#include "app/run_mode.h"
#include "dialog/measure_resources.h"
#include "dialog/resource.h"
#include "dialog/version_params.h"
#include "framework/data_exchange.h"
#include "framework/win_app.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "output/result_file.h"
#include "platform/process.h"

namespace {

// Each control's text reaches the result file through a field of 20 code units with its
// terminator: at most 19 characters.
constexpr int kDialogFieldUnits = 20;

// Shown when "Conferma" could not write the result file.
constexpr char16_t kResultFileFailedText[] = u"Fail to write result file!";

}  // namespace

CMeasureDlg::CMeasureDlg(CWnd* parent)
    : CDialog(IDD_MEASURE, parent), m_nAngleUnit(-1), m_measRecord(), m_hIcon(0) {
    RegisterMeasureResources();
    m_hIcon = win::LoadIconW(IDI_MEASURE);
}

CMeasureDlg::~CMeasureDlg() = default;

void CMeasureDlg::DoDataExchange(CDataExchange* exchange) {
    DDX_Text(exchange, IDC_HZ_ANGLE, m_strHorizAngle);
    DDX_Text(exchange, IDC_ZENITH_ANGLE, m_strZenithAngle);
    DDX_Text(exchange, IDC_SLOPE_DISTANCE, m_strSlopeDistance);
    DDX_Radio(exchange, IDC_UNIT_DEGREE, m_nAngleUnit);
}

win::BOOL CMeasureDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, win::TRUE);
    SetIcon(m_hIcon, win::FALSE);
    CenterWindow();
    // The angle unit first, then the four version values; the answers come back as
    // list-parameter notifications.
    PostConfParameter(kParamAngleUnit, 0);
    PostConfParameter(kParamVersion59, 0);
    PostConfParameter(kParamVersion58, 0);
    PostConfParameter(kParamVersion57, 0);
    PostConfParameter(kParamVersion56, 0);
    return win::TRUE;
}

bool CMeasureDlg::OnCommand(win::WORD notification, win::WORD controlId) {
    using Row = CommandMapEntry<CMeasureDlg>;
    static constexpr std::array<Row, 9> kMessageMap = {{
        {win::BN_CLICKED, IDC_MEASURE, &CMeasureDlg::OnMeasure},
        {win::BN_CLICKED, IDC_SETUP_TOOL, &CMeasureDlg::OnSetupTool},
        {win::BN_CLICKED, IDC_STOP, &CMeasureDlg::OnStop},
        {win::BN_CLICKED, IDC_UNIT_DEGREE, &CMeasureDlg::OnUnitDegree},
        {win::BN_CLICKED, IDC_UNIT_GON, &CMeasureDlg::OnUnitGon},
        {win::BN_CLICKED, IDC_UNIT_MIL, &CMeasureDlg::OnUnitMil},
        {win::BN_CLICKED, IDC_CANCEL_BUTTON, &CMeasureDlg::OnCancelButton},
        {win::BN_CLICKED, IDC_CONFIRM, &CMeasureDlg::OnConfirm},
        {win::BN_CLICKED, IDC_SHORTCUT_TOOL, &CMeasureDlg::OnShortcutTool},
    }};
    if (DispatchCommandMap(*this, kMessageMap, notification, controlId)) return true;
    return CDialog::OnCommand(notification, controlId);
}

void CMeasureDlg::OnMeasure() {
    PostEdmCommand(kEdmMeasure, 0);
}

void CMeasureDlg::OnSetupTool() {
    StartPlatformTool(kSetupToolPath, nullptr);
}

void CMeasureDlg::OnStop() {
    PostEdmCommand(kEdmStop, 0);
}

// An auto radio button has checked itself before its click is reported, so the exchange
// reads back the index of the clicked button.
void CMeasureDlg::PostChosenAngleUnit() {
    UpdateData(win::TRUE);
    PostSetParameter(kParamAngleUnit, m_nAngleUnit);
}

void CMeasureDlg::OnUnitDegree() {
    PostChosenAngleUnit();
}

void CMeasureDlg::OnUnitGon() {
    PostChosenAngleUnit();
}

void CMeasureDlg::OnUnitMil() {
    PostChosenAngleUnit();
}

// WM_CLOSE is sent, not posted: the default dialog processing turns it into the standard
// cancel, which ends the modal run with result 2.
void CMeasureDlg::OnCancelButton() {
    SendMessage(win::WM_CLOSE, 0, 0);
}

// The dialog closes only once the result is written: the field software would take an older
// file, or none, for this measurement. Otherwise the user is told, and "Conferma" can be
// tried again or "Annulla" ends the run.
void CMeasureDlg::OnConfirm() {
    if (!WriteResultFileFromDialog()) {
        AfxMessageBox(kResultFileFailedText);
        return;
    }
    SendMessage(win::WM_CLOSE, 0, 0);
}

void CMeasureDlg::OnShortcutTool() {
    StartPlatformTool(kShortcutToolPath, kShortcutToolCommandLine);
}

win::BOOL CMeasureDlg::DestroyWindow() {
    ReadMeasRecord(m_measRecord.bytes.data());
    if (m_measRecord.edmState() != 0) PostEdmCommand(kEdmStop, 0);
    return CDialog::DestroyWindow();
}

bool CMeasureDlg::WriteResultFileFromDialog() {
    static ResultRecord record;
    win::WCHAR hzAngle[kDialogFieldUnits] = {};
    win::WCHAR zenithAngle[kDialogFieldUnits] = {};
    win::WCHAR slopeDistance[kDialogFieldUnits] = {};
    GetDlgItemText(IDC_HZ_ANGLE, hzAngle, kDialogFieldUnits);
    GetDlgItemText(IDC_ZENITH_ANGLE, zenithAngle, kDialogFieldUnits);
    GetDlgItemText(IDC_SLOPE_DISTANCE, slopeDistance, kDialogFieldUnits);
    return WriteResultRecord(kResultFilePath, record, {hzAngle, zenithAngle, slopeDistance});
}

void CMeasureDlg::WriteResultFile() {
    static ResultRecord record;
    WriteResultRecord(kResultFilePath, record,
                      {m_strHorizAngle, m_strZenithAngle, m_strSlopeDistance});
}

bool CMeasureDlg::WriteVersionFile() {
    static ResultRecord record;
    CString p59, p58, p57, p56;
    p59.Format(u"%d", g_confParam59);
    p58.Format(u"%d", g_confParam58);
    p57.Format(u"%d", g_confParam57);
    p56.Format(u"%d", g_confParam56);
    return WriteResultRecord(kVersionFilePath, record, {p59, p58, p57, p56});
}

void StartPlatformTool(const char16_t* toolPath, const char16_t* commandLine) {
    const CString imagePath = g_installPath + toolPath;
    win::PROCESS_INFORMATION info;
    if (!win::CreateProcessW(imagePath, commandLine, nullptr, nullptr, win::FALSE, 0, nullptr,
                             nullptr, nullptr, &info)) {
        return;  // a tool that cannot be started is ignored
    }
    // Nothing uses the tool's handles; holding them would only keep its process object alive.
    if (info.hProcess) win::CloseHandle(info.hProcess);
    if (info.hThread) win::CloseHandle(info.hThread);
}
