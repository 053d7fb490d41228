#include "ui/log_viewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <memory>

#include "monitor/log_file.h"

namespace raid::ui {
namespace {

QString Lines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    QString text;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) {
        if (i != from) {
            text += '\n';
        }
        text += QString::fromStdString(lines[i]);
    }
    return text;
}

}  // namespace

LogViewer::LogViewer(AppState& state, Dialogs& dialogs, FileChooser& files, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      state_(state),
      dialogs_(dialogs),
      files_(files) {
    setObjectName("TForm5");
    setWindowTitle("Event Log");
    setFixedSize(600, 420);

    memo1_ = new QPlainTextEdit(this);
    memo1_->setObjectName("Memo1");
    memo1_->setGeometry(8, 8, 584, 366);
    memo1_->setReadOnly(true);
    memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log's rulers and columns line up only in a fixed-width font.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    fixed.setBold(true);
    memo1_->setFont(fixed);

    button1_ = new QPushButton("Real Time Log", this);
    button1_->setObjectName("Button1");
    button1_->setGeometry(8, 382, 140, 30);
    button2_ = new QPushButton("View Log File", this);
    button2_->setObjectName("Button2");
    button2_->setGeometry(156, 382, 140, 30);
    button1_->setAutoDefault(false);
    button2_->setAutoDefault(false);

    // Where the day files are, since it depends on who runs the window.
    const QString folder = QString::fromStdString(state_.log.logFolder);
    folderLabel_ = new QLabel(this);
    folderLabel_->setObjectName("LabelLogFolder");
    folderLabel_->setGeometry(304, 382, 288, 30);
    folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderLabel_->setToolTip(folder);
    const QString shown =
        folder.isEmpty() ? QString("Not saved: no log folder") : QString("Saved in ") + folder;
    folderLabel_->setText(
        folderLabel_->fontMetrics().elidedText(shown, Qt::ElideMiddle, folderLabel_->width()));

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(1000);

    connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });

    // FormCreate: the lines already there are shown when the window opens.
    memo1_->clear();
    shownCount_ = state_.log.EventLog.size();
    shownFile_ = state_.log.fileName;

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void LogViewer::ApplyLiveIndication() {
    const bool armed = (state_.poll.PollRequest.load() & ReqPollArmed) != 0;
    setWindowTitle(armed ? kLiveCaption : kPausedCaption);
    const QPalette& system = QApplication::palette();
    QPalette pal = memo1_->palette();
    const QColor colour = armed ? system.color(QPalette::Active, QPalette::Text)
                                : system.color(QPalette::Disabled, QPalette::Text);
    pal.setColor(QPalette::Active, QPalette::Text, colour);
    pal.setColor(QPalette::Inactive, QPalette::Text, colour);
    memo1_->setPalette(pal);
}

void LogViewer::ShowAllLines() {
    memo1_->setPlainText(Lines(state_.log.EventLog, 0, shownCount_));
    memo1_->moveCursor(QTextCursor::End);
}

void LogViewer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;  // the window was restored, not opened
    }
    ApplyLiveIndication();
    ShowAllLines();
    timer1_->start();
}

void LogViewer::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        timer1_->stop();
    }
    QDialog::hideEvent(event);
}

void LogViewer::Timer1Timer() {
    ApplyLiveIndication();
    if (state_.poll.StatusPollRunning.load()) {
        return;  // a poll may be about to add lines
    }
    const std::vector<std::string>& log = state_.log.EventLog;
    const std::size_t n = log.size();
    if (state_.log.fileName != shownFile_ || n < shownCount_) {
        shownFile_ = state_.log.fileName;
        shownCount_ = n;
        ShowAllLines();
        return;
    }
    if (shownCount_ < n) {
        memo1_->appendPlainText(Lines(log, shownCount_, n));
    }
    shownCount_ = n;
}

void LogViewer::Button1Click() {
    // A file still being read is not shown over the live log.
    ++readRequest_;
    timer1_->stop();
    ApplyLiveIndication();
    shownCount_ = state_.log.EventLog.size();
    shownFile_ = state_.log.fileName;
    ShowAllLines();
    timer1_->start();
}

void LogViewer::Button2Click() {
    timer1_->stop();
    QPointer<LogViewer> self(this);
    // The day files are kept in the event-log folder, wherever the program
    // was started from.
    const QString folder = QString::fromStdString(state_.log.logFolder);
    files_.ChooseFileToOpenIn(this, folder, kFileFilter, [self](std::optional<QString> path) {
        // A cancelled choice leaves the text as it is, and the timer stopped.
        if (self && path) {
            self->OpenLogFile(*path);
        }
    });
}

// The file is read and turned into text on a thread of its own: a large or
// slow file must not freeze the window. Only the newest request is shown.
void LogViewer::OpenLogFile(const QString& path) {
    const std::uint64_t request = ++readRequest_;
    struct Result {
        LogLoad load;
        QString text;
    };
    auto result = std::make_shared<Result>();
    QThread* reader = QThread::create([result, file = path.toStdString()] {
        result->load = LoadLogFile(file);
        if (result->load.outcome == LogLoad::Outcome::Loaded) {
            result->text = Lines(result->load.lines, 0, result->load.lines.size());
            result->load.lines.clear();
        }
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, result, path, request] {
        if (request != readRequest_) {
            return;
        }
        const LogLoad& load = result->load;
        if (load.outcome != LogLoad::Outcome::Loaded) {
            const std::string error =
                load.outcome == LogLoad::Outcome::Missing
                    ? "Cannot open file \"" + path.toStdString() + "\". The file does not exist."
                    : load.error;
            dialogs_.MessageBox(error, "", DialogIcon::Error);
            return;
        }
        memo1_->setPlainText(result->text);
        setWindowTitle("Event log - " + QFileInfo(path).fileName());
    });
    reader->start();
}

}  // namespace raid::ui
