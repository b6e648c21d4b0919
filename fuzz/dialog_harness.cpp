#include "fuzz/dialog_harness.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/run_mode.h"
#include "dialog/resource.h"
#include "fuzz/fuzz_check.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "output/result_file.h"
#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/renderer_posix.h"
#include "platform/section.h"
#include "tools/vlout/result_file_decoder.h"

namespace nxfuzz {
namespace {

namespace fs = std::filesystem;

std::string g_deviceRoot;
std::string g_runtimeFolder;

void RemoveDevice() {
    std::error_code ignored;
    if (!g_runtimeFolder.empty()) fs::remove_all(g_runtimeFolder, ignored);
    if (!g_deviceRoot.empty()) fs::remove_all(g_deviceRoot, ignored);
}

// In memory when the host has /dev/shm: the dialog's writers flush every file they write.
std::string MakeDeviceRoot() {
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/nxfuzz-device.XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    FUZZ_CHECK(mkdtemp(path.data()) != nullptr);
    return path.data();
}

}  // namespace

void SetUpDialogWorld() {
    if (!g_deviceRoot.empty()) return;
    g_deviceRoot = MakeDeviceRoot();
    setenv("DEVICE_ROOT", g_deviceRoot.c_str(), 1);
    g_runtimeFolder = win::RuntimeDirectory();
    std::atexit(RemoveDevice);

    win::SetRenderer(win::MakeHeadlessRenderer());
    FUZZ_CHECK(OpenMeasResources());
    FUZZ_CHECK(g_msgDataChange != 0 && g_msgListParameter != 0 && g_msgTiltOver != 0);
    FUZZ_CHECK(g_measView != nullptr && g_measMutex != nullptr);

    g_measThreadId = 0;  // no thread has this id: every post fails
    g_installPath = u"\\NOTOOLS\\";
}

void SetSharedRecord(std::span<const std::uint8_t> bytes) {
    std::size_t n = std::min(bytes.size(), kMeasRecordSize);
    std::copy_n(bytes.begin(), n, g_measView);
    std::fill(g_measView + n, g_measView + kMeasRecordSize, std::uint8_t{0});
}

std::optional<std::string> TakeDeviceFile(const char16_t* devicePath) {
    std::string path = win::ResolveDevicePath(devicePath);
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::error_code ignored;
    fs::remove(path, ignored);
    return bytes;
}

void CheckResultFile(const std::string& bytes, std::span<const std::u16string> fields) {
    FUZZ_CHECK(bytes.size() == kResultRecordSize);
    std::size_t lineLength = 0;
    for (const std::u16string& field : fields)
        lineLength += field.substr(0, field.find(u'\0')).size() + 1;
    if (lineLength > kResultRecordSize / 2 - 1) return;  // cut to fit: no layout to check

    auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    vlout::DecodedResultFile decoded = vlout::DecodeResultFile({data, bytes.size()});
    FUZZ_CHECK(decoded.ok());
    FUZZ_CHECK(decoded.fields.size() == fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) FUZZ_CHECK(decoded.fields[i] == fields[i]);
}

void CheckControlsMatchMembers(const CMeasureDlg& dialog) {
    win::HWND window = dialog.m_hWnd;
    FUZZ_CHECK(win::GetDlgItemText(window, IDC_HZ_ANGLE) == dialog.m_strHorizAngle.str());
    FUZZ_CHECK(win::GetDlgItemText(window, IDC_ZENITH_ANGLE) == dialog.m_strZenithAngle.str());
    FUZZ_CHECK(win::GetDlgItemText(window, IDC_SLOPE_DISTANCE) == dialog.m_strSlopeDistance.str());
    int checked = 0, checkedIndex = -1;
    for (int id : {IDC_UNIT_DEGREE, IDC_UNIT_GON, IDC_UNIT_MIL}) {
        if (win::IsDlgButtonChecked(window, id) == win::BST_CHECKED) {
            ++checked;
            checkedIndex = id - IDC_UNIT_DEGREE;
        }
    }
    FUZZ_CHECK(checked <= 1);
    bool named = dialog.m_nAngleUnit >= 0 && dialog.m_nAngleUnit <= 2;
    FUZZ_CHECK(checkedIndex == (named ? dialog.m_nAngleUnit : -1));
}

}  // namespace nxfuzz
