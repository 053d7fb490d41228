#include "ui/screenshot.h"

#include <QPixmap>

namespace raid::ui {

bool SaveWindowPng(QWidget& window, const QString& file) {
    const QPixmap picture = window.grab();
    return !picture.isNull() && picture.save(file, "PNG");
}

}  // namespace raid::ui
