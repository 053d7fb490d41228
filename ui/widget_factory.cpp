#include "ui/widget_factory.h"

#include <QHeaderView>

namespace raid::ui {
namespace {

template <typename W>
W* Place(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = Place(new QLabel(text, parent), name, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
    return Place(new QCheckBox(text, parent), name, geometry);
}

QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& text,
                              const QRect& geometry) {
    return Place(new QRadioButton(text, parent), name, geometry);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry) {
    return Place(new QLineEdit(parent), name, geometry);
}

QComboBox* MakeComboBox(QWidget* parent, const char* name, const QRect& geometry) {
    return Place(new QComboBox(parent), name, geometry);
}

QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* panel = Place(new QFrame(parent), name, geometry);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, const QRect& geometry, int columns,
                       int rows) {
    auto* grid = Place(new QTableWidget(rows, columns, parent), name, geometry);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return grid;
}

Choice MakeChoice(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& pictureBase, bool selected) {
    const QString base = ":/pictures/" + pictureBase;
    auto* yellow = new PictureButton(name + "_Yellow", parent, geometry, base + "_yellow.svg");
    auto* white = new PictureButton(name + "_White", parent, geometry, base + "_white.svg");
    yellow->hide();
    white->hide();
    auto* button =
        new PictureButton(name, parent, geometry, selected ? yellow->picture() : white->picture());
    // Choosing pictures do not sink when pressed.
    button->SetPressMoves(false);
    return Choice{button, yellow->picture(), white->picture()};
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, colour);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    widget->setPalette(pal);
}

}  // namespace raid::ui
