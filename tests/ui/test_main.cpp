// Runs the window's Qt tests: `raidgui_tests [ClassName] [Qt Test options]`.
#include <QApplication>
#include <QtTest>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "tests/ui/test_classes.h"
#include "ui/guarded_application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The window's tests run under the same safety net as the program.
    raid::ui::GuardedApplication app(argc, argv);

    using Factory = QObject* (*)();
    const std::vector<std::pair<const char*, Factory>> classes{
        {"OptionsTest", raid::uitest::MakeOptionsTest},
        {"InstanceTest", raid::uitest::MakeInstanceTest},
        {"ClockTest", raid::uitest::MakeClockTest},
        {"StatusPageTest", raid::uitest::MakeStatusPageTest},
        {"NavigationTest", raid::uitest::MakeNavigationTest},
        {"WindowTest", raid::uitest::MakeWindowTest},
        {"LogViewerTest", raid::uitest::MakeLogViewerTest},
        {"ProgramTest", raid::uitest::MakeProgramTest},
        {"UpgradePageTest", raid::uitest::MakeUpgradePageTest},
        {"SetupPageTest", raid::uitest::MakeSetupPageTest},
        {"SmartPageTest", raid::uitest::MakeSmartPageTest},
        {"EmailPageTest", raid::uitest::MakeEmailPageTest},
        {"AlarmTest", raid::uitest::MakeAlarmTest},
        {"DesktopTest", raid::uitest::MakeDesktopTest},
        {"AccessTest", raid::uitest::MakeAccessTest},
    };

    // The first argument may name the class to run; the rest goes to Qt Test.
    const char* only = nullptr;
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (only == nullptr && argv[i][0] != '-' && i == 1) {
            only = argv[i];
        } else {
            args.push_back(argv[i]);
        }
    }
    int failures = 0;
    bool ran = false;
    for (const auto& [name, make] : classes) {
        if (only != nullptr && std::strcmp(only, name) != 0) {
            continue;
        }
        ran = true;
        std::unique_ptr<QObject> test(make());
        failures += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    if (!ran) {
        qCritical("no test class named %s", only);
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
