#include "tests/faults/campaign.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>

#include "output/result_file.h"
#include "tools/vlout/result_file_decoder.h"

namespace nxfault {
namespace {

namespace fs = std::filesystem;

int EnvInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    return std::atoi(value);
}

std::uint64_t CampaignSeed() {
    if (const char* value = std::getenv("NX_FAULT_SEED"); value && *value)
        return std::strtoull(value, nullptr, 0);
    return std::random_device{}();
}

}  // namespace

int CampaignRounds() {
    return EnvInt("NX_FAULT_ROUNDS", NX_FAULT_ROUNDS_DEFAULT);
}

int CampaignParallelism() {
    return std::max(1, EnvInt("NX_FAULT_PARALLEL", 16));
}

std::vector<std::string> RunCampaign(
    const std::string& name, int cases,
    const std::function<void(int, std::mt19937_64&, Findings&)>& body) {
    const std::uint64_t seed = CampaignSeed();
    std::cout << "[ campaign ] " << name << ": " << cases << " cases, " << CampaignParallelism()
              << " at once, NX_FAULT_SEED=" << seed << std::endl;
    std::mutex lock;
    std::vector<std::string> failures;
    std::vector<long> runTimes;
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < cases; i = next++) {
            std::mt19937_64 rng(seed + static_cast<std::uint64_t>(i));
            Findings findings;
            try {
                body(i, rng, findings);
            } catch (const std::exception& e) {
                findings.Add(std::string("exception: ") + e.what());
            }
            std::lock_guard<std::mutex> guard(lock);
            if (findings.runTime().count() >= 0) runTimes.push_back(findings.runTime().count());
            for (const std::string& finding : findings.all())
                failures.push_back("case " + std::to_string(i) +
                                   " (NX_FAULT_SEED=" + std::to_string(seed) + "): " + finding);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < std::min(cases, CampaignParallelism()); ++t) threads.emplace_back(worker);
    for (auto& thread : threads) thread.join();
    if (!runTimes.empty()) {
        std::sort(runTimes.begin(), runTimes.end());
        std::cout << "[ campaign ] " << name << ": bridge run times: median "
                  << runTimes[runTimes.size() / 2] << " ms, longest " << runTimes.back() << " ms"
                  << std::endl;
    }
    return failures;
}

FaultDevice::FaultDevice(const std::string& scenario) {
    device_.WriteFile("scenario.ini", scenario);
    nxtest::ProcessResult init =
        nxtest::RunProcess({NXDEVICE_PATH, "init", device_.root(), "--prefix", "\\FlashDisk\\",
                            "--ini", device_.Path("scenario.ini")},
                           device_);
    if (init.exitCode != 0) throw std::runtime_error("nxdevice init failed: " + init.err);
    fs::remove(device_.Path("scenario.ini"));
}

nxtest::Child FaultDevice::StartStandIn() {
    return nxtest::Child({device_.Path("FlashDisk/NEDIX/NX.EXE")}, device_);
}

void FaultDevice::Stop() {
    nxtest::RunProcess({NXDEVICE_PATH, "stop"}, device_, std::chrono::seconds(10));
}

bool FaultDevice::Click(int controlId) const {
    return nxtest::RunProcess({NXDEVICE_PATH, "click", std::to_string(controlId)}, device_,
                              std::chrono::seconds(10))
               .exitCode == 0;
}

namespace {

// The lines of "nxdevice ps" that name NX.EXE: process id and first thread.
std::vector<std::pair<pid_t, std::uint32_t>> ListedMeasPrograms(const nxtest::TempDevice& device) {
    std::istringstream lines(nxtest::RunProcess({NXDEVICE_PATH, "ps"}, device).out);
    std::vector<std::pair<pid_t, std::uint32_t>> listed;
    unsigned long pid = 0, thread = 0;
    std::string name;
    for (std::string line; std::getline(lines, line);)
        if (std::istringstream(line) >> pid >> thread >> name && name == "NX.EXE")
            listed.emplace_back(static_cast<pid_t>(pid), static_cast<std::uint32_t>(thread));
    return listed;
}

}  // namespace

std::uint32_t FaultDevice::StandInThreadId() const {
    auto listed = ListedMeasPrograms(device_);
    return listed.empty() ? 0 : listed.front().second;
}

std::vector<pid_t> FaultDevice::MeasProgramIds() const {
    std::vector<pid_t> ids;
    for (const auto& listed : ListedMeasPrograms(device_)) ids.push_back(listed.first);
    return ids;
}

bool FaultDevice::HasWindow() const {
    nxtest::ProcessResult windows =
        nxtest::RunProcess({NXDEVICE_PATH, "windows"}, device_, std::chrono::seconds(10));
    // A heading line, then one line per window.
    return windows.exitCode == 0 && std::count(windows.out.begin(), windows.out.end(), '\n') > 1;
}

std::string CleanEnd(nxtest::Child& program) {
    if (!program.Ended()) return "still running";
    const std::string errors = program.Errors();
    for (const char* report : {"Sanitizer", "runtime error:"}) {
        std::size_t at = errors.find(report);
        if (at != std::string::npos) {
            std::size_t from = errors.rfind('\n', at);
            from = from == std::string::npos ? 0 : from + 1;
            return "sanitizer report: " + errors.substr(from, errors.find('\n', at) - from);
        }
    }
    if (program.signal() != 0) return "ended by signal " + std::to_string(program.signal());
    if (program.exitCode() != 0) return "exit code " + std::to_string(program.exitCode());
    return "";
}

std::string ResultFileBytes(const std::vector<std::u16string>& fields) {
    std::vector<std::u16string_view> views(fields.begin(), fields.end());
    ResultRecord record;
    record.Compose(views);
    return std::string(record.bytes().begin(), record.bytes().end());
}

std::string CheckWholeOrPrevious(const std::string& bytes, const std::string& previous,
                                 std::size_t fieldCount) {
    if (bytes == previous) return "";
    if (bytes.empty()) return "the previous file is gone and no new one stands";
    auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    vlout::DecodedResultFile decoded = vlout::DecodeResultFile({data, bytes.size()});
    if (!decoded.ok()) return "a file that is neither the previous nor whole: " + decoded.error;
    if (decoded.fields.size() != fieldCount) {
        return "a whole file with " + std::to_string(decoded.fields.size()) + " fields, not " +
               std::to_string(fieldCount);
    }
    return "";
}

std::string ReadOrEmpty(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) return "";
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

FileWatcher::FileWatcher(std::string hostPath, std::string previous, std::size_t fieldCount)
    : hostPath_(std::move(hostPath)), previous_(std::move(previous)), fieldCount_(fieldCount) {
    thread_ = std::thread([this] {
        while (!stop_ && finding_.empty()) {
            // One read sees one file: the device replaces a file by a rename, never in place.
            std::string bytes = ReadOrEmpty(hostPath_);
            std::string problem = CheckWholeOrPrevious(bytes, previous_, fieldCount_);
            if (!problem.empty()) finding_ = "while the run lasted: " + problem;
            // A whole new file becomes the previous one for the samples that follow.
            previous_ = bytes;
            std::this_thread::sleep_for(milliseconds(15));
        }
    });
}

FileWatcher::~FileWatcher() {
    Finish();
}

std::string FileWatcher::Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return finding_;
}

std::vector<std::string> LeftTemporaries(const nxtest::TempDevice& device) {
    std::vector<std::string> left;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(device.root(), error)) {
        std::string name = entry.path().filename().string();
        if (name.find(".nxtmp.") != std::string::npos) left.push_back(name);
    }
    return left;
}

}  // namespace nxfault
