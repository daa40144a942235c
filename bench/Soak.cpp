// tarsel-soak SECONDS [WORKSPACE.tsw]: drives the viewer through its own handlers, headless, on
// the largest workspace (or the one given) for the given time, and prints the resident size
// every few seconds. The cycle: hold W into the cube and S back out, play forward and back with
// the 1 ms timer, switch between flat and "Ray tracing" and names on and off, and resize the
// window. The viewer's caches keep to their budgets, so the resident size should level off
// after the first minute.

#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "BenchRuns.h"
#include "app/HeadlessHost.h"
#include "app/Viewer.h"

namespace {

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Holds a motion key for some ticks of the motion timer, as the window's key events would.
void Hold(tarsel::Viewer& v, int key, int ticks) {
    v.FormKeyDown(key);
    for (int i = 0; i < ticks; ++i)
        v.Timer2Timer();
    v.FormKeyUp(key);
    for (int i = 0; i < 10; ++i)
        v.Timer2Timer();  // coasting
}

void Play(tarsel::Viewer& v, bool forward, int ticks) {
    if (forward) {
        v.Button2Click();
    } else {
        v.Button6Click();
    }
    for (int i = 0; i < ticks && v.Timer1On(); ++i)
        v.Timer1Timer();
    v.Button3Click();
}

void Apply(tarsel::Viewer& v, bool shaded, bool names) {
    v.Form().CheckBox26 = shaded;
    v.Form().AtomColorCheckBox = names;
    v.BitBtn1Click();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarsel-soak SECONDS [WORKSPACE.tsw]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const std::string file =
        argc > 2 ? std::string(argv[2]) : tarsel::bench::LargestWorkspaceBase() + ".tsw";

    tarsel::HeadlessHost host{{800, 600}};
    tarsel::Viewer viewer(host);
    viewer.Form().FrameTimeEdit = "0.001";
    if (!viewer.LoadWorkspaceFile(file).Loaded) {
        std::fprintf(stderr, "tarsel-soak: cannot load %s\n", file.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    double nextReport = 5;
    long cycles = 0, passes = 0;
    std::printf("seconds  rss_mb  cycles  passes\n");
    std::printf("%7.1f  %6.1f  %6ld  %6ld\n", 0.0, ResidentMb(), cycles, passes);
    std::fflush(stdout);
    const tarsel::ViewSize sizes[] = {{800, 600}, {1200, 900}, {337, 224}, {1600, 1000}};
    for (;;) {
        const double now = std::chrono::duration<double>(Clock::now() - start).count();
        if (now >= nextReport || now >= seconds) {
            std::printf("%7.1f  %6.1f  %6ld  %6ld\n", now, ResidentMb(), cycles, passes);
            std::fflush(stdout);
            nextReport = now + 5;
        }
        if (now >= seconds) break;
        const bool shaded = cycles % 2 == 1, names = cycles % 4 < 2;
        Apply(viewer, shaded, names);
        Hold(viewer, 'W', 150);  // into the cube (3 units a tick at most)
        Play(viewer, true, 15);
        Hold(viewer, 'D', 10);
        Play(viewer, false, 15);
        Hold(viewer, 'S', 150);  // back out
        host.SetDrawingAreaSize(sizes[cycles % 4]);
        viewer.FormResize();
        viewer.Resetcamera1Click();
        passes += 1 + 160 + 15 + 20 + 15 + 160 + 2;
        ++cycles;
    }
    return 0;
}
