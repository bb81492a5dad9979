// Start-up and drawing costs of the game's window.
//
//   bench_photon_frame [runs]
//
// 1. Start to first frame: the program starts itself again in "--first-frame" mode, which does
//    what gremgame's main does (ApInitialize, ApLinkWindow: database read from the program
//    file, widgets created, window shown, "realized" fired, first frame drawn and presented)
//    and prints the monotonic time at that moment. Measured from just before the process is
//    spawned, and from the child's main. Uses the display of DISPLAY, or SDL's offscreen driver
//    when there is none.
// 2. One full redraw of the main window (every widget painted, the frame presented), headless
//    with the software renderer, at design size and at twice the size.
// Prints the median and the 10th and 90th percentiles of each.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "abmain.h"
#include "photon/testing/driver.h"

extern char** environ;

namespace {

int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void report(const char* what, std::vector<double> values, const char* unit) {
    if (values.empty()) {
        std::printf("%-48s no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[static_cast<std::size_t>(q * (values.size() - 1))]; };
    std::printf("%-48s median %8.3f %s   p10 %8.3f   p90 %8.3f   (%zu runs)\n", what, at(0.5), unit,
                at(0.1), at(0.9), values.size());
}

// The child: gremgame's start, then the time of the first frame on standard output.
int firstFrame(int argc, char* argv[]) {
    int64_t entered = monotonicNs();
    _Ap_.startup_flags = 0;
    ApInitialize(argc, argv, &AbContext);
    if (!ApLinkWindow(nullptr, AbApplLinks, 0)) {
        return 1;
    }
    int64_t shown = monotonicNs();
    std::printf("FIRST_FRAME %lld %lld\n", static_cast<long long>(shown),
                static_cast<long long>(shown - entered));
    std::fflush(stdout);
    _exit(0);
}

// Spawns the first-frame child and returns (from spawn, from the child's main) in ms.
bool measureStart(const char* self, double& fromSpawn, double& fromMain) {
    int out[2];
    if (pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char mode[] = "--first-frame";
    char* argv[] = {const_cast<char*>(self), mode, nullptr};
    pid_t pid = 0;
    int64_t spawned = monotonicNs();
    int failed = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string output;
    char buffer[512];
    for (ssize_t n; !failed && (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    if (!failed) {
        waitpid(pid, &status, 0);
    }
    long long shown = 0;
    long long inside = 0;
    std::size_t at = output.find("FIRST_FRAME ");
    if (failed || at == std::string::npos ||
        std::sscanf(output.c_str() + at, "FIRST_FRAME %lld %lld", &shown, &inside) != 2) {
        return false;
    }
    fromSpawn = (shown - spawned) / 1e6;
    fromMain = inside / 1e6;
    return true;
}

std::vector<double> redrawTimes(const std::vector<std::string>& arguments, int runs) {
    photon::testing::Driver driver(BENCH_DATABASE);
    std::vector<double> times;
    if (!driver.start(&AbContext, AbApplLinks, arguments)) {
        return times;
    }
    // The idle game's look: the cover with the plain table in front.
    PtWidgetToFront(AbWidgets[ABN_PtSpet]);
    for (int i = 0; i < runs; ++i) {
        PtWidgetToFront(AbWidgets[ABN_PtSpet]);  // marks the window for a redraw
        int64_t start = monotonicNs();
        PtFlush();
        times.push_back((monotonicNs() - start) / 1e6);
    }
    return times;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "--first-frame") == 0) {
        return firstFrame(1, argv);
    }
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
    }
    std::printf("display: %s\n", display && *display ? display : "SDL offscreen driver");

    std::vector<double> fromSpawn;
    std::vector<double> fromMain;
    for (int i = 0; i < runs; ++i) {
        double spawn = 0;
        double inside = 0;
        if (measureStart("/proc/self/exe", spawn, inside)) {
            fromSpawn.push_back(spawn);
            fromMain.push_back(inside);
        }
    }
    report("start to first frame, from process spawn", fromSpawn, "ms");
    report("start to first frame, from main", fromMain, "ms");
    report("full redraw 600 x 470 (software renderer)", redrawTimes({"bench"}, runs * 20), "ms");
    report("full redraw 1200 x 940 (software renderer)",
           redrawTimes({"bench", "-w1200"}, runs * 20), "ms");
    return 0;
}
