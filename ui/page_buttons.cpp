// Title, page buttons and page selection of the main window.
#include <QLabel>
#include <QStackedWidget>

#include "ui/email_page.h"
#include "ui/main_window.h"
#include "ui/setup_page.h"
#include "ui/smart_page.h"

namespace raid::ui {

void MainWindow::ApplyProductTitle() {
    setWindowTitle(kAppTitle);
    findChild<QLabel*>("Label63")->setText("RAID Management Sofeware");
    auto* background = findChild<PictureButton*>("Image_Background");
    background->SetPicture(findChild<PictureButton*>("Image_Background_RAID")->picture());
    background->lower();
    findChild<QWidget*>("Image_Background_OEM")->hide();
    ShowPageButtons(OfferedButtons(kButtonsWithSchedule));
}

void MainWindow::ShowPageButtons(std::uint8_t set) {
    if (set == lastButtonSet_) {
        return;
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < pageButtons_.size(); ++i) {
        PageButton& b = pageButtons_[i];
        if ((set & (1u << i)) != 0) {
            b.button->move(pageButtons_[next].slot);
            b.button->show();
            ++next;
        } else {
            b.button->hide();
        }
    }
    lastButtonSet_ = set;
}

void MainWindow::SelectPage(int page) {
    state_.CurrentPage = page;
    for (PageButton& b : pageButtons_) {
        b.button->SetPicture((b.page == page ? b.yellow : b.white)->picture());
    }
    notebook1_->setCurrentIndex(page);
    staticText1_->setVisible(statusTextShown_ && page == kPageStatus);
}

bool MainWindow::PageLocked(int page) const {
    if (state_.flags.flashTargetIndex.load() != kNoFlashTarget) {
        return true;
    }
    return state_.flags.StartupPass.load() != 0 && page != kPageStatus && page != kPageEmail &&
           page != kPageAbout;
}

// The RAID flavour has no initialisation sub-page: the schedule button takes
// its place and the schedule sub-page is the only one shown.
void MainWindow::PrepareSchedulePage() {
    auto* initialize = findChild<PictureButton*>("Image1_Initialize");
    auto* schedule = findChild<PictureButton*>("Image1_Schedule");
    schedule->move(initialize->pos());
    initialize->hide();
    findChild<QStackedWidget*>("Notebook3")->setCurrentIndex(1);
    initialize->SetPicture(findChild<PictureButton*>("Image1_Initialize_White")->picture());
    schedule->SetPicture(findChild<PictureButton*>("Image1_Schedule_Yellow")->picture());
    schedule->show();
    findChild<QWidget*>("Image1_Set")->show();
}

bool MainWindow::OpenPage(int page) {
    if (PageLocked(page)) {
        return false;
    }
    for (std::size_t i = 0; i < pageButtons_.size(); ++i) {
        if (pageButtons_[i].page == page) {
            PageButtonClick(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void MainWindow::PageButtonClick(int index) {
    const int page = pageButtons_[static_cast<std::size_t>(index)].page;
    if (PageLocked(page)) {
        return;
    }
    SelectPage(page);
    switch (page) {
        case kPageStatus:
            if (state_.flags.StartupPass.load() != 0) {
                break;  // no status shown yet: the page as it stands
            }
            RebuildDeviceList();
            ShowDevicePictures();
            if (ShowStatusPage(state_.log.FullRedrawRequested) == 0) {
                state_.log.FullRedrawRequested = false;
            }
            break;
        case kPageSetup:
            PrepareSchedulePage();
            setupPage_->Enter();
            break;
        case kPageEmail:
            emailPage_->Enter();
            break;
        case kPageUpgrade:
            RebuildDeviceList();
            ShowDevicePictures();
            findChild<QLabel*>("Label54")->setText(QString::fromStdString(deviceLabel_));
            break;
        case kPageSmart:
            smartPage_->Rebuild();
            break;
        default:
            break;
    }
}

}  // namespace raid::ui
