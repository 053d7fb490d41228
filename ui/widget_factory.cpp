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

void SetAlarmColour(QWidget* widget, bool alarm) {
    if (!alarm) {
        widget->setPalette(QPalette());
        return;
    }
    const QColor red(0xFF, 0x00, 0x00);
    QPalette pal = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::WindowText, red);
    }
    widget->setPalette(pal);
}

QPalette DesignPalette() {
    // Built from a light button colour, the palette's other roles (disabled
    // greys, light and dark shades) follow from it.
    QPalette pal(QColor(0xF0, 0xF0, 0xF0));
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Window, Qt::white);
        pal.setColor(group, QPalette::WindowText, Qt::black);
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF5));
        pal.setColor(group, QPalette::Text, Qt::black);
        pal.setColor(group, QPalette::ButtonText, Qt::black);
        pal.setColor(group, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xDC));
        pal.setColor(group, QPalette::ToolTipText, Qt::black);
        pal.setColor(group, QPalette::Highlight, QColor(0x00, 0x78, 0xD7));
        pal.setColor(group, QPalette::HighlightedText, Qt::white);
        pal.setColor(group, QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    }
    pal.setColor(QPalette::Disabled, QPalette::Window, Qt::white);
    pal.setColor(QPalette::Disabled, QPalette::Base, QColor(0xF0, 0xF0, 0xF0));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        pal.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    }
    return pal;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, colour);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    widget->setPalette(pal);
}

}  // namespace raid::ui
