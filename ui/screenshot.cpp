#include "ui/screenshot.h"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "ui/email_page.h"
#include "ui/main_window.h"

namespace raid::ui {
namespace {

constexpr int kCaptionHeight = 26;
constexpr int kGap = 6;

}  // namespace

QPixmap WindowPicture(MainWindow& window) {
    const QPixmap client = window.grab();
    const qreal ratio = client.devicePixelRatio();
    const QSize size(window.width(), window.height() + kCaptionHeight);
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.fillRect(QRect(0, 0, size.width(), kCaptionHeight), QColor(0xDD, 0xE3, 0xEA));
    painter.setPen(QColor(0xB4, 0xBE, 0xCA));
    painter.drawLine(0, kCaptionHeight - 1, size.width(), kCaptionHeight - 1);
    window.windowIcon().paint(&painter, QRect(6, 5, 16, 16));
    QFont caption = window.font();
    caption.setBold(true);
    painter.setFont(caption);
    painter.setPen(QColor(0x1D, 0x2B, 0x3A));
    painter.drawText(QRect(28, 0, size.width() - 34, kCaptionHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, window.windowTitle());
    painter.drawPixmap(0, kCaptionHeight, client);
    return picture;
}

bool SaveWindowPng(MainWindow& window, const QString& file, int page) {
    std::vector<QPixmap> pictures;
    const int shown = window.shownSlot();
    const int shownPage = window.currentPage();
    const int upgradeShown = window.upgradeSlot();
    const int count = std::min(window.deviceCount(), 2);
    if (page == kPageEmail) {
        // The mail settings are the same for every enclosure: each sub-page
        // once, shown with an enclosure that offers the page.
        for (int slot = 0; slot < count; ++slot) {
            window.OpenPage(kPageStatus);
            if (window.SelectStatusDevice(slot) &&
                (window.lastPageButtonSet() & kButtonEmail) != 0) {
                break;
            }
        }
        EmailPage& email = *window.emailPage();
        const int remembered = email.subPage();
        window.OpenPage(page);
        for (int sub = EmailPage::kSubSetup; sub <= EmailPage::kSubDeviceRemove; ++sub) {
            email.SelectSection(sub);
            pictures.push_back(WindowPicture(window));
        }
        email.SelectSection(remembered);
        window.SelectStatusDevice(shown);
    } else {
        for (int slot = 0; slot < count; ++slot) {
            // From the status page, so that the labels other pages quote (drive
            // models on the SMART page) belong to this enclosure.
            window.OpenPage(kPageStatus);
            if (window.SelectStatusDevice(slot)) {
                window.OpenPage(page);
                if (page == kPageUpgrade) {
                    window.SelectUpgradeDevice(slot);
                }
                pictures.push_back(WindowPicture(window));
            }
        }
        if (pictures.empty()) {
            window.OpenPage(page);
            pictures.push_back(WindowPicture(window));
        } else {
            window.SelectStatusDevice(shown);
            if (page == kPageUpgrade) {
                window.SelectUpgradeDevice(upgradeShown);
            }
        }
    }
    window.OpenPage(shownPage);
    const qreal ratio = pictures.front().devicePixelRatio();
    const int width = pictures.front().width();
    int height = 0;
    for (const QPixmap& p : pictures) {
        height += p.height();
    }
    height += static_cast<int>(kGap * ratio) * static_cast<int>(pictures.size() - 1);
    QPixmap sheet(width, height);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        int top = 0;
        for (const QPixmap& p : pictures) {
            QPixmap raw = p;
            raw.setDevicePixelRatio(1.0);
            painter.drawPixmap(0, top, raw);
            top += p.height() + static_cast<int>(kGap * ratio);
        }
    }
    sheet.setDevicePixelRatio(ratio);
    return !sheet.isNull() && sheet.save(file, "PNG");
}

}  // namespace raid::ui
