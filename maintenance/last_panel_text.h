#pragma once

#include <mutex>
#include <string>

#include "monitor/status_sink.h"

namespace raid {

// Passes every panel text on and remembers the last one of panel 4: a failed
// upgrade reports whatever progress or failure text stands there.
class LastPanelText final : public StatusSink {
  public:
    explicit LastPanelText(StatusSink& next) : next_(next) {}

    void SetPanel(int panel, const std::string& text) override {
        if (panel == kPanelErrors) {
            const std::lock_guard guard(mutex_);
            last_ = text;
        }
        next_.SetPanel(panel, text);
    }

    std::string Panel4() const {
        const std::lock_guard guard(mutex_);
        return last_;
    }

  private:
    StatusSink& next_;
    mutable std::mutex mutex_;
    std::string last_;
};

}  // namespace raid
