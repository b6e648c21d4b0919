// Fuzz target: shared records, as the measurement program might leave them, through the
// dialog's data-change handling (copy under the mutex, formatting, display), then through both
// writers of "\VLMIS.OUT", for either firmware year.
//
// Input: one byte of flags (bit 0: firmware year 2009 instead of 2008), then up to four
// records of 120 bytes (a short last one is completed with zeros), delivered one after the
// other as an unattended run delivers them: by calling the window procedure directly.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/run_mode.h"
#include "dialog/resource.h"
#include "fuzz/dialog_harness.h"
#include "fuzz/fuzz_check.h"
#include "link/meas_link.h"
#include "output/result_file.h"
#include "platform/dialog.h"

namespace {

constexpr std::size_t kMaxRecords = 4;
constexpr std::size_t kEditFieldLimit = 19;  // characters of an edit that reach the file

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text; ++text) wide += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return wide;
}

// What one delivery must leave, given the texts before it and the record delivered.
void CheckDelivery(const CMeasureDlg& dialog, const MeasRecord& record,
                   const std::u16string& hzBefore, const std::u16string& vBefore,
                   const std::u16string& distanceBefore) {
    int unit = record.angleUnit();
    if (unit < 0 || unit > 2) {
        FUZZ_CHECK(dialog.m_strHorizAngle.str() == hzBefore);
        FUZZ_CHECK(dialog.m_strZenithAngle.str() == vBefore);
    } else {
        for (const CString* text : {&dialog.m_strHorizAngle, &dialog.m_strZenithAngle}) {
            FUZZ_CHECK(!text->IsEmpty() && text->GetLength() < 32);
            // Gon and mil carry a leading blank; degrees-minutes-seconds do not.
            FUZZ_CHECK((text->str()[0] == u' ') == (unit != 0));
        }
    }

    if (record.edmState() == 2) {
        FUZZ_CHECK(dialog.m_strSlopeDistance.IsEmpty());
    } else if (record.distanceValid() != 0) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%.3f", record.slopeDistance());
        FUZZ_CHECK(dialog.m_strSlopeDistance.str() == Widen(expected));
    } else {
        FUZZ_CHECK(dialog.m_strSlopeDistance.str() == distanceBefore);
    }

    std::u16string label = win::GetDlgItemText(dialog.m_hWnd, IDC_FIRMWARE_LABEL);
    FUZZ_CHECK(label ==
               (g_firmwareYear == 2008 ? u"Firmware:2008 DLL:1.02" : u"Firmware:2009 DLL:1.02"));
    nxfuzz::CheckControlsMatchMembers(dialog);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nxfuzz::SetUpDialogWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 1 + kMaxRecords * kMeasRecordSize) return -1;
    nxfuzz::SetUpDialogWorld();
    g_runMode = AnglesAndDistance;
    g_firmwareYear = (data[0] & 1) ? 2009 : 2008;

    CMeasureDlg dialog;
    FUZZ_CHECK(dialog.Create(IDD_MEASURE));
    for (std::size_t at = 1; at < size; at += kMeasRecordSize) {
        std::span<const std::uint8_t> bytes(data + at, std::min(kMeasRecordSize, size - at));
        nxfuzz::SetSharedRecord(bytes);
        MeasRecord record;
        std::copy(bytes.begin(), bytes.end(), record.bytes.begin());

        std::u16string hz = dialog.m_strHorizAngle.str(), v = dialog.m_strZenithAngle.str(),
                       distance = dialog.m_strSlopeDistance.str();
        dialog.WindowProc(g_msgDataChange, 0, 0);
        FUZZ_CHECK(dialog.m_measRecord.bytes == record.bytes);
        CheckDelivery(dialog, record, hz, v, distance);
    }

    // The writer of the unattended runs takes the strings as they stand...
    dialog.WriteResultFile();
    auto written = nxfuzz::TakeDeviceFile(kResultFilePath);
    FUZZ_CHECK(written.has_value());
    std::u16string fields[] = {dialog.m_strHorizAngle.str(), dialog.m_strZenithAngle.str(),
                               dialog.m_strSlopeDistance.str()};
    nxfuzz::CheckResultFile(*written, fields);

    // ...the one behind "Conferma" reads the edits, 19 characters of each at most.
    dialog.WriteResultFileFromDialog();
    written = nxfuzz::TakeDeviceFile(kResultFilePath);
    FUZZ_CHECK(written.has_value());
    for (std::u16string& field : fields) field = field.substr(0, kEditFieldLimit);
    nxfuzz::CheckResultFile(*written, fields);

    dialog.DestroyWindow();
    return 0;
}
