// Measures how long the window's event loop goes without handling events
// while the engine discovers the stand-in enclosures, polls them and then
// upgrades the mirror's firmware with an image of --image-kib, with a
// realistic time per device read. For the upgrade it also sets the total
// time against its floor: every read's latency plus the 10 ms pause after
// each reply poll, which no implementation of the protocol can avoid. Last,
// the E-mail page's test mail goes to a server that answers each command
// --mail-delay-ms late. Prints the figures; it passes or fails nothing.
//
//   raidgui_stall_benchmark [--polls=N] [--latency-us=N] [--image-kib=N]
//                           [--mail-delay-ms=N]
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/platform.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/settings/file_settings_store.h"
#include "tests/ui/latency_transport.h"
#include "tests/ui/slow_smtp_server.h"
#include "ui/email_page.h"
#include "ui/event_loop_clock.h"
#include "ui/gui_runtime.h"
#include "ui/main_window.h"
#include "ui/upgrade_page.h"

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

// Mail settings for the slow server, saved before the run starts so that it
// loads them at once.
std::string SaveMailSettingsFor(const std::string& folder, int port) {
    raid::FileSettingsStore store(folder);
    if (std::string error = store.Open(); !error.empty()) {
        return error;
    }
    raid::MailSettings settings;
    std::atomic<std::uint8_t> flags{0};
    raid::InitialiseMailSettings(store, settings, folder + "/", flags);
    raid::MailPageFields fields = raid::PageFields(settings);
    fields.smtp = "127.0.0.1";
    fields.port = std::to_string(port);
    fields.addr = "raid@example.com";
    fields.timeOut = "30";
    fields.security = "none";
    return raid::SaveMailSettings(store, settings, fields, flags);
}

// The upgrade's result box is answered before the mail's is waited for.
void CloseShownBoxes() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            box->close();
        }
    }
}

// The text of a message box the window shows, or empty text.
QString ShownBoxText() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            return box->text();
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int polls = Argument(argc, argv, "--polls", 4);
    const int latencyUs = Argument(argc, argv, "--latency-us", 500);
    const int imageKib = Argument(argc, argv, "--image-kib", 64);
    const int mailDelayMs = Argument(argc, argv, "--mail-delay-ms", 250);

    raid::uitest::SlowSmtpServer server{std::chrono::milliseconds(mailDelayMs)};
    QTemporaryDir config;
    qputenv("RAIDGUI_CONFIG_DIR", config.path().toLocal8Bit());
    if (const std::string error = SaveMailSettingsFor(config.path().toStdString(), server.port());
        server.port() == 0 || !error.empty()) {
        std::fprintf(stderr, "no mail server or settings: %s\n", error.c_str());
        return 2;
    }

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
    Stalls upgrading;
    bool upgradeStarted = false;
    bool upgradeRunning = false;
    qint64 upgradeNs = 0;
    long long upgradeReads = 0;
    long long upgradePolls = 0;
    long long upgradeReadUs = 0;
    bool upgradeOk = false;
    Stalls mail;
    qint64 mailStartNs = 0;
    qint64 mailNs = 0;
    bool mailing = false;
    QString mailOutcome;
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
        if (upgradeRunning) {
            upgrading.Note(gap);
            return;
        }
        if (mailing) {
            mail.Note(gap);
            // The outcome is a message box: the success text or why it failed.
            mailOutcome = ShownBoxText();
            if (!mailOutcome.isEmpty()) {
                mailNs = now - mailStartNs;
                QApplication::quit();
            }
            return;
        }
        if (upgradeStarted) {
            return;
        }
        polling.Note(gap);
        if (state.poll.pollCounter >= pollsAtStart + static_cast<std::uint32_t>(polls) &&
            state.poll.StatusPollRunning.load() == 0) {
            upgradeStarted = true;
            QTimer::singleShot(0, [&] {
                // An image of the mirror's own firmware type, as a load would
                // leave it.
                raid::FirmwareImage& image = state.maintenance.image;
                image.bytes.assign(static_cast<std::size_t>(imageKib) * 1024, 0x5A);
                image.bytes[raid::kImageTypeOffset] = state.devices.devices[0].flashType;
                image.size = static_cast<std::uint32_t>(image.bytes.size());
                const long long reads0 = reads->Reads();
                const long long polls0 = reads->ReplyPolls();
                const long long readUs0 = reads->ReadTimeUs();
                upgradeRunning = true;
                const qint64 start = clockNs.nsecsElapsed();
                runtime.window().upgradePage()->Image2_UpgradeClick();
                upgradeNs = clockNs.nsecsElapsed() - start;
                upgradeRunning = false;
                upgradeReads = reads->Reads() - reads0;
                upgradePolls = reads->ReplyPolls() - polls0;
                upgradeReadUs = reads->ReadTimeUs() - readUs0;
                upgradeOk = runtime.window().statusPanels().PanelText(4) == "SPI Verify OK";
                CloseShownBoxes();
                // The second enclosure offers the E-mail page.
                raid::ui::MainWindow& window = runtime.window();
                window.SelectStatusDevice(1);
                window.OpenPage(raid::ui::kPageEmail);
                mailing = true;
                mailStartNs = clockNs.nsecsElapsed();
                window.emailPage()->Image3_TestClick();
                last = clockNs.nsecsElapsed();
            });
        }
    });
    QTimer::singleShot(900000, [] {
        std::fprintf(stderr, "gave up after 900 s\n");
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
    // The floor: each read's latency, and the 10 ms pause after every reply poll.
    const double floorMs = upgradeReads * (latencyUs / 1000.0) + upgradePolls * 10.0;
    const double totalMs = upgradeNs / 1e6;
    std::printf("upgrade of %d KiB:               %s\n", imageKib,
                upgradeOk ? "SPI Verify OK" : "FAILED");
    std::printf("  reads issued:                 %lld (%lld reply polls)\n", upgradeReads,
                upgradePolls);
    std::printf("  total time:                   %.0f ms\n", totalMs);
    std::printf("  floor (reads x latency + pauses): %.0f ms\n", floorMs);
    std::printf("  above the floor:              %.2f %%\n",
                floorMs > 0 ? (totalMs - floorMs) * 100.0 / floorMs : 0.0);
    // A read sleeps at least its latency and often longer (timer slack, a
    // busy machine); that overrun is the test rig's, not the stack's.
    const double readMs = upgradeReadUs / 1000.0;
    const double ownMs = totalMs - readMs - upgradePolls * 10.0;
    std::printf("  time inside the reads:        %.0f ms (%.0f ms over their latency)\n", readMs,
                readMs - upgradeReads * (latencyUs / 1000.0));
    std::printf("  the stack's own time:         %.0f ms = %.2f %% of the floor\n", ownMs,
                floorMs > 0 ? ownMs * 100.0 / floorMs : 0.0);
    std::printf("  longest stall:                %.2f ms (%lld probe ticks)\n",
                upgrading.longestNs / 1e6, static_cast<long long>(upgrading.ticks));
    std::printf("test mail, %d ms per reply:     %.2f s, \"%s\"\n", mailDelayMs, mailNs / 1e9,
                qPrintable(mailOutcome));
    std::printf("longest stall during the mail:  %.2f ms (%lld probe ticks)\n",
                mail.longestNs / 1e6, static_cast<long long>(mail.ticks));
    return upgradeOk && mailOutcome == raid::kMailSuccess ? status : 1;
}
