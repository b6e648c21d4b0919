// Named memory sections: a file in the runtime folder (in memory under /dev/shm), mapped
// shared by every process that opens it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

#include "platform/error_code.h"
#include "platform/fault.h"
#include "platform/handle_table.h"
#include "platform/runtime_folder.h"
#include "platform/section.h"
#include "platform/unique_fd.h"

namespace win {
namespace {

using detail::UniqueFd;

// Larger sections are refused: the device's programs share a few hundred bytes.
constexpr std::uint64_t kLargestSection = std::uint64_t{1} << 30;

class Section final : public KernelObject {
  public:
    explicit Section(UniqueFd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;
};

// The views mapped in this process, so that UnmapViewOfFile knows their lengths and refuses
// anything else.
struct Views {
    std::mutex lock;
    std::map<const void*, std::size_t> lengths;
};

Views& AllViews() {
    static Views* views = new Views;  // never destroyed: views may outlive static objects
    return *views;
}

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// Grows the file to size unless it is already at least that big. The lock keeps two openers
// asking for different sizes from shrinking each other's section.
bool GrowTo(int fd, off_t size) {
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && (st.st_size >= size || ftruncate(fd, size) == 0);
    flock(fd, LOCK_UN);
    return ok;
}

}  // namespace

HANDLE CreateFileMappingW(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, std::u16string_view name) {
    const std::uint64_t size = (std::uint64_t{sizeHigh} << 32) | sizeLow;
    if (file != INVALID_HANDLE_VALUE || securityAttributes || protect != PAGE_READWRITE ||
        size == 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (size > kLargestSection) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (fault::ShouldFail(fault::Op::CreateSection)) return Fail(ERROR_NOT_ENOUGH_MEMORY);

    UniqueFd fd;
    bool existed = false;
    if (name.empty()) {
        // An unnamed section is private to its opener.
        fd.Reset(memfd_create("nxsection", MFD_CLOEXEC));
    } else {
        const std::string folder = detail::RuntimeSubdirectory("sections");
        if (folder.empty()) return Fail(detail::ErrorFromErrno(errno));
        const std::string path = folder + "/" + detail::ObjectFileName(name);
        fd.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd.valid() && errno == EEXIST) {
            existed = true;
            fd.Reset(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        }
    }
    if (!fd.valid() || !GrowTo(fd.get(), static_cast<off_t>(size)))
        return Fail(detail::ErrorFromErrno(errno));
    HANDLE handle = detail::RegisterHandle(std::make_unique<Section>(std::move(fd)));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

void* MapViewOfFile(HANDLE section, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytesToMap) {
    auto* object = detail::FindHandleOf<Section>(section);
    if (!object) return nullptr;
    const std::uint64_t offset = (std::uint64_t{offsetHigh} << 32) | offsetLow;
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    struct stat st {};
    if (fstat(object->fd(), &st) != 0) return Fail(detail::ErrorFromErrno(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if ((desiredAccess & FILE_MAP_ALL_ACCESS) == 0 || offset % page != 0 || offset >= size ||
        bytesToMap > size - offset)
        return Fail(ERROR_INVALID_PARAMETER);
    if (fault::ShouldFail(fault::Op::MapView)) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const std::size_t length = bytesToMap ? bytesToMap : static_cast<std::size_t>(size - offset);
    void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, object->fd(),
                      static_cast<off_t>(offset));
    if (view == MAP_FAILED) return Fail(detail::ErrorFromErrno(errno));
    Views& views = AllViews();
    std::lock_guard guard(views.lock);
    views.lengths[view] = length;
    return view;
}

BOOL UnmapViewOfFile(const void* view) {
    Views& views = AllViews();
    std::size_t length = 0;
    {
        std::lock_guard guard(views.lock);
        auto it = views.lengths.find(view);
        if (it == views.lengths.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        length = it->second;
        views.lengths.erase(it);
    }
    munmap(const_cast<void*>(view), length);
    return TRUE;
}

}  // namespace win
