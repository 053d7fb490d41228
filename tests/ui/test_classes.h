#pragma once

#include <QObject>

// The window's test classes; test_main runs one of them by name, or all.
namespace raid::uitest {

QObject* MakeOptionsTest();
QObject* MakeInstanceTest();
QObject* MakeClockTest();
QObject* MakeStatusPageTest();
QObject* MakeNavigationTest();
QObject* MakeWindowTest();
QObject* MakeLogViewerTest();
QObject* MakeProgramTest();
QObject* MakeUpgradePageTest();
QObject* MakeSetupPageTest();
QObject* MakeSmartPageTest();
QObject* MakeEmailPageTest();
QObject* MakeAlarmTest();
QObject* MakeDesktopTest();
QObject* MakeAccessTest();

}  // namespace raid::uitest
