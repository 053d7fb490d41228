#pragma once

#include <cstdio>
#include <string>

#include "app/front_end.h"
#include "device/dialogs.h"
#include "monitor/status_sink.h"

namespace raid::cli {

// Message boxes and error panel texts of a headless run go to standard
// error; the poll's progress marks are dropped.
class ConsoleDialogs final : public Dialogs {
  public:
    void MessageBox(const std::string& text, const std::string& caption, DialogIcon) override {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
    }
};

class ConsoleStatus final : public StatusSink {
  public:
    void SetPanel(int panel, const std::string& text) override {
        if (panel == kPanelErrors && !text.empty()) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
    }
};

}  // namespace raid::cli
