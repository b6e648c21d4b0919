#include "tests/window/test_dialog.h"

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/message.h"

namespace nxtest {

using namespace win;

void RecordingRenderer::WaitForInput(int queueDescriptor) {
    ++waits;
    if (!script.empty()) {
        auto next = std::move(script.front());
        script.erase(script.begin());
        next();
        return;
    }
    // A modal loop that never ends would hang the test program: give up after about 5 s.
    if (waits > 100) {
        std::fprintf(stderr, "RecordingRenderer: the loop waited 100 times without input\n");
        std::abort();
    }
    struct pollfd entry {
        queueDescriptor, POLLIN, 0
    };
    ::poll(&entry, 1, 50);
}

RecordingRenderer& InstallRecordingRenderer() {
    auto renderer = std::make_unique<RecordingRenderer>();
    RecordingRenderer& installed = *renderer;
    SetRenderer(std::move(renderer));
    return installed;
}

void DrainQueue() {
    MSG msg;
    while (PeekMessageW(&msg)) {
    }
}

}  // namespace nxtest
