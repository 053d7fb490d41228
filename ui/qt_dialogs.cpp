#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace raid::ui {
namespace {

QMessageBox::Icon ToQt(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Information:
            return QMessageBox::Information;
        case DialogIcon::Warning:
            return QMessageBox::Warning;
        case DialogIcon::Error:
            return QMessageBox::Critical;
        case DialogIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int TitleRoom(const QString& caption) {
    // The desktop draws the caption in its own title font, usually bold and
    // a little larger than the text's, beside the window's icon and its
    // buttons: a box narrower than that shows "E-M…ge".
    QFont title = QApplication::font();
    title.setBold(true);
    if (title.pixelSize() > 0) {
        title.setPixelSize(title.pixelSize() + 2);
    } else {
        title.setPointSizeF(title.pointSizeF() + 1.5);
    }
    return QFontMetrics(title).horizontalAdvance(caption) + kTitleBarChrome;
}

void QtDialogs::MessageBox(const std::string& text, const std::string& caption, DialogIcon icon) {
    auto* box = new QMessageBox(ToQt(icon),
                                QString::fromStdString(caption.empty() ? kDefaultCaption : caption),
                                QString::fromStdString(text), QMessageBox::Ok, parent_.data());
    box->setObjectName("MessageBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    // QMessageBox sizes itself to its text; a spacer across its grid keeps it
    // as wide as its caption needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(TitleRoom(box->windowTitle()), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box->show();
}

bool QtDialogs::Ask(const std::string& question, const std::string& caption) {
    // Modal and waited for: what follows the answer cannot be undone. No is
    // the default, so that Enter alone starts nothing.
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No,
                    parent_.data());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtFileChooser::ChooseFileToOpen(QWidget* parent, const QString& filter,
                                     std::function<void(std::optional<QString>)> done) {
    ChooseFileToOpenIn(parent, QString(), filter, std::move(done));
}

void QtFileChooser::ChooseFileToOpenIn(QWidget* parent, const QString& folder,
                                       const QString& filter,
                                       std::function<void(std::optional<QString>)> done) {
    auto* dialog = new QFileDialog(parent, QString(), folder, filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::ApplicationModal);
    // Exactly one of the two fires; `finished` comes after `fileSelected`.
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [done, answered](const QString& file) {
                         *answered = true;
                         done(file);
                     });
    QObject::connect(dialog, &QDialog::finished, dialog, [done, answered](int) {
        if (!*answered) {
            done(std::nullopt);
        }
    });
    dialog->open();
}

}  // namespace raid::ui
