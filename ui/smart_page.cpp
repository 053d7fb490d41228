#include "ui/smart_page.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "maintenance/smart_dump.h"
#include "ui/widget_factory.h"

namespace raid::ui {
namespace {

QColor ColourOf(SmartColour colour) {
    switch (colour) {
        case SmartColour::Red:
            return Qt::red;
        case SmartColour::Yellow:
            return Qt::yellow;
        case SmartColour::Maroon:
            return QColor(0x80, 0x00, 0x00);
        case SmartColour::Black:
            return Qt::black;
        case SmartColour::White:
            break;
    }
    return Qt::white;
}

// StringGrid3DrawCell: the row's colour under black text, the name at the
// cell's top-left corner, the other columns centred.
class AttributeCellDelegate final : public QStyledItemDelegate {
  public:
    AttributeCellDelegate(const std::vector<QColor>& colours, QObject* parent)
        : QStyledItemDelegate(parent), colours_(colours) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto row = static_cast<std::size_t>(index.row());
        const QColor colour = row < colours_.size() ? colours_[row] : QColor(Qt::white);
        painter->save();
        painter->fillRect(option.rect, colour);
        painter->setPen(Qt::black);
        painter->setFont(option.font);
        const bool name = index.column() == 0;
        const Qt::Alignment align =
            name ? (Qt::AlignLeft | Qt::AlignTop) : (Qt::AlignHCenter | Qt::AlignTop);
        painter->drawText(option.rect.adjusted(name ? 2 : 0, 1, 0, 0), align | Qt::TextSingleLine,
                          index.data().toString());
        if ((option.state & QStyle::State_HasFocus) != 0) {
            QPen dotted(Qt::black, 1, Qt::DotLine);
            painter->setPen(dotted);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

  private:
    const std::vector<QColor>& colours_;
};

}  // namespace

SmartPage::SmartPage(QWidget* page, AppState& state, StatusSink& status, Dialogs& dialogs)
    : QObject(page), page_(page), state_(state), status_(status), dialogs_(dialogs) {
    pictures_ = {page->findChild<PictureButton*>("Image5_HDD1"),
                 page->findChild<PictureButton*>("Image5_HDD2")};
    grid_ = page->findChild<QTableWidget*>("StringGrid3");
    title_ = page->findChild<QLabel*>("Label22");
    overall_ = page->findChild<QLabel*>("Label23");
    fourK_ = page->findChild<QLabel*>("Label24");
    countdown_ = page->findChild<QLabel*>("Label21");

    for (int drive = 0; drive < 2; ++drive) {
        connect(pictures_[static_cast<std::size_t>(drive)], &PictureButton::clicked, this,
                [this, drive] { ChooseDrive(drive); });
    }
    // Twelve raw digits must fit their 75 pixels, and "Threshold" its 54.
    auto* head = page->findChild<QTableWidget*>("StringGrid4");
    for (QTableWidget* g : {head, grid_}) {
        QFont small = g->font();
        small.setPixelSize(kGridFontPixels);
        small.setBold(false);
        g->setFont(small);
        g->setTextElideMode(Qt::ElideNone);
        g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    SizeRawColumn(head);
    grid_->setItemDelegate(new AttributeCellDelegate(rowColours_, grid_));
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->setShowGrid(true);
    connect(grid_, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { StringGrid3SelectCell(row, column); });
    connect(grid_, &QTableWidget::cellClicked, this,
            [this](int row, int column) { StringGrid3SelectCell(row, column); });
    countdown_->installEventFilter(this);
    grid_->hide();
}

int SmartPage::RawColumnWidth(const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QChar digit : QString("0123456789ABCDEF")) {
        widest = std::max(widest, metrics.horizontalAdvance(digit));
    }
    // The cell's text is centred; a few pixels keep it off the grid lines.
    constexpr int kCellPadding = 6;
    return std::max(kColumnWidths[kRawColumn], 12 * widest + kCellPadding);
}

void SmartPage::SizeRawColumn(QTableWidget* head) {
    // "DDDDDDDDDDDD" needs 95 pixels in Arial 11 px, and any value may need
    // more than 75 in a font with other metrics: the width is measured.
    const int raw = RawColumnWidth(grid_->font());
    int columns = 0;
    for (std::size_t c = 0; c < kColumnWidths.size(); ++c) {
        const int width = static_cast<int>(c) == kRawColumn ? raw : kColumnWidths[c];
        head->setColumnWidth(static_cast<int>(c), width);
        grid_->setColumnWidth(static_cast<int>(c), width);
        columns += width;
    }
    // The columns keep their widths; the grid makes room for its scroll bar.
    head->setFixedWidth(columns + 2 * head->frameWidth());
    grid_->setFixedWidth(columns + 2 * grid_->frameWidth() +
                         grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

bool SmartPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == countdown_ && event->type() == QEvent::MouseButtonDblClick) {
        Label21DblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void SmartPage::ChooseDrive(int drive) {
    if (state_.flags.flashTargetIndex.load() != kNoFlashTarget || drive < 0 || drive > 1) {
        return;
    }
    drive_ = drive;
    Rebuild();
}

void SmartPage::MarkDrivePictures() {
    for (int drive = 0; drive < 2; ++drive) {
        const QString name =
            QString("Image5_HDD%1_%2").arg(drive + 1).arg(drive == drive_ ? "Yellow" : "White");
        pictures_[static_cast<std::size_t>(drive)]->SetPicture(
            page_->findChild<PictureButton*>(name)->picture());
    }
}

void SmartPage::Clear() {
    grid_->hide();
    grid_->setRowCount(0);
    rows_.clear();
    rowColours_.clear();
    focusedOnce_ = false;
    overall_->clear();
    fourK_->clear();
    fourK_->setToolTip(QString());
}

void SmartPage::Rebuild() {
    MarkDrivePictures();
    const QWidget* window = page_->window();
    auto text = [window](const char* name) {
        const auto* label = window->findChild<QLabel*>(name);
        return label != nullptr ? label->text() : QString();
    };
    title_->setText(" SMART - " + text(drive_ == 0 ? "Label45" : "Label46") + " : " +
                    text(drive_ == 0 ? "Label51" : "Label52"));

    const std::size_t device = state_.poll.shownSlot;
    if (device >= kSmartDevices) {
        Clear();
        return;
    }
    const auto j = static_cast<std::size_t>(drive_);
    const DeviceState& dev = state_.devices;
    if (device < dev.table.count) {
        const std::uint8_t driveClass = dev.records[dev.table.Disk(device)].driveClass;
        const std::uint8_t present = drive_ == 0 ? 0x02 : 0x20;
        if ((driveClass & present) == 0) {
            // No SMART for a drive that is not there: say so, rather than
            // leave an empty grid (or an old drive's values) to be guessed at.
            Clear();
            overall_->setText(QString(" HDD%1 is absent ").arg(drive_ + 1));
            SetTextColour(overall_, Qt::black);
            return;
        }
    }
    const SmartStore& store = state_.smart;
    SmartTable table = BuildSmartTable(store.data[device][j], store.thresholds[device][j],
                                       store.sectorWord[device][j]);
    if (table.rows.empty()) {
        Clear();
        return;
    }
    rows_ = std::move(table.rows);
    rowColours_.clear();
    grid_->setRowCount(static_cast<int>(rows_.size()));
    // A threshold sector that was never read is all zeros: its thresholds
    // are not known, and zeros would read as real ones.
    const auto& thresholdSector = store.thresholds[device][j];
    const bool thresholdsKnown = std::any_of(thresholdSector.begin(), thresholdSector.end(),
                                             [](std::uint8_t b) { return b != 0; });
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const SmartRow& row = rows_[r];
        rowColours_.push_back(ColourOf(row.colour));
        const QString name = QString::fromStdString(row.cells[0]);
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            QString text = QString::fromStdString(row.cells[c]);
            if (c == 3 && !thresholdsKnown) {
                text = "Unknown";
            }
            auto* item = new QTableWidgetItem(text);
            // The full name (the column cuts long ones) and the raw value in
            // decimal, the way other SMART tools print it.
            item->setToolTip(name + "\nRAW " + QString::fromStdString(row.cells[kRawColumn]) +
                             " = " + QString::number(row.raw));
            grid_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    grid_->show();
    grid_->viewport()->update();

    overall_->setText(QString::fromStdString(table.overallText));
    SetTextColour(overall_, ColourOf(table.overallColour));
    fourK_->setText(QString::fromStdString(table.fourK.text));
    fourK_->setToolTip(QString::fromStdString(table.fourK.hint));

    if (!focusedOnce_) {
        grid_->setCurrentCell(0, 0);
        grid_->setFocus();
        focusedOnce_ = true;
    }
}

void SmartPage::StringGrid3SelectCell(int row, int column) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return;
    }
    const SmartRow& r = rows_[static_cast<std::size_t>(row)];
    QString text;
    if (column == 0) {
        text = QString::fromStdString(r.cells[0]);
    } else if (column == 4) {
        text = QString::fromStdString(SmartRawText(r.raw));
    } else {
        grid_->setToolTip(QString());
        return;
    }
    status_.SetPanel(kPanelErrors, text.toStdString());
    grid_->setToolTip(text);
}

void SmartPage::Label21DblClick() {
    DumpSmartSectors(state_.smart, state_.log.logFolder, status_, dialogs_);
}

}  // namespace raid::ui
