#include "ui/status_panels.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <algorithm>
#include <vector>

#include "ui/event_loop_clock.h"

namespace raid::ui {
namespace {

// The widest texts each of panels 0-3 is given: the poll's marks, the
// firmware file's checksum and version stamps (32-bit numbers, "D" being the
// widest hexadecimal digit), the mail's progress.
const std::array<std::vector<const char*>, 4> kWidestTexts{{
    {"Chksum:DDDDDDDD", "4x,FF", "FF,yz,FF"},
    {"Detected OK", "y3,FF"},
    {"F:DDDDDDDD", "SC = 1xFFFF", "Email=3", "Connect"},
    {"C:DDDDDDDD", "G = 2x, FF", "Mail is Sending...", "Send mail Success!"},
}};

}  // namespace

StatusPanels::StatusPanels(QWidget* parent, const QRect& geometry) : QFrame(parent) {
    setObjectName("StatusBar1");
    setGeometry(geometry);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    setPalette(pal);
    // The smaller type of a status bar; the panels' widths are made for it.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    const QFontMetrics metrics(small);
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        int width = kWidths[i];
        if (i < kWidestTexts.size()) {
            for (const char* text : kWidestTexts[i]) {
                width = std::max(width, metrics.horizontalAdvance(text) + kPanelChrome + 2);
            }
        } else {
            // The last panel takes what is left of the window's width.
            width = geometry.width() - left;
        }
        auto* label = new QLabel(this);
        label->setObjectName(QString("StatusBar1Panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setGeometry(left, 1, width - 2, geometry.height() - 2);
        label->setContentsMargins(2, 0, 2, 0);
        // Double clicks land on the bar, not on the panel.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        panels_[i] = label;
        left += width;
    }
}

void StatusPanels::SetPanel(int panel, const std::string& text) {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) {
        return;
    }
    const QString value = QString::fromStdString(text);
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this,
            [this, panel, value] { panels_[static_cast<std::size_t>(panel)]->setText(value); },
            Qt::QueuedConnection);
        return;
    }
    panels_[static_cast<std::size_t>(panel)]->setText(value);
}

int StatusPanels::PanelWidth(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) {
        return 0;
    }
    return panels_[static_cast<std::size_t>(panel)]->width() + 2;
}

QString StatusPanels::PanelText(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(panels_.size())) {
        return {};
    }
    return panels_[static_cast<std::size_t>(panel)]->text();
}

void StatusPanels::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
        event->accept();
        return;
    }
    QFrame::mouseDoubleClickEvent(event);
}

}  // namespace raid::ui
