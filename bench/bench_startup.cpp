// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up as a user waits for it: the real program against a bare Qt main
// window with the same menu bar and status bar (bench_bare_window), each a
// fresh process timed from just before its start until its own first paint
// event, taking turns in one run so the machine's noise falls on both. Once
// painted each is left idle for a second, then its resident memory is read.
//
//   bench_startup [-r runs]          (default 15; needs $DISPLAY)

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

long long now_ns()
{
    timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

struct Sample {
    double ms;
    double mb;
};

double resident_mb(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %lf", &kb) == 1)
            break;
    std::fclose(f);
    return kb / 1024;
}

Sample run_once(const char *program)
{
    int out[2];
    if (::pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char *argv[] = {const_cast<char *>(program), nullptr};
    pid_t pid;
    const long long start = now_ns();
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "bench_startup: cannot start %s\n", program);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    FILE *in = ::fdopen(out[0], "r");
    char line[128];
    long long painted = 0;
    while (std::fgets(line, sizeof line, in))
        if (std::sscanf(line, "painted %lld", &painted) == 1)
            break;
    if (!painted) {
        std::fprintf(stderr, "bench_startup: %s did not paint\n", program);
        std::exit(1);
    }
    ::usleep(1000000);
    const double mb = resident_mb(pid);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    std::fclose(in);
    return {(painted - start) / 1e6, mb};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 15;
    if (argc > 2 && std::strcmp(argv[1], "-r") == 0)
        runs = std::max(1, std::atoi(argv[2]));
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: needs an X server ($DISPLAY)\n");
        return 2;
    }
    ::setenv("TALVENCE_FIRST_PAINT", "1", 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const char *ours = TALVENCE_PROGRAM, *bare = BARE_WINDOW;
    run_once(bare); // warm the caches for both
    run_once(ours);
    std::vector<double> ot, om, bt, bm;
    for (int i = 0; i < runs; ++i) {
        // Who goes first alternates, so neither always meets a warmer machine.
        for (const char *p : i % 2 ? std::vector{ours, bare} : std::vector{bare, ours}) {
            const Sample s = run_once(p);
            (p == ours ? ot : bt).push_back(s.ms);
            (p == ours ? om : bm).push_back(s.mb);
        }
    }
    const double t = median(ot), b = median(bt), m = median(om), n = median(bm);
    std::printf("start-up, process start to first paint, median of %d runs:\n", runs);
    std::printf("  %-44s %7.1f ms  %5.1f MB idle\n", "talvence (the frame)", t, m);
    std::printf("  %-44s %7.1f ms  %5.1f MB idle\n", "bare main window, same menus and status bar",
                b, n);
    std::printf("  time   ratio %.2f   goal 1.15   %s\n", t / b, t / b <= 1.15 ? "met" : "NOT met");
    std::printf("  memory ratio %.2f   goal 1.20   %s\n", m / n, m / n <= 1.20 ? "met" : "NOT met");
    return 0;
}
