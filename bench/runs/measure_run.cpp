// measure_run PROGRAM [ARGS...]: runs the program to its end and prints its wall time in
// seconds and its peak resident memory in KiB ("SECONDS KIB").
//
// The kernel counts into a process's peak memory the memory of the image it replaced at exec,
// so a program started straight from the (large) benchmark process would report the
// benchmark's own size. This launcher is small and linked static, and starts the program
// itself: the peak it reports is the program's, floored at this launcher's few hundred KiB.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 1;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double seconds =
        static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
    std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
