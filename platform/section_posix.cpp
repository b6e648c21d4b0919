// Named memory sections: a file in the runtime folder (in memory under /dev/shm), mapped
// shared by every process that opens it.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/fault.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/section.h"

namespace win {
namespace {

using sys::Fail;
using sys::UniqueFd;

// Larger sections are refused: the device's programs share a few hundred bytes.
constexpr std::uint64_t kLargestSection = std::uint64_t{1} << 30;

struct Section final : detail::KernelObject {
    explicit Section(UniqueFd file) : fd(std::move(file)) {}
    UniqueFd fd;
};

// A section never shrinks under its views, as on the device. Here its file could be cut short
// by another process of the user, and every access to a view past the new end would raise
// SIGBUS, which ends the process. So each view is guarded: a SIGBUS inside it grows the file
// back to the view's end (the lost bytes read as zeros until their writer writes them again) and
// the access is made again; should that not heal it, the view's pages become private zero pages
// (the process lives on, its view no longer shared). A SIGBUS anywhere else goes on as it would
// have without the guard. The guards are a fixed table that the signal handler reads without a
// lock; a view beyond its size is mapped unguarded.
struct Guard {
    std::atomic<std::uintptr_t> begin{0};  // 0: the slot is free
    std::atomic<std::size_t> length{0};
    std::atomic<off_t> end{0};    // the view's end in the file
    std::atomic<int> fd{-1};      // a descriptor of the section's file, the guard's own
    std::atomic<int> retries{0};  // faults met with the file at its size, since it was grown
};
// A fault in a view whose file has its size comes from another process that grew the file
// first (one retry heals it) or from memory running out; after this many such faults the view
// gives up its file.
constexpr int kRetriesAtSize = 100;
constexpr std::size_t kGuards = 64;
std::array<Guard, kGuards> g_guards;
struct sigaction g_previousBusHandler {};

void OnBusError(int number, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Guard& guard : g_guards) {
        const std::uintptr_t begin = guard.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address - begin >= guard.length.load()) continue;
        // Only what is async-signal-safe: fstat, ftruncate, and mmap (a plain system call).
        const int savedErrno = errno;
        const off_t end = guard.end.load();
        struct stat st {};
        bool retry = false;
        if (fstat(guard.fd.load(), &st) == 0 && st.st_size < end) {
            retry = ftruncate(guard.fd.load(), end) == 0;
            if (retry) guard.retries.store(0);
        } else {
            retry = ++guard.retries <= kRetriesAtSize;
        }
        if (!retry) {
            mmap(reinterpret_cast<void*>(begin), guard.length.load(), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        }
        errno = savedErrno;
        return;
    }
    if (g_previousBusHandler.sa_flags & SA_SIGINFO) {
        g_previousBusHandler.sa_sigaction(number, info, context);
    } else if (g_previousBusHandler.sa_handler != SIG_DFL &&
               g_previousBusHandler.sa_handler != SIG_IGN) {
        g_previousBusHandler.sa_handler(number);
    } else {
        // Returning makes the access again, which now ends the process as a SIGBUS does.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigaction(SIGBUS, &fallback, nullptr);
    }
}

// Guards a view of the section open as fd; the slot, or -1 when every slot is taken. Called
// under the lock of the views.
int GuardView(void* view, std::size_t length, off_t end, int fd) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previousBusHandler);
    });
    for (std::size_t slot = 0; slot < kGuards; ++slot) {
        Guard& guard = g_guards[slot];
        if (guard.begin.load() != 0 || guard.fd.load() != -1) continue;
        const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (own < 0) return -1;
        guard.fd.store(own);
        guard.retries.store(0);
        guard.length.store(length);
        guard.end.store(end);
        guard.begin.store(reinterpret_cast<std::uintptr_t>(view), std::memory_order_release);
        return static_cast<int>(slot);
    }
    return -1;
}

void Unguard(int slot) {
    if (slot < 0) return;
    Guard& guard = g_guards[static_cast<std::size_t>(slot)];
    guard.begin.store(0, std::memory_order_release);
    close(guard.fd.exchange(-1));
}

