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
// no clicks.
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
    bool pressed() const { return pressed_; }

    static constexpr int kPressOffset = 2;

  Q_SIGNALS:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QString resource_;
    bool pressMoves_ = true;
    bool pressed_ = false;
};

}  // namespace raid::ui
