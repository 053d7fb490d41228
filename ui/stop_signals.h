#pragma once

#include <functional>

class QObject;

namespace raid::ui {

// SIGINT, SIGTERM and SIGHUP close the main window as its close box does, so the
// engine stops in order and the event log gets its last save.

// Call first thing in main, before any thread starts, so that no thread
// takes the signals in the default way.
bool BlockStopSignals();
// Call once the application object exists; `onStop` runs on the GUI thread.
void WatchStopSignals(QObject* parent, std::function<void()> onStop);

}  // namespace raid::ui
