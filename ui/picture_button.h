#pragma once

#include <QLabel>
#include <QPixmap>
#include <QString>

namespace raid::ui {

// Renders an SVG picture of the resources at a size.
QPixmap SvgPixmap(const QString& resource, QSize size);

// A picture that acts as a button, as the window's page buttons and drive
// pictures do: while the mouse button is held it sits 2 pixels lower, and a
// release over it is a click. Disabled, it shows its picture greyed and takes
// no clicks. It takes the keyboard focus with Tab, shows it with a dotted
// frame and acts on Enter and Space, as a push button does; pictures that only
// decorate are made so with SetDecorative.
class PictureButton : public QLabel {
    Q_OBJECT

  public:
    PictureButton(const QString& objectName, QWidget* parent, const QRect& geometry,
                  const QString& resource = {});

    void SetPicture(const QString& resource);
    // The resource shown; the hidden yellow and white holders lend theirs.
    const QString& picture() const { return resource_; }

    // The press look may be switched off for pictures that only select.
    void SetPressMoves(bool moves) { pressMoves_ = moves; }
    // A background or an illustration: no focus, no hand cursor.
    void SetDecorative();
    // Whether the focus frame is drawn now (the focus came from the keyboard).
    bool focusShown() const { return hasFocus() && keyboardFocus_; }
    bool pressed() const { return pressed_; }

    static constexpr int kPressOffset = 2;

  Q_SIGNALS:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QString resource_;
    bool pressMoves_ = true;
    bool pressed_ = false;
    bool keyboardFocus_ = false;
};

}  // namespace raid::ui
