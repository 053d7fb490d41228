#include "ui/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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

void QtDialogs::MessageBox(const std::string& text, const std::string& caption, DialogIcon icon) {
    auto* box = new QMessageBox(ToQt(icon),
                                QString::fromStdString(caption.empty() ? kDefaultCaption : caption),
                                QString::fromStdString(text), QMessageBox::Ok, parent_.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
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
