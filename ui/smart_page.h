#pragma once

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QTableWidget>
#include <array>
#include <vector>

#include "app/app_state.h"
#include "device/dialogs.h"
#include "maintenance/smart_table.h"
#include "monitor/status_sink.h"
#include "ui/picture_button.h"

namespace raid::ui {

// Page 5 of Notebook1: the SMART attribute table of one drive of the
// enclosure shown on the status page, its overall health word, the 4K sector
// line, and the refresh countdown whose double click dumps the raw sectors.
// The controls are made with the page; this object finds them by name.
class SmartPage final : public QObject {
    Q_OBJECT

  public:
    SmartPage(QWidget* page, AppState& state, StatusSink& status, Dialogs& dialogs);

    // Rebuilds the table from the SMART store for the chosen drive.
    void Rebuild();
    // Image5_HDD1Click / Image5_HDD2Click: refused during a firmware upgrade.
    void ChooseDrive(int drive);
    int drive() const { return drive_; }
    // The colour of each row of StringGrid3, as drawn.
    const std::vector<QColor>& rowColours() const { return rowColours_; }

    static constexpr int kRowHeight = 16;
    static constexpr int kGridFontPixels = 11;
    static constexpr std::array<int, 6> kColumnWidths{145, 36, 36, 54, 75, 40};
    static constexpr int kRawColumn = 4;
    // The RAW column's width: the designed 75 pixels, or what twelve of the
    // widest hexadecimal digit need in the grid's font when that is more.
    static int RawColumnWidth(const QFont& font);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void StringGrid3SelectCell(int row, int column);
    void Label21DblClick();
    void MarkDrivePictures();
    void Clear();
    void SizeRawColumn(QTableWidget* head);

    QWidget* page_;
    AppState& state_;
    StatusSink& status_;
    Dialogs& dialogs_;
    std::array<PictureButton*, 2> pictures_{};  // Image5_HDD1, Image5_HDD2
    QTableWidget* grid_ = nullptr;              // StringGrid3
    QLabel* title_ = nullptr;                   // Label22
    QLabel* overall_ = nullptr;                 // Label23
    QLabel* fourK_ = nullptr;                   // Label24
    QLabel* countdown_ = nullptr;               // Label21

    int drive_ = 0;
    bool focusedOnce_ = false;
    std::vector<QColor> rowColours_;
    std::vector<SmartRow> rows_;
};

}  // namespace raid::ui
