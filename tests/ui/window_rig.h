#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <deque>
#include <optional>
#include <vector>

#include "app/app_state.h"
#include "app/engine.h"
#include "device/clock.h"
#include "device/fixed_disk_catalog.h"
#include "monitor/mail_request.h"
#include "sim/scenario.h"
#include "sim/sim_transport.h"
#include "sysinfo/canned_system_facts.h"
#include "tests/support/engine_steps.h"
#include "tests/support/recorders.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/screenshot.h"

namespace raid::uitest {

// Answers file-open dialogs from a list: a path, or nullopt for Cancel.
class ScriptedFileChooser final : public ui::FileChooser {
  public:
    void ChooseFileToOpen(QWidget* parent, const QString& filter,
                          std::function<void(std::optional<QString>)> done) override {
        ChooseFileToOpenIn(parent, QString(), filter, std::move(done));
    }
    void ChooseFileToOpenIn(QWidget*, const QString& folder, const QString& filter,
                            std::function<void(std::optional<QString>)> done) override {
        folders.push_back(folder);
        filters.push_back(filter);
        std::optional<QString> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        done(answer);
    }
    std::deque<std::optional<QString>> answers;
    std::vector<QString> filters;
    std::vector<QString> folders;  // empty: the current folder
};

// The main window on the whole engine, on virtual time against stand-in
// enclosures, driven by hand from the test: no worker threads, so every step
// is exact. Disk 0 carries one mounted volume.
struct WindowRig {
    explicit WindowRig(sim::Scenario scenario = sim::DefaultScenario())
        : sim(std::move(scenario), clock),
          catalog({CatalogVolume{"/media/mirror", kDriveTypeFixed, VolumeExtent{0, 1048576, 1}}}),
          mail(clock),
          window(state, dialogs, files),
          engine(state,
                 EngineServices{sim, catalog, facts, clock, dialogs, window.statusPanels(), mail},
                 window, {}) {
        state.log.logFolder = logFolder.path().toStdString();
        window.Attach(engine);
    }

    void StartUp() { testing::StartUp(engine, state); }
    void ServeAll() { testing::ServeAll(engine, state); }
    void PollOnce() { testing::PollOnce(engine, state, clock); }

    RaidStatus& Record(int slot) {
        return state.devices.records[state.devices.table.Disk(static_cast<std::size_t>(slot))];
    }
    template <typename W = QLabel>
    W* Find(const char* name) {
        return window.findChild<W*>(name);
    }
    QString Text(const char* name) { return Find(name)->text(); }

    VirtualClock clock;
    sim::SimTransport sim;
    FixedDiskCatalog catalog;
    CannedSystemFacts facts;
    testing::RecordingDialogs dialogs;
    ScriptedFileChooser files;
    RecordingMailSink mail;
    AppState state;
    QTemporaryDir logFolder;
    ui::MainWindow window;
    Engine engine;
};

// With RAIDGUI_PICTURES_DIR set, a test leaves a picture of the window as it
// checked it there (docs/images holds the ones the documentation shows).
inline bool LeavePicture(WindowRig& rig, const char* name) {
    const QString folder = qEnvironmentVariable("RAIDGUI_PICTURES_DIR");
    return folder.isEmpty() || ui::WindowPicture(rig.window).save(folder + "/" + name + ".png");
}

}  // namespace raid::uitest
