#include "ui/picture_button.h"

#include <QGuiApplication>
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
    if (!resource.isEmpty()) {
        SetPicture(resource);
    }
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
