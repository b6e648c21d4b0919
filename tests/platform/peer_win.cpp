// The peer on Windows: started beside the test program by the real CreateProcessW, with its
// current folder on the device's drive (inherited), its standard output going to a temporary
// file of its own that the test reads through a second handle. Nothing the test program starts
// outlives it.
#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/unicode.h"
#include "platform/windows_api.h"
#include "tests/platform/contract.h"

namespace nxtest {
namespace {

bool Invalid(::HANDLE handle) {
    return handle == reinterpret_cast<::HANDLE>(~std::uintptr_t{0});
}

std::wstring ToWide(const std::string& text) {
    const std::u16string wide = win::Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

// The command line that gives the program these arguments (the C runtime's quoting rules).
std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::wstring line = L"\"" + ToWide(program) + L"\"";
    for (const std::string& arg : args) {
        if (arg.find('"') != std::string::npos)
            throw std::runtime_error("peer argument with a quote: " + arg);
        const bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        std::wstring wide = ToWide(arg);
        // Backslashes before the closing quote would escape it.
        if (quote && !wide.empty() && wide.back() == L'\\') wide += L'\\';
        line += quote ? L" \"" + wide + L"\"" : L" " + wide;
    }
    return line;
}

// Sets the variables for as long as it lives, then puts back what was there.
class ExtraEnvironment {
  public:
    explicit ExtraEnvironment(const std::vector<std::string>& extraEnv) {
        for (const std::string& entry : extraEnv) {
            const std::size_t equals = entry.find('=');
            const std::wstring name = ToWide(entry.substr(0, equals));
            wchar_t old[4096];
            const DWORD length = ::GetEnvironmentVariableW(name.c_str(), old, std::size(old));
            saved_.push_back({name, length > 0 && length < std::size(old), std::wstring(old)});
            ::SetEnvironmentVariableW(name.c_str(), ToWide(entry.substr(equals + 1)).c_str());
        }
    }
    ~ExtraEnvironment() {
        for (const Saved& s : saved_)
            ::SetEnvironmentVariableW(s.name.c_str(), s.present ? s.value.c_str() : nullptr);
    }

  private:
    struct Saved {
        std::wstring name;
        bool present;
        std::wstring value;
    };
    std::vector<Saved> saved_;
};

// Whatever the test program starts (its peers, the programs it starts through the platform,
// and theirs) ends with it, also when it ends by a crash: it runs in a job that kills its
// processes once the job's last handle, the program's own, is closed.
const bool kProcessesEndWithTheTestProgram = [] {
    ::HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    return job &&
           ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits) &&
           ::AssignProcessToJobObject(job, ::GetCurrentProcess());
}();

}  // namespace

struct Peer::Running {
    ::HANDLE process = nullptr;
    ::HANDLE output = nullptr;  // reads the file that the peer's standard output appends to
    DWORD pid = 0;
    std::string text;  // read so far, without "\r"

    void ReadMore() {
        char buffer[4096];
        DWORD got = 0;
        while (::ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0)
            std::copy_if(buffer, buffer + got, std::back_inserter(text),
                         [](char c) { return c != '\r'; });
    }
};

std::string PeerProgram() {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string path = win::Utf16ToUtf8(std::u16string(self, self + length));
    return path.substr(0, path.find_last_of("\\/") + 1) + "platform_peer.exe";
}

Peer::Peer(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
    : running_(new Running) {
    static std::atomic<int> count{0};
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"nxpeer-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++count) + L".out";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // The peer's end only appends, so the test's reads never move where it writes.
    ::HANDLE sink =
        ::CreateFileW(file.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShareAll, &inherited,
                      CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (Invalid(sink)) throw std::runtime_error("cannot make the peer's output");
    running_->output =
        ::CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = sink;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring line = CommandLine(PeerProgram(), args);
    ::PROCESS_INFORMATION info{};
    BOOL started = FALSE;
    {
        const ExtraEnvironment environment(extraEnv);
        started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &info);
    }
    ::CloseHandle(sink);
    if (!started || Invalid(running_->output)) {
        if (!Invalid(running_->output)) ::CloseHandle(running_->output);
        throw std::runtime_error("cannot start the peer: error " +
                                 std::to_string(::GetLastError()));
    }
    ::CloseHandle(info.hThread);
    running_->process = info.hProcess;
    running_->pid = info.dwProcessId;
}

Peer::~Peer() {
    if (!running_) return;
    Kill();
    ::CloseHandle(running_->process);
    ::CloseHandle(running_->output);
}

Peer::Peer(Peer&& other) noexcept = default;

win::DWORD Peer::pid() const {
    return running_->pid;
}

std::string Peer::Line(std::size_t n, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        running_->ReadMore();
        std::size_t at = 0;
        for (std::size_t i = 0; i < n && at != std::string::npos; ++i) {
            at = running_->text.find('\n', at);
            if (at != std::string::npos) ++at;
        }
        const std::size_t stop = at == std::string::npos ? at : running_->text.find('\n', at);
        if (stop != std::string::npos) return running_->text.substr(at, stop - at);
        if (std::chrono::steady_clock::now() >= end) return "";
        ::Sleep(5);
    }
}

std::optional<int> Peer::Wait(std::chrono::milliseconds timeout) {
    if (::WaitForSingleObject(running_->process, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(running_->process, &code);
    return static_cast<int>(code);
}

void Peer::Kill() {
    if (::WaitForSingleObject(running_->process, 0) == WAIT_OBJECT_0) return;
    ::TerminateProcess(running_->process, 1);
    ::WaitForSingleObject(running_->process, 10000);
}

std::string Peer::Output() {
    running_->ReadMore();
    return running_->text;
}

void KillProcess(win::DWORD processId) {
    if (::HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId)) {
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, 10000);
        ::CloseHandle(process);
    }
}

void ReapProcess(win::DWORD) {}

}  // namespace nxtest
