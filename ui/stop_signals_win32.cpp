#include "ui/stop_signals.h"

namespace raid::ui {

// Windows ends a program through its window messages, which the window
// already answers; there are no stop signals to watch.
bool BlockStopSignals() {
    return true;
}
void WatchStopSignals(QObject*, std::function<void()>) {}

}  // namespace raid::ui
