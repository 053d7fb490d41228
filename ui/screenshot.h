#pragma once

#include <QPixmap>
#include <QString>

namespace raid::ui {

class MainWindow;

// The window as it is drawn now, under a caption bar of its title (the
// desktop's frame is not part of the window's own drawing).
QPixmap WindowPicture(MainWindow& window);

// Writes one picture per enclosure the window knows (each chosen in turn on
// the status page, then `page` opened, one below the other), or of the window
// as it is when it knows none, into a PNG file. The enclosure and page shown
// before are shown again afterwards. The E-mail page gives one picture per
// sub-page instead (its settings are the same for every enclosure). False
// when the file cannot be written.
bool SaveWindowPng(MainWindow& window, const QString& file, int page = 0);

}  // namespace raid::ui
