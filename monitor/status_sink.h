#pragma once

#include <string>

namespace raid {

// The five panels of the main window's status bar (widths 100, 80, 80, 100,
// 250). Panel 4 carries short error texts; the poll writes its progress
// marks to panels 0-3. The command line keeps or prints them.
class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void SetPanel(int panel, const std::string& text) = 0;
};

inline constexpr int kPanelErrors = 4;

}  // namespace raid
