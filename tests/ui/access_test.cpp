// The window for every user: a dark theme, the keyboard, a screen reader,
// the E-mail page without an enclosure, and texts that are shown whole.
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QtTest>

#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/log_viewer.h"
#include "ui/qt_dialogs.h"

using raid::ui::PictureButton;
using raid::uitest::LeavePicture;
using raid::uitest::WindowRig;

namespace {

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// WCAG's contrast ratio, 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette() {
    QPalette dark(QColor(0x35, 0x35, 0x35));
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
        dark.setColor(group, QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(group, QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
        dark.setColor(group, QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        dark.setColor(group, QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    }
    return dark;
}

// The application's palette for one test, given back afterwards.
struct ThemePalette {
    explicit ThemePalette(const QPalette& p) : saved(QApplication::palette()) {
        QApplication::setPalette(p);
    }
    ~ThemePalette() { QApplication::setPalette(saved); }
    QPalette saved;
};

void Show(WindowRig& rig) {
    rig.window.show();
    QApplication::setActiveWindow(&rig.window);
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
}

QString FocusName() {
    QWidget* w = QApplication::focusWidget();
    return w != nullptr ? w->objectName() : QString();
}

// Tab from `first` until the focus comes back; the names met, in order.
QStringList TabChain(QWidget* first) {
    first->setFocus(Qt::TabFocusReason);
    QStringList chain{FocusName()};
    for (int i = 0; i < 80; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == first) {
            break;
        }
        chain << FocusName();
    }
    return chain;
}

}  // namespace

class AccessTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Under a dark theme the window keeps the design's white page with dark
    // text: every text stands out from what it is drawn on, whatever state
    // colours it.
    void darkThemeKeepsTextReadable() {
        ThemePalette theme(DarkPalette());
        WindowRig rig;
        rig.StartUp();
        for (int page : {0, 1, 2, 3, 4, 5}) {
            if (!rig.window.OpenPage(page)) {
                continue;
            }
            for (QWidget* w : rig.window.findChildren<QWidget*>()) {
                if (!w->isVisibleTo(&rig.window) ||
                    w->palette().color(QPalette::Window).alpha() == 0) {
                    continue;
                }
                const QPalette& p = w->palette();
                const bool edit = qobject_cast<QLineEdit*>(w) != nullptr ||
                                  qobject_cast<QPlainTextEdit*>(w) != nullptr;
                const QColor text =
                    p.color(QPalette::Active, edit ? QPalette::Text : QPalette::WindowText);
                const QColor ground = edit ? p.color(QPalette::Active, QPalette::Base)
                                           : rig.window.palette().color(QPalette::Window);
                // 3:1, as for large text: the design's pure red on white
                // stands at 4:1; a dark theme's light grey would be 1.2:1.
                QVERIFY2(Contrast(text, ground) >= 3.0,
                         qPrintable(QString("%1 on page %2: %3 on %4")
                                        .arg(w->objectName())
                                        .arg(page)
                                        .arg(text.name())
                                        .arg(ground.name())));
            }
        }
        rig.window.OpenPage(0);
        // The picture: dark text where the mode is written.
        const QImage shot = rig.Find<QLabel>("Label17")->grab().toImage();
        bool dark = false;
        for (int y = 0; y < shot.height() && !dark; ++y) {
            for (int x = 0; x < shot.width() && !dark; ++x) {
                dark = Luminance(shot.pixelColor(x, y)) < 0.1;
            }
        }
        QVERIFY(dark);
        QVERIFY(LeavePicture(rig, "dark-theme"));
    }

    // The page buttons and the status page's pictures are reached with Tab,
    // in the order they stand, and act on Enter and Space.
    void keyboardReachesAndPressesPictureButtons() {
        WindowRig rig;
        rig.StartUp();
        Show(rig);
        auto* status = rig.Find<PictureButton>("Image_Sts");
        const QStringList chain = TabChain(status);
        const QStringList expected{"Image_Sts",   "Image_Setup", "Image_FWUpg", "Image_Email",
                                   "Image_SMART", "Image_About", "CheckBox1",   "CheckBox3",
                                   "Image0_D1",   "Image0_D2",   "CheckBox5",   "Image0_Log"};
        QCOMPARE(chain.mid(0, expected.size()), expected);

        auto* d2 = rig.Find<PictureButton>("Image0_D2");
        d2->setFocus(Qt::TabFocusReason);
        QVERIFY(d2->focusShown());
        QVERIFY(LeavePicture(rig, "keyboard-focus"));
        QTest::keyClick(d2, Qt::Key_Space);
        QCOMPARE(rig.window.shownSlot(), 1);

        auto* about = rig.Find<PictureButton>("Image_About");
        about->setFocus(Qt::TabFocusReason);
        QTest::keyClick(about, Qt::Key_Return);
        QCOMPARE(rig.state.CurrentPage, 4);
        // A click gives the focus without the keyboard's frame.
        QTest::mouseClick(status, Qt::LeftButton);
        QCOMPARE(rig.state.CurrentPage, 0);
        QVERIFY(!status->focusShown());
    }

