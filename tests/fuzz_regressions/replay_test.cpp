// Replays one fuzz target over the inputs committed for it: each file is a test of its own, so
// that an input that fails names itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

std::vector<std::string> InputFiles() {
    std::vector<std::string> files;
    std::stringstream dirs(FUZZ_INPUT_DIRS);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (entry.is_regular_file()) files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzReplay : public testing::TestWithParam<std::string> {};

TEST_P(FuzzReplay, InputPassesTheTargetsChecks) {
    static bool initialised = false;
    if (!initialised && LLVMFuzzerInitialize) {
        int argc = 0;
        char** argv = nullptr;
        LLVMFuzzerInitialize(&argc, &argv);
    }
    initialised = true;
    std::ifstream in(GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // libFuzzer hands over a heap block of exactly the input's size; so does the replay, so
    // that an over-read is caught here too.
    auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
    fs::path path(info.param);
    std::string name = path.parent_path().filename().string() + "_" + path.filename().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(FUZZ_TARGET_ID, FuzzReplay, testing::ValuesIn(InputFiles()), TestName);

}  // namespace
