#include "tools/nxsetup/tool_log.h"

#include <cstdio>
#include <string>

#include "platform/append_file.h"
#include "platform/unicode.h"

namespace nxtool {

int AppendToolLine(int argc, char** argv) {
    std::string name = argc > 0 ? argv[0] : "";
    if (std::size_t slash = name.find_last_of("/\\"); slash != std::string::npos)
        name.erase(0, slash + 1);
    std::string line = name;
    for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
    line += "\n";

    win::AppendFile log;
    if (!log.Open(win::Utf8ToUtf16(kToolLogPath))) {
        std::fprintf(stderr, "%s: cannot open %s\n", name.c_str(), log.ErrorText().c_str());
        return 1;
    }
    if (!log.Append(line)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", name.c_str(), kToolLogPath,
                     log.ErrorText().c_str());
        return 1;
    }
    return 0;
}

}  // namespace nxtool
