#pragma once

#include <QFrame>
#include <QLabel>
#include <array>

#include "monitor/status_sink.h"

namespace raid::ui {

// StatusBar1: five sunken panels of fixed widths along the bottom of the
// window. The poll writes its progress marks to panels 0-3, other work its
// short error texts to panel 4. A double click asks for the system report.
class StatusPanels final : public QFrame, public StatusSink {
    Q_OBJECT

  public:
    StatusPanels(QWidget* parent, const QRect& geometry);

    // May be called from any thread; the text reaches the panel on the
    // window's thread.
    void SetPanel(int panel, const std::string& text) override;
    QString PanelText(int panel) const;

    // The designed widths. A panel whose designed texts are wider in the
    // bar's font grows to fit them, and the last panel gives up the room.
    static constexpr std::array<int, 5> kWidths{100, 80, 80, 100, 250};
    // The pixels a panel needs beside its text: frame and margins.
    static constexpr int kPanelChrome = 8;
    int PanelWidth(int panel) const;

  Q_SIGNALS:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::array<QLabel*, 5> panels_{};
};

}  // namespace raid::ui
