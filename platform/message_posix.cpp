// Registered message names: a device-wide table file "<hex id> <name>" per line, changed only
// under an exclusive lock.
#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_posix.h"
#include "platform/fault.h"
#include "platform/internal/system_posix.h"
#include "platform/message.h"
#include "platform/unicode.h"

namespace win {
namespace {

using sys::Fail;
using sys::UniqueFd;

constexpr UINT kFirstId = 0xC000;
constexpr UINT kLastId = 0xFFFF;
constexpr std::size_t kLongestName = 255;

struct Entry {
    UINT id;
    std::u16string name;
};

// Names are stored as UTF-8 with '%', control characters and DEL escaped as "%XX", so a name
// never breaks a line.
std::string EscapeName(std::u16string_view name) {
    std::string out;
    for (unsigned char c : Utf16ToUtf8(name)) {
        if (c < 0x20 || c == '%' || c == 0x7F) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out.append(escaped);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::u16string UnescapeName(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            std::string hex(text.substr(i + 1, 2));
            out.push_back(static_cast<char>(std::strtol(hex.c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return Utf8ToUtf16(out);
}

// Parses the complete lines of the table. complete is set to the length of the text up to
// the end of the last complete line: what follows was left by a writer that died mid-line.
std::vector<Entry> ParseTable(const std::string& text, std::size_t& complete) {
    std::vector<Entry> entries;
    complete = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        complete = at;
        std::size_t space = line.find(' ');
        if (space == std::string_view::npos || space == 0) continue;
        std::string hex(line.substr(0, space));
        char* stop = nullptr;
        unsigned long id = std::strtoul(hex.c_str(), &stop, 16);
        if (*stop != '\0' || id < kFirstId || id > kLastId) continue;
        entries.push_back({static_cast<UINT>(id), UnescapeName(line.substr(space + 1))});
    }
    return entries;
}

// This process's copy of what it has learnt from the table; ids never change once given.
struct Cache {
    std::mutex lock;
    std::map<std::u16string, UINT> idByUpperName;
    std::map<UINT, std::u16string> nameById;
};

Cache& TheCache() {
    static Cache* cache = new Cache;
    return *cache;
}

void Remember(Cache& cache, const Entry& entry) {
    std::u16string upper = entry.name;
    CharUpperW(upper);
    cache.idByUpperName.emplace(upper, entry.id);
    cache.nameById.emplace(entry.id, entry.name);
}

// The table's whole text, read under its lock, which table holds from then on.
sys::Result<std::string> ReadLocked(sys::Result<UniqueFd>& table) {
    if (RuntimeDirectory().empty()) return sys::Errno{EACCES};
    table = sys::OpenLocked(RuntimeDirectory() + "/messages", LOCK_EX);
    return table ? sys::ReadAll(table->get()) : table.failure();
}

}  // namespace

UINT RegisterWindowMessageW(std::u16string_view name) {
    if (name.empty() || name.size() > kLongestName) return Fail(ERROR_INVALID_PARAMETER, 0u);
    if (fault::ShouldFail(fault::Op::RegisterMessage)) return Fail(ERROR_GEN_FAILURE, 0u);
    std::u16string upper(name);
    CharUpperW(upper);
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    if (auto it = cache.idByUpperName.find(upper); it != cache.idByUpperName.end())
        return it->second;

    sys::Result<UniqueFd> table;
    auto text = ReadLocked(table);
    if (!text) return Fail(text, 0u);
    std::size_t complete = 0;
    UINT highest = kFirstId - 1;
    for (const Entry& entry : ParseTable(*text, complete)) {
        Remember(cache, entry);
        if (entry.id > highest) highest = entry.id;
    }
    if (auto it = cache.idByUpperName.find(upper); it != cache.idByUpperName.end())
        return it->second;
    if (highest >= kLastId) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0u);

    // A line cut short by a writer that died is dropped before the new one is appended, and a
    // line that cannot be written whole is taken back, so no reader trips over half a line.
    const Entry entry{highest + 1, std::u16string(name)};
    char idText[16];
    std::snprintf(idText, sizeof idText, "%04X ", entry.id);
    const std::string line = idText + EscapeName(name) + "\n";
    const auto end = static_cast<off_t>(complete);
    sys::Status status = sys::Truncate(table->get(), end);
    if (status) status = sys::WriteAll(table->get(), line, end);
    if (!status) {
        (void)sys::Truncate(table->get(), end);
        return Fail(status, 0u);
    }
    Remember(cache, entry);
    return entry.id;
}

std::u16string GetRegisteredMessageName(UINT id) {
    Cache& cache = TheCache();
    std::lock_guard guard(cache.lock);
    if (auto it = cache.nameById.find(id); it != cache.nameById.end()) return it->second;
    sys::Result<UniqueFd> table;
    auto text = ReadLocked(table);
    if (!text) return {};
    std::size_t complete = 0;
    for (const Entry& entry : ParseTable(*text, complete)) Remember(cache, entry);
    auto it = cache.nameById.find(id);
    return it == cache.nameById.end() ? std::u16string() : it->second;
}

}  // namespace win
