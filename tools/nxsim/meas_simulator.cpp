#include "tools/nxsim/meas_simulator.h"

#include <cstdio>
#include <cstring>

#include "link/protocol/meas_protocol.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/section.h"
#include "platform/unicode.h"

namespace nxsim {
namespace {

using std::chrono::milliseconds;

// Milliseconds until a point in time, rounded up so that a poll never wakes before it.
int MillisecondsUntil(MeasSimulator::Clock::time_point when) {
    auto left = when - MeasSimulator::Clock::now();
    if (left <= left.zero()) return 0;
    auto ms = std::chrono::ceil<milliseconds>(left).count();
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
}

std::optional<MeasSimulator::Clock::time_point> After(MeasSimulator::Clock::time_point start,
                                                      std::int32_t ms) {
    if (ms <= 0) return std::nullopt;
    return start + milliseconds(ms);
}

}  // namespace

MeasSimulator::MeasSimulator(const Scenario& scenario, Clock::time_point start, Waiting& waiting)
    : scenario_(scenario), start_(start), waiting_(waiting), record_(scenario.record) {
    nextNotify_ = After(start, scenario.periodMs);
    tiltOver_ = After(start, scenario.tiltOverMs);
    exitAt_ = After(start, scenario.exitAfterMs);
    dieAt_ = After(start, scenario.dieHoldingMutexMs);
}

MeasSimulator::~MeasSimulator() {
    workers_.reset();  // before the mutex and the view they use
    if (view_) win::UnmapViewOfFile(view_);
    if (section_) win::CloseHandle(section_);
    if (mutex_) win::CloseHandle(mutex_);
}

bool MeasSimulator::Open(bool* stopped) {
    *stopped = false;
    if (!log_.Open(scenario_.logFile)) {
        std::fprintf(stderr, "nxsim: cannot open the log file %s\n", log_.ErrorText().c_str());
        return false;
    }
    // The delay counts from the start of the process; a stop request cuts it short.
    if (!waiting_.Pause(MillisecondsUntil(start_ + milliseconds(scenario_.startDelayMs)))) {
        *stopped = true;
        return false;
    }
    // The queue first, so that commands posted from now on are kept for the loop.
    if (!waiting_.CreateQueue()) return false;
    if (!RegisterMessages() || !OpenSharedRecord()) return false;
    Rewrite();
    // Started from this thread, they block the stop signals as it does: a stop request still
    // reaches the loop.
    workers_.emplace(static_cast<std::size_t>(scenario_.workers), mutex_, view_);
    return true;
}

bool MeasSimulator::RegisterMessages() {
    struct Row {
        const char16_t* name;
        win::UINT* id;
    };
    const Row rows[] = {
        {kMsgDataChange, &ids_.dataChange},       {kMsgSetEdmMode, &ids_.setEdmMode},
        {kMsgSetParameter, &ids_.setParameter},   {kMsgConfParameter, &ids_.confParameter},
        {kMsgListParameter, &ids_.listParameter}, {kMsgTiltOver, &ids_.tiltOver}};
    for (const Row& row : rows) {
        *row.id = win::RegisterWindowMessageW(row.name);
        if (*row.id == 0) {
            std::fprintf(stderr, "nxsim: cannot register the message %s\n",
                         win::Utf16ToUtf8(row.name).c_str());
            return false;
        }
    }
    return true;
}

bool MeasSimulator::OpenSharedRecord() {
    section_ = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr, win::PAGE_READWRITE, 0,
                                       kMeasRecordSize, kMeasSectionName);
    if (section_) view_ = win::MapViewOfFile(section_, win::FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view_) mutex_ = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
    if (!mutex_) {
        std::fprintf(stderr, "nxsim: cannot open the shared record (error %u)\n",
                     static_cast<unsigned>(win::GetLastError()));
        return false;
    }
    return true;
}

int MeasSimulator::Run() {
    for (;;) {
        if (!FireTimers(Clock::now())) return 0;
        std::optional<Clock::time_point> next = NextTimer();
        switch (waiting_.Wait(next ? MillisecondsUntil(*next) : -1)) {
            case Waiting::Event::Stop:
                return 0;
            case Waiting::Event::Failed:
                return 1;
            case Waiting::Event::Message:
            case Waiting::Event::Timeout:
                break;
        }
        win::MSG msg;
        while (win::PeekMessageW(&msg)) {
            if (msg.message == win::WM_QUIT) return 0;
            Handle(msg);
        }
    }
}

