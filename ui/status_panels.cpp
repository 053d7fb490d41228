#include "ui/status_panels.h"

#include <QMetaObject>
#include <QMouseEvent>

#include "ui/event_loop_clock.h"

namespace raid::ui {

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
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        // The last panel takes what is left of the window's width.
        const int width = i + 1 == panels_.size() ? geometry.width() - left : kWidths[i];
        auto* label = new QLabel(this);
        label->setObjectName(QString("StatusBar1Panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setGeometry(left, 1, width - 2, geometry.height() - 2);
        label->setContentsMargins(3, 0, 3, 0);
        // Double clicks land on the bar, not on the panel.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        panels_[i] = label;
        left += kWidths[i];
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
