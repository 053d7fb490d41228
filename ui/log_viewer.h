#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "device/dialogs.h"
#include "ui/qt_dialogs.h"

namespace raid::ui {

// TForm5, the event-log viewer: today's log as it grows (live mode), or an
// older log file (file mode). It only reads; the log is the engine's.
class LogViewer final : public QDialog {
    Q_OBJECT

  public:
    LogViewer(AppState& state, Dialogs& dialogs, FileChooser& files, QWidget* parent);

    bool following() const { return timer1_->isActive(); }
    std::size_t shownCount() const { return shownCount_; }

    static constexpr const char* kLiveCaption = "Event log - Real Time";
    static constexpr const char* kPausedCaption = "Event log - Real Time( Paused )";
    static constexpr const char* kFileFilter = "Log File (*.log);;All File (*)";

  protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void hideEvent(QHideEvent* event) override;  // FormClose

  private:
    void Timer1Timer();
    void Button1Click();  // "Real Time Log"
    void Button2Click();  // "View Log File"
    void OpenLogFile(const QString& path);
    // Caption and text colour from whether polling is armed.
    void ApplyLiveIndication();
    void ShowAllLines();

    AppState& state_;
    Dialogs& dialogs_;
    FileChooser& files_;
    QPlainTextEdit* memo1_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
    QLabel* folderLabel_ = nullptr;  // the event-log folder
    QTimer* timer1_ = nullptr;
    std::size_t shownCount_ = 0;
    // The day file the shown lines belong to: a new day restarts the log,
    // even when the new file already holds more lines than were shown.
    std::string shownFile_;
    // Counts file reads; a read's text is shown only if no later request came.
    std::uint64_t readRequest_ = 0;
};

}  // namespace raid::ui
