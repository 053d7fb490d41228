#include "ui/picture_button.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

namespace raid::ui {

QPixmap SvgPixmap(const QString& resource, QSize size) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

PictureButton::PictureButton(const QString& objectName, QWidget* parent, const QRect& geometry,
                             const QString& resource)
    : QLabel(parent) {
    setObjectName(objectName);
    setGeometry(geometry);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    if (!resource.isEmpty()) {
        SetPicture(resource);
    }
}

void PictureButton::SetDecorative() {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    SetPressMoves(false);
}

void PictureButton::SetPicture(const QString& resource) {
    if (resource == resource_) {
        return;
    }
    resource_ = resource;
    setPixmap(resource.isEmpty() ? QPixmap() : SvgPixmap(resource, size()));
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    // A second press before the release does not move it again.
    if (!pressed_) {
        pressed_ = true;
        if (pressMoves_) {
            move(x(), y() + kPressOffset);
        }
    }
    event->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    if (pressMoves_) {
        move(x(), y() - kPressOffset);
    }
    event->accept();
    if (rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

}  // namespace raid::ui

namespace raid::ui {

void PictureButton::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !event->isAutoRepeat() && isEnabled()) {
        keyboardFocus_ = true;
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void PictureButton::focusInEvent(QFocusEvent* event) {
    // A click gives the focus without the frame, as the style's buttons do;
    // a window that comes back keeps the frame it had.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        keyboardFocus_ = event->reason() != Qt::MouseFocusReason;
    }
    QLabel::focusInEvent(event);
}

void PictureButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!focusShown()) {
        return;
    }
    QPainter painter(this);
    // Black and white dashes: seen on the yellow, the white and the dark.
    const QRect frame = rect().adjusted(1, 1, -2, -2);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(frame);
}

}  // namespace raid::ui