void MeasSimulator::Handle(const win::MSG& msg) {
    const win::UINT m = msg.message;
    std::u16string name = win::GetRegisteredMessageName(m);
    char fallback[16];
    std::snprintf(fallback, sizeof fallback, "0x%04X", static_cast<unsigned>(m));
    log_.Append(name.empty() ? fallback : win::Utf16ToUtf8(name), msg.wParam, msg.lParam);

    if (m == ids_.setEdmMode) {
        HandleEdmCommand(msg.wParam);
    } else if (m == ids_.setParameter && msg.wParam == kParamAngleUnit) {
        record_.setAngleUnit(static_cast<std::int8_t>(msg.lParam));
        Rewrite();
    } else if (m == ids_.setParameter) {
        std::fprintf(stderr, "nxsim: unknown parameter %u in NXSETPARAMETER, ignored\n",
                     static_cast<unsigned>(msg.wParam));
    } else if (m == ids_.confParameter) {
        HandleConfParameter(msg.wParam);
    } else {
        std::fprintf(stderr, "nxsim: unknown message %s, ignored\n",
                     name.empty() ? fallback : win::Utf16ToUtf8(name).c_str());
    }
}

void MeasSimulator::HandleEdmCommand(win::WPARAM code) {
    switch (static_cast<std::int32_t>(code)) {
        case kEdmMeasure:
        case kEdmMeasureOnce:
            // A new start restarts a measurement in progress.
            record_.setEdmState(kEdmStateMeasuring);
            Rewrite();
            measureDone_ = Clock::now() + milliseconds(scenario_.measureMs);
            break;
        case kEdmStop:
            measureDone_.reset();
            record_.setEdmState(0);
            Rewrite();
            break;
        default:
            std::fprintf(stderr, "nxsim: unknown NXSETEDMMODE code %u, ignored\n",
                         static_cast<unsigned>(code));
    }
}

void MeasSimulator::HandleConfParameter(win::WPARAM number) {
    const auto n = static_cast<std::int32_t>(number);
    if (scenario_.ignoreConf.count(n)) return;
    std::int32_t value;
    switch (n) {
        case kParamAngleUnit:
            value = scenario_.p11.value_or(record_.angleUnit());
            break;
        case kParamVersion59:
            value = scenario_.p59;
            break;
        case kParamVersion58:
            value = scenario_.p58;
            break;
        case kParamVersion57:
            value = scenario_.p57;
            break;
        case kParamVersion56:
            value = scenario_.p56;
            break;
        default:
            std::fprintf(stderr, "nxsim: unknown parameter %u in NXCONFPARAMETER, ignored\n",
                         static_cast<unsigned>(number));
            return;
    }
    Notify(ids_.listParameter, number, value);
}

std::optional<MeasSimulator::Clock::time_point> MeasSimulator::NextTimer() const {
    std::optional<Clock::time_point> next;
    for (const auto& timer : {measureDone_, nextNotify_, tiltOver_, exitAt_, dieAt_})
        if (timer && (!next || *timer < *next)) next = timer;
    return next;
}

bool MeasSimulator::FireTimers(Clock::time_point now) {
    auto due = [now](std::optional<Clock::time_point>& timer) {
        if (!timer || *timer > now) return false;
        timer.reset();
        return true;
    };
    if (due(dieAt_)) DieHoldingMutex();
    if (due(exitAt_)) return false;
    if (due(tiltOver_)) Notify(ids_.tiltOver);
    if (due(measureDone_)) {
        record_.setSlopeDistance(scenario_.distance);
        record_.setDistanceValid(1);
        record_.setEdmState(1);
        Rewrite();
    }
    if (nextNotify_ && *nextNotify_ <= now) {
        Notify(ids_.dataChange);
        // Keep the beat from the start; a late wake-up skips the missed beats.
        const milliseconds period(scenario_.periodMs);
        while (*nextNotify_ <= now) *nextNotify_ += period;
    }
    return true;
}

void MeasSimulator::Rewrite() {
    win::DWORD wait = win::WaitForSingleObject(mutex_, win::INFINITE);
    if (wait != win::WAIT_OBJECT_0 && wait != win::WAIT_ABANDONED) {
        std::fprintf(stderr, "nxsim: cannot take NXMUTEX (error %u); record not written\n",
                     static_cast<unsigned>(win::GetLastError()));
        return;
    }
    std::memcpy(view_, record_.bytes.data(), kMeasRecordSize);
    if (scenario_.holdMutexMs > 0) win::Sleep(static_cast<win::DWORD>(scenario_.holdMutexMs));
    win::ReleaseMutex(mutex_);
    Notify(ids_.dataChange);
}

void MeasSimulator::Notify(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    // No window to receive it is no error: nobody is listening yet.
    win::PostMessageW(win::HWND_BROADCAST, message, wParam, lParam);
}

void MeasSimulator::DieHoldingMutex() {
    win::WaitForSingleObject(mutex_, win::INFINITE);
    std::fprintf(stderr, "nxsim: dying while holding NXMUTEX, as the scenario asks\n");
    EndAbruptly();
}

}  // namespace nxsim
