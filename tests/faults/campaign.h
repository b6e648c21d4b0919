#pragma once
// The fault campaign's support: cases run in parallel, each on a device of its own laid out
// with the measurement program's stand-in; the check that a run ended cleanly; and the check
// that a result file is always either the previous whole file or a new whole one.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxfault {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Cases per campaign: NX_FAULT_ROUNDS, else 50 (10 in the sanitizer build).
int CampaignRounds();

// Cases that run at once: NX_FAULT_PARALLEL, else 16. The runs mostly wait.
int CampaignParallelism();

// One case's findings; empty when the case passed.
class Findings {
  public:
    void Add(const std::string& finding) { findings_.push_back(finding); }
    bool empty() const { return findings_.empty(); }
    const std::vector<std::string>& all() const { return findings_; }

    // How long the case's bridge ran, for the campaign's summary.
    void NoteRunTime(milliseconds elapsed) { runTime_ = elapsed; }
    milliseconds runTime() const { return runTime_; }

  private:
    std::vector<std::string> findings_;
    milliseconds runTime_{-1};
};

// Runs body(index, rng, findings) for each case on a pool of threads. Case i draws from a
// generator seeded with the campaign's seed plus i: NX_FAULT_SEED replays a campaign. Returns
// every finding as "case I: ..." with the seed named, ready for the test's failure message.
// Prints the median and the longest of the run times the cases noted.
std::vector<std::string> RunCampaign(
    const std::string& name, int cases,
    const std::function<void(int, std::mt19937_64&, Findings&)>& body);

// A device laid out by "nxdevice init" with the stand-in under \FlashDisk\ and the scenario.
class FaultDevice {
  public:
    explicit FaultDevice(const std::string& scenario);

    const nxtest::TempDevice& device() const { return device_; }
    std::string HostPath(const std::string& rootFile) const { return device_.Path(rootFile); }

    // Starts the stand-in as the field software finds it: already running.
    nxtest::Child StartStandIn();

    // Ends every process of the device and sweeps its runtime folder ("nxdevice stop").
    void Stop();

    // "nxdevice click ID"; false when the tool reported a failure.
    bool Click(int controlId) const;
    // The first thread of the running NX.EXE, as "nxdevice ps" lists it; 0 when none runs.
    std::uint32_t StandInThreadId() const;
    // The process ids of every NX.EXE that "nxdevice ps" lists.
    std::vector<pid_t> MeasProgramIds() const;
    // True when the device lists a top-level window.
    bool HasWindow() const;

  private:
    nxtest::TempDevice device_;
};

// "" when the program ended by itself with exit code 0 and no sanitizer report; otherwise
// what was wrong.
std::string CleanEnd(nxtest::Child& program);

// The bytes of a whole result file for the fields: what the writers write on their first write.
std::string ResultFileBytes(const std::vector<std::u16string>& fields);

// "" when bytes are the previous file or a whole new result file with fieldCount fields;
// otherwise what is wrong. A missing file counts as bytes "" (previous may be "" too).
std::string CheckWholeOrPrevious(const std::string& bytes, const std::string& previous,
                                 std::size_t fieldCount);

// The bytes of a host file, "" when there is none.
std::string ReadOrEmpty(const std::string& hostPath);

// Watches a result file while a run lasts: samples it every few milliseconds and keeps the
// first state that is neither the previous file nor a whole new one.
class FileWatcher {
  public:
    FileWatcher(std::string hostPath, std::string previous, std::size_t fieldCount);
    ~FileWatcher();
    // Stops watching; "" when every sample was whole.
    std::string Finish();

  private:
    std::string hostPath_, previous_;
    std::size_t fieldCount_;
    std::atomic<bool> stop_{false};
    std::string finding_;
    std::thread thread_;
};

// Temporary files a writer left in the device's root folder.
std::vector<std::string> LeftTemporaries(const nxtest::TempDevice& device);

}  // namespace nxfault
