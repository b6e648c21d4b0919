// Floors: the same work as the platform's benchmarks, done with the host's bare calls.
//   - a process-shared, robust pthread mutex in a shared mapping, held for a 120-byte copy
//     (under the platform's lock + copy + unlock);
//   - a 16-byte message written to a FIFO and read by another process, which answers the same
//     way (under the platform's post between processes);
//   - 100 bytes written to a temporary file, flushed and renamed over the target, the folder
//     flushed (under the result file's write).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kRecordBytes = 120;
constexpr std::size_t kMessageBytes = 16;
constexpr std::size_t kResultBytes = 100;

std::uint64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

// A scratch folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = "/tmp/nxfloors-XXXXXX";
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The record and its mutex in one shared mapping, as another process would map them.
struct SharedRecord {
    pthread_mutex_t mutex;
    unsigned char bytes[kRecordBytes];
};

void BM_FloorMutexCopy(benchmark::State& state) {
    void* memory = mmap(nullptr, sizeof(SharedRecord), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    auto* shared = static_cast<SharedRecord*>(memory);
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&shared->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    unsigned char copy[kRecordBytes];
    for (auto _ : state) {
        if (pthread_mutex_lock(&shared->mutex) == EOWNERDEAD)
            pthread_mutex_consistent(&shared->mutex);
        std::memcpy(copy, shared->bytes, kRecordBytes);
        pthread_mutex_unlock(&shared->mutex);
        benchmark::DoNotOptimize(copy);
    }
    pthread_mutex_destroy(&shared->mutex);
    munmap(memory, sizeof(SharedRecord));
}
BENCHMARK(BM_FloorMutexCopy);

// Reads one whole message, waiting for it.
bool ReadMessage(int fd, unsigned char* message) {
    std::size_t got = 0;
    while (got < kMessageBytes) {
        ssize_t n = read(fd, message + got, kMessageBytes - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EAGAIN) {
            return false;
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, -1);
        }
    }
    return true;
}

// Ping through one FIFO, pong back through another; the echo process stamps how long the ping
// took to arrive, on the shared monotonic clock.
void BM_FloorFifoPostBetweenProcesses(benchmark::State& state) {
    ScratchFolder folder;
    const std::string ping = folder.path() + "/ping", pong = folder.path() + "/pong";
    mkfifo(ping.c_str(), 0600);
    mkfifo(pong.c_str(), 0600);
    pid_t echo = fork();
    if (echo == 0) {
        int in = open(ping.c_str(), O_RDONLY);
        int out = open(pong.c_str(), O_WRONLY);
        unsigned char message[kMessageBytes];
        while (ReadMessage(in, message)) {
            std::uint64_t sent;
            std::memcpy(&sent, message, sizeof sent);
            std::uint64_t latency = NowNs() - sent;
            std::memcpy(message, &latency, sizeof latency);
            if (write(out, message, kMessageBytes) != static_cast<ssize_t>(kMessageBytes)) break;
        }
        _exit(0);
    }
    int out = open(ping.c_str(), O_WRONLY);
    int in = open(pong.c_str(), O_RDONLY);
    std::vector<double> latencies;
    unsigned char message[kMessageBytes] = {};
    for (auto _ : state) {
        std::uint64_t now = NowNs();
        std::memcpy(message, &now, sizeof now);
        if (write(out, message, kMessageBytes) != static_cast<ssize_t>(kMessageBytes)) break;
        if (!ReadMessage(in, message)) break;
        std::uint64_t latency;
        std::memcpy(&latency, message, sizeof latency);
        latencies.push_back(static_cast<double>(latency) / 1000.0);
    }
    close(out);
    close(in);
    kill(echo, SIGKILL);
    waitpid(echo, nullptr, 0);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_us"] = latencies[latencies.size() / 2];
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    }
}
BENCHMARK(BM_FloorFifoPostBetweenProcesses)->UseRealTime();

// Under /tmp, where the result-file benchmark's device lives, so that both write to the same
// disk. The contents are written out and waited for before the rename, as the device does.
void BM_FloorFileReplace(benchmark::State& state) {
    ScratchFolder folder;
    const std::string target = folder.path() + "/VLMIS.OUT", temp = target + ".tmp";
    unsigned char bytes[kResultBytes];
    std::memset(bytes, 0x20, sizeof bytes);
    for (auto _ : state) {
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok = write(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
        ok = sync_file_range(fd, 0, 0,
                             SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                 SYNC_FILE_RANGE_WAIT_AFTER) == 0 &&
             ok;
        close(fd);
        ok = rename(temp.c_str(), target.c_str()) == 0 && ok;
        if (!ok) state.SkipWithError("the file could not be replaced");
    }
}
BENCHMARK(BM_FloorFileReplace)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
