#pragma once

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QTableWidget>

#include "ui/picture_button.h"

// Small helpers that make the window's controls at fixed places, each named
// as the window definition names it, so that code and tests find them by name.
namespace raid::ui {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry);
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry);
QRadioButton* MakeRadioButton(QWidget* parent, const char* name, const QString& text,
                              const QRect& geometry);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry);
QComboBox* MakeComboBox(QWidget* parent, const char* name, const QRect& geometry);
QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry);

// A fixed grid without headers whose cells the user selects but never edits.
QTableWidget* MakeGrid(QWidget* parent, const char* name, const QRect& geometry, int columns,
                       int rows);

// A picture button with hidden yellow and white holders beside it, which
// lend it their pictures (":/pictures/<base>_yellow.svg" and "_white.svg").
struct Choice {
    PictureButton* button = nullptr;
    QString yellow;
    QString white;
    void Select(bool selected) const { button->SetPicture(selected ? yellow : white); }
};
Choice MakeChoice(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& pictureBase, bool selected);

// Text colour of a label while enabled; a disabled label keeps the grey of
// the style.
void SetTextColour(QWidget* widget, const QColor& colour);
// The alarm's red, whether the label is enabled or not; `alarm` false gives
// the label back the colours of its parent.
void SetAlarmColour(QWidget* widget, bool alarm);

// The window's colours: the white page with dark text that the design draws
// on, both taken from one palette whatever the desktop's theme is, so that a
// dark theme's light text never lands on the white page.
QPalette DesignPalette();

}  // namespace raid::ui
