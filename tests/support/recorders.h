#pragma once

#include <string>
#include <vector>

#include "app/front_end.h"
#include "device/dialogs.h"
#include "monitor/status_sink.h"

namespace raid::testing {

struct RecordedBox {
    std::string text;
    std::string caption;
};

// Message boxes answered at once and kept for the test to look at.
class RecordingDialogs final : public Dialogs {
  public:
    void MessageBox(const std::string& text, const std::string& caption, DialogIcon) override {
        boxes.push_back({text, caption});
    }
    bool Ask(const std::string& question, const std::string& caption) override {
        questions.push_back({question, caption});
        return answer;
    }
    std::vector<RecordedBox> boxes;
    std::vector<RecordedBox> questions;
    bool answer = true;
};

class RecordingStatus final : public StatusSink {
  public:
    void SetPanel(int panel, const std::string& text) override {
        if (panel >= 0 && panel < 5) {
            panels[static_cast<std::size_t>(panel)] = text;
            history.push_back(std::to_string(panel) + ":" + text);
        }
    }
    std::string panels[5];
    std::vector<std::string> history;
};

// A window that only remembers what it was told; its redraw ends the
// start-up pass as the status page does.
class RecordingFrontEnd final : public FrontEnd {
  public:
    explicit RecordingFrontEnd(std::atomic<std::uint8_t>* startupPass = nullptr)
        : startupPass_(startupPass) {}
    void SetStatusText(const std::string& text, bool visible) override {
        statusText = text;
        statusVisible = visible;
    }
    void SetSlotAvailable(int slot, bool available) override {
        if (slot >= 0 && slot < 2) {
            slotAvailable[slot] = available;
        }
    }
    void SlotUnchecked(int slot) override { unchecked.push_back(slot); }
    void DevicesApplied(int count) override { applied.push_back(count); }
    void RedrawStatus(std::uint8_t mask, bool full) override {
        redraws.push_back({mask, full});
        if (startupPass_ != nullptr) {
            startupPass_->store(0);
        }
    }
    void SetUpgradeEnabled(bool enabled) override { upgradeEnabled.push_back(enabled); }
    void SetSmartLabel(const std::string& text) override { smartLabel = text; }
    void LogLineAdded(const std::string& line) override { logLines.push_back(line); }

    std::string statusText;
    bool statusVisible = false;
    bool slotAvailable[2] = {false, false};
    std::vector<int> unchecked;
    std::vector<int> applied;
    std::vector<std::pair<std::uint8_t, bool>> redraws;
    std::string smartLabel;
    std::vector<bool> upgradeEnabled;
    std::vector<std::string> logLines;

  private:
    std::atomic<std::uint8_t>* startupPass_;
};

}  // namespace raid::testing
