#pragma once
// What the dialog's tests share: a link pointed at an in-process record and a recording queue,
// the run's globals set to known values, stand-ins for the two platform tools, and a dialog
// that scripts its own modal run.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/measure_dlg.h"
#include "link/protocol/meas_record.h"
#include "platform/message.h"
#include "tests/dialog/recording_queue.h"

namespace nxtest {

// A message the scripted dialog answers by ending its modal run with kGaveUp: it is posted
// after every script, so it is reached only when nothing in the script closed the dialog.
inline constexpr win::UINT kGiveUp = win::WM_USER + 0x3A8;
// The scripted dialog's own: posts script message wParam (then the next one's turn).
inline constexpr win::UINT kNextScripted = win::WM_USER + 0x3AB;
inline constexpr int kGaveUp = -99;

// A CMeasureDlg that posts a script of messages to its own window once it is initialised,
// and counts the framework operations the closing paths go through.
class ScriptedDlg : public CMeasureDlg {
  public:
    std::vector<win::MSG> script;  // hwnd is filled in when posted
    int resultWritesFromDialog = 0;
    int cancels = 0;
    int oks = 0;

    win::BOOL OnInitDialog() override;
    bool WriteResultFileFromDialog() override;
    void OnCancel() override;
    void OnOK() override;
    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override;
};

// Script steps. Test parameters are made before the registered ids are known, so the
// notifications stand in as placeholders until they are posted.
win::MSG Click(int controlId);
win::MSG Command(int commandId);
win::MSG ListParameter(win::WPARAM parameter, win::LPARAM value);
win::MSG DataChange();

MeasRecord MakeRecord(int unit, std::int32_t hz, std::int32_t v, int distanceValid, int edmState,
                      double distance);

class DialogTest : public testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The shared record the link copies from.
    static void SetSharedRecord(const MeasRecord& record);

    // What the dialog posted to the measurement thread since the last call, one
    // "NAME WPARAM LPARAM" each.
    std::vector<std::string> TakePosted();

    // The line of a 100-byte result file (up to its terminator), or nullopt when the file does
    // not exist. A file of another size fails the test.
    static std::optional<std::u16string> ResultLine(const char16_t* devicePath);

    // Lines the tool stand-ins logged: "setup ARGS" / "shortcut ARGS", waiting until there are
    // at least count of them.
    static std::vector<std::string> ToolLines(std::size_t count);

    std::unique_ptr<RecordingQueue> recorder_;
};

}  // namespace nxtest