    // Every control the keyboard reaches, on every page, has a name and a
    // description for a screen reader.
    void everyControlIsNamedForAScreenReader() {
        WindowRig rig;
        rig.StartUp();
        for (int page : {0, 1, 2, 3, 4, 5}) {
            rig.window.OpenPage(page);
            auto* notebook2 = rig.Find<QStackedWidget>("Notebook2");
            for (int sub = 0; sub < (page == 3 ? notebook2->count() : 1); ++sub) {
                if (page == 3) {
                    notebook2->setCurrentIndex(sub);
                }
                for (QWidget* w : rig.window.findChildren<QWidget*>()) {
                    if (!w->isVisibleTo(&rig.window) || (w->focusPolicy() & Qt::TabFocus) == 0 ||
                        w->parentWidget() == nullptr ||
                        qobject_cast<QAbstractScrollArea*>(w->parentWidget()) != nullptr ||
                        w->objectName().startsWith("qt_")) {
                        continue;
                    }
                    QVERIFY2(
                        !w->accessibleName().isEmpty() && !w->accessibleDescription().isEmpty(),
                        qPrintable(QString("%1 (%2) on page %3")
                                       .arg(w->objectName())
                                       .arg(w->metaObject()->className())
                                       .arg(page)));
                }
            }
        }
    }

    // Mail settings are the same for every enclosure: the page is reached
    // without one, and with a hybrid enclosure alone.
    void emailPageWithoutAnEnclosure() {
        raid::sim::Scenario none = raid::sim::DefaultScenario();
        none.enclosures.clear();
        none.timeline.clear();
        WindowRig rig(none);
        rig.StartUp();
        QCOMPARE(rig.state.devices.table.count, 0);
        QVERIFY(!rig.Find<QWidget>("Image_FWUpg")->isEnabled());
        QTest::mouseClick(rig.Find<QWidget>("Image_Email"), Qt::LeftButton);
        QCOMPARE(rig.state.CurrentPage, 3);
        // The detection text stays on the status page it belongs to.
        QVERIFY(rig.Find<QWidget>("StaticText1")->isHidden());
        QVERIFY(LeavePicture(rig, "email-without-enclosure"));
        QTest::mouseClick(rig.Find<QWidget>("Image_Sts"), Qt::LeftButton);
        QCOMPARE(rig.state.CurrentPage, 0);
        QVERIFY(!rig.Find<QWidget>("StaticText1")->isHidden());
    }
    void emailPageWithAHybridEnclosure() {
        WindowRig rig;
        rig.StartUp();
        // The mirror keeps a backup schedule: Setup and E-mail both.
        const std::uint8_t set = rig.window.lastPageButtonSet();
        QVERIFY(set & raid::ui::kButtonSetup);
        QVERIFY(set & raid::ui::kButtonEmail);
        QTest::mouseClick(rig.Find<QWidget>("Image_Email"), Qt::LeftButton);
        QCOMPARE(rig.state.CurrentPage, 3);
    }

    // Every designed text of the status bar fits its panel in the bar's font.
    void statusBarTextsFit_data() {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("text");
        QTest::newRow("checksum") << 0 << "Chksum:0007F4DA";
        QTest::newRow("widest checksum") << 0 << "Chksum:DDDDDDDD";
        QTest::newRow("detected") << 1 << "Detected OK";
        QTest::newRow("device stamp") << 2 << "F:DDDDDDDD";
        QTest::newRow("connect") << 2 << "Connect";
        QTest::newRow("image stamp") << 3 << "C:DDDDDDDD";
        QTest::newRow("sending") << 3 << "Mail is Sending...";
        QTest::newRow("sent") << 3 << "Send mail Success!";
        QTest::newRow("poll mark") << 3 << "G = 2x, FF";
    }
    void statusBarTextsFit() {
        QFETCH(int, panel);
        QFETCH(QString, text);
        WindowRig rig;
        rig.window.statusPanels().SetPanel(panel, text.toStdString());
        auto* label = rig.Find<QLabel>(qPrintable(QString("StatusBar1Panel%1").arg(panel)));
        QCOMPARE(label->text(), text);
        const int needed = QFontMetrics(label->font()).horizontalAdvance(text);
        QVERIFY2(
            needed <= label->contentsRect().width(),
            qPrintable(QString("needs %1, has %2").arg(needed).arg(label->contentsRect().width())));
        // The bar still spans the window.
        int total = 0;
        for (int p = 0; p < 5; ++p) {
            total += rig.window.statusPanels().PanelWidth(p);
        }
        QCOMPARE(total, raid::ui::MainWindow::kClientWidth);
    }

    void messageBoxIsAsWideAsItsCaption() {
        QWidget parent;
        raid::ui::QtDialogs dialogs;
        dialogs.SetParent(&parent);
        dialogs.MessageBox("E-Mail Address formula error!", "E-Mail Message",
                           raid::DialogIcon::None);
        QMessageBox* box = parent.findChild<QMessageBox*>("MessageBox");
        QVERIFY(box != nullptr);
        QTRY_VERIFY(box->isVisible());
        QVERIFY(box->width() >= raid::ui::TitleRoom("E-Mail Message"));
        QVERIFY(raid::ui::TitleRoom("E-Mail Message") >
                QFontMetrics(box->font()).horizontalAdvance("E-Mail Message"));
        box->close();
    }

    void logViewerUsesAFixedWidthFont() {
        WindowRig rig;
        rig.StartUp();
        raid::ui::LogViewer viewer(rig.state, rig.dialogs, rig.files, &rig.window);
        auto* memo = viewer.findChild<QPlainTextEdit*>("Memo1");
        QVERIFY(QFontInfo(memo->font()).fixedPitch());
        const QFontMetrics m(memo->font());
        QCOMPARE(m.horizontalAdvance("iiii"), m.horizontalAdvance("WWWW"));
    }
};

QObject* raid::uitest::MakeAccessTest() {
    return new AccessTest;
}

#include "access_test.moc"
