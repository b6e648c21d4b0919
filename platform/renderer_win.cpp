// The renderer choice on Windows. The real window system draws every window, so the only
// choice left is whether dialogs are shown: the headless renderer keeps the dialogs made from
// then on hidden (an unattended run's dialog, which no loop would ever serve).
#include "platform/renderer.h"
#include "platform/win_internal.h"

namespace win {
namespace {

// Stands for "headless" in SetRenderer; nothing is drawn through it.
class HiddenDialogs final : public Renderer {
  public:
    BaseUnits DialogBaseUnits(const DialogTemplate&) override { return {}; }
    RECT WorkArea() override { return GetWorkArea(); }
    void DialogChanged(HWND) override {}
    void DialogDestroyed(HWND) override {}
    int MessageBox(HWND, std::u16string_view, std::u16string_view, UINT) override { return IDOK; }
    void WaitForInput(int) override {}
};

}  // namespace

std::unique_ptr<Renderer> MakeHeadlessRenderer() {
    return std::make_unique<HiddenDialogs>();
}

void SetRenderer(std::unique_ptr<Renderer> renderer) {
    detail::SetDialogsShown(!dynamic_cast<HiddenDialogs*>(renderer.get()));
}

// Windows can always show dialogs: nothing to prepare.
void PrepareForDialogs() {}

}  // namespace win