// The views mapped in this process, so that UnmapViewOfFile knows their lengths (and guards)
// and refuses anything else.
struct ViewInfo {
    std::size_t length;
    int guard;
};
struct Views {
    std::mutex lock;
    std::map<const void*, ViewInfo> all;
};

Views& AllViews() {
    static Views* views = new Views;  // never destroyed: views may outlive static objects
    return *views;
}

// Grows the file to size unless it is already at least that big. The lock keeps two openers
// asking for different sizes from shrinking each other's section.
sys::Status GrowTo(int fd, off_t size) {
    sys::Status status = sys::Lock(fd, LOCK_EX);
    if (!status) return status;
    auto st = sys::FileStat(fd);
    status = !st ? st.failure() : st->st_size >= size ? sys::Status() : sys::Truncate(fd, size);
    (void)sys::Lock(fd, LOCK_UN);
    return status;
}

}  // namespace

HANDLE CreateFileMappingW(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, std::u16string_view name) {
    const std::uint64_t size = (std::uint64_t{sizeHigh} << 32) | sizeLow;
    // A null file handle names the paging file too, as on Windows.
    if ((file != INVALID_HANDLE_VALUE && file != nullptr) || securityAttributes ||
        protect != PAGE_READWRITE || size == 0)
        return Fail(ERROR_INVALID_PARAMETER, nullptr);
    if (size > kLargestSection) return Fail(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    if (fault::ShouldFail(fault::Op::CreateSection)) return Fail(ERROR_NOT_ENOUGH_MEMORY, nullptr);

    // An unnamed section is private to its opener; a named one is made whole, at its size.
    sys::Result<UniqueFd> fd;
    bool created = true;
    if (name.empty()) {
        fd = sys::OpenMemory("nxsection");
    } else {
        auto folder = detail::RuntimeSubdirectory("sections");
        if (!folder) return Fail(folder, nullptr);
        auto initialise = [&](int made) { return sys::Truncate(made, static_cast<off_t>(size)); };
        fd = sys::OpenOrMake(*folder, detail::ObjectFileName(name), initialise, created);
    }
    if (!fd) return Fail(fd, nullptr);
    if (sys::Status grown = GrowTo(fd->get(), static_cast<off_t>(size)); !grown)
        return Fail(grown, nullptr);
    HANDLE handle = detail::RegisterHandle(std::make_unique<Section>(std::move(*fd)));
    SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return handle;
}

void* MapViewOfFile(HANDLE section, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytesToMap) {
    auto* object = detail::FindHandleOf<Section>(section);
    if (!object) return nullptr;
    const std::uint64_t offset = (std::uint64_t{offsetHigh} << 32) | offsetLow;
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    auto st = sys::FileStat(object->fd.get());
    if (!st) return Fail(st, nullptr);
    const auto size = static_cast<std::uint64_t>(st->st_size);
    if ((desiredAccess & FILE_MAP_ALL_ACCESS) == 0 || offset % page != 0 || offset >= size ||
        bytesToMap > size - offset)
        return Fail(ERROR_INVALID_PARAMETER, nullptr);
    if (fault::ShouldFail(fault::Op::MapView)) return Fail(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    const std::size_t length = bytesToMap ? bytesToMap : static_cast<std::size_t>(size - offset);
    auto mapped = sys::Map(length, object->fd.get(), static_cast<off_t>(offset));
    if (!mapped) return Fail(mapped, nullptr);
    void* view = *mapped;
    Views& views = AllViews();
    std::lock_guard guard(views.lock);
    views.all[view] = {
        length, GuardView(view, length, static_cast<off_t>(offset + length), object->fd.get())};
    return view;
}

BOOL UnmapViewOfFile(const void* view) {
    Views& views = AllViews();
    std::unique_lock guard(views.lock);
    auto info = views.all.extract(view);
    if (!info) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Unguard(info.mapped().guard);
    guard.unlock();
    munmap(const_cast<void*>(view), info.mapped().length);
    return TRUE;
}

}  // namespace win
