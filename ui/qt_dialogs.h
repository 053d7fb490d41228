#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "device/dialogs.h"

namespace raid::ui {

// Message boxes of the window. A box is modal to the application but does
// not block its caller: the engine shows boxes from inside commands and
// polls, and a nested event loop there would hold the poll (and every later
// one) until the user answers.
class QtDialogs final : public Dialogs {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void MessageBox(const std::string& text, const std::string& caption, DialogIcon icon) override;
    bool Ask(const std::string& question, const std::string& caption) override;

    // The caption of a box that was given none (the platform's default).
    static constexpr const char* kDefaultCaption = "Error";

  private:
    QPointer<QWidget> parent_;
};

// What a title bar needs around its caption: the window's icon and the
// desktop's buttons.
inline constexpr int kTitleBarChrome = 140;
// The width a message box needs so that the desktop shows `caption` whole.
int TitleRoom(const QString& caption);

// The file-open dialog. The answer arrives through `done` (nullopt when the
// user cancelled), for the same reason message boxes do not block.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // `filter` in Qt's form: "Log File (*.log);;All File (*)". The dialog
    // starts in the current folder.
    virtual void ChooseFileToOpen(QWidget* parent, const QString& filter,
                                  std::function<void(std::optional<QString>)> done) = 0;
    // The same, starting in `folder`.
    virtual void ChooseFileToOpenIn(QWidget* parent, const QString& folder, const QString& filter,
                                    std::function<void(std::optional<QString>)> done) = 0;
};

class QtFileChooser final : public FileChooser {
  public:
    void ChooseFileToOpen(QWidget* parent, const QString& filter,
                          std::function<void(std::optional<QString>)> done) override;
    void ChooseFileToOpenIn(QWidget* parent, const QString& folder, const QString& filter,
                            std::function<void(std::optional<QString>)> done) override;
};

}  // namespace raid::ui
