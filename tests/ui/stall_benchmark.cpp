// Measures how long the window's event loop goes without handling events
// while the engine discovers the stand-in enclosures and polls them, with a
// realistic time per device read. Prints the figures; it passes or fails
// nothing.
//
//   raidgui_stall_benchmark [--polls=N] [--latency-us=N]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/platform.h"
#include "tests/ui/latency_transport.h"
#include "ui/event_loop_clock.h"
#include "ui/gui_runtime.h"

namespace {

int Argument(int argc, char** argv, const char* name, int fallback) {
    const std::size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
            return std::atoi(argv[i] + length + 1);
        }
    }
    return fallback;
}

struct Stalls {
    qint64 longestNs = 0;
    qint64 ticks = 0;
    void Note(qint64 gapNs) {
        longestNs = std::max(longestNs, gapNs);
        ++ticks;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int polls = Argument(argc, argv, "--polls", 4);
    const int latencyUs = Argument(argc, argv, "--latency-us", 500);

    raid::ui::EventLoopClock clock;
    raid::PlatformResult made = raid::MakeSimulatedPlatform("", clock, nullptr);
    if (!made.ok) {
        std::fprintf(stderr, "%s\n", made.error.c_str());
        return 2;
    }
    auto slow = std::make_unique<raid::uitest::LatencyTransport>(
        std::move(made.platform.transport), std::chrono::microseconds(latencyUs));
    raid::uitest::LatencyTransport* reads = slow.get();
    made.platform.transport = std::move(slow);
    raid::ui::GuiRuntime runtime(made.platform, clock, std::move(made.platform.deviceChanges));
    raid::AppState& state = runtime.state();

    // A 1 ms timer: the gap between two of its ticks is how long the loop
    // was kept from handling events.
    Stalls discovery;
    Stalls polling;
    QElapsedTimer clockNs;
    clockNs.start();
    qint64 last = clockNs.nsecsElapsed();
    std::uint32_t pollsAtStart = 0;
    bool discovered = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clockNs.nsecsElapsed();
        const qint64 gap = now - last;
        last = now;
        if (!discovered) {
            discovery.Note(gap);
            // Discovery is over once its result is on the window.
            if (state.devices.table.count > 0 && state.flags.StartupPass.load() == 0) {
                discovered = true;
                pollsAtStart = state.poll.pollCounter;
            }
            return;
        }
        polling.Note(gap);
        if (state.poll.pollCounter >= pollsAtStart + static_cast<std::uint32_t>(polls) &&
            state.poll.StatusPollRunning.load() == 0) {
            QApplication::quit();
        }
    });
    QTimer::singleShot(120000, [] {
        std::fprintf(stderr, "gave up after 120 s\n");
        QApplication::exit(1);
    });

    runtime.Start();
    probe.start();
    const int status = QApplication::exec();
    const std::uint32_t served = state.poll.pollCounter - pollsAtStart;
    runtime.window().close();
    runtime.Finish();

    std::printf("device read latency:            %d us per read\n", latencyUs);
    std::printf("longest single device read:     %.2f ms\n", reads->LongestReadUs() / 1000.0);
    std::printf("longest stall during discovery: %.2f ms (%lld probe ticks)\n",
                discovery.longestNs / 1e6, static_cast<long long>(discovery.ticks));
    std::printf("longest stall during %u polls:   %.2f ms (%lld probe ticks)\n", served,
                polling.longestNs / 1e6, static_cast<long long>(polling.ticks));
    return status;
}
