#pragma once

#include <QString>
#include <QWidget>

namespace raid::ui {

// Renders `window` as it is drawn now into a PNG file; false when the file
// cannot be written.
bool SaveWindowPng(QWidget& window, const QString& file);

}  // namespace raid::ui
