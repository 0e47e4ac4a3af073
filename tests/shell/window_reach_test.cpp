// What the user can and cannot reach in the window: the controls kept out of
// reach, the limit edits' exit rule under real focus changes, and the look
// of the enlarged chart.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "chart/ChartToolbar.h"
#include "chart/TrendChart.h"
#include "links/TCommPortDriver.h"
#include "shell/LimitPanel.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::PseudoTerminal;
using test::WindowRig;

namespace {

// The window shown and active, as the user meets it.
void ShowActive(QWidget& w) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// Everything the layout keeps out of the user's reach.
constexpr const char* kOutOfReach[] = {
    "COMCon",  "ReadBtn", "SetFeature", "ClearBtn", "InfoBtn", "DevListBox", "HistoryListBox",
    "SetMaxB", "Setmax",  "SetMinB",    "SetMin",   "BTCon",   "BtDiscon",   "BtExit",
    "BtCOM1",  "BtCOM2",  "BtCOM3",     "BtCOM4",   "KD",      "Panel3",     "IFAlder",
    "Holly",   "IFBirch", "IFCedar",    "IFHazel",  "IFLarch", "IFMaple",
};

bool IsOutOfReach(const QWidget* w) {
    for (; w; w = w->parentWidget())
        for (const char* name : kOutOfReach)
            if (w->objectName() == QLatin1String(name)) return true;
    return false;
}

void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

}  // namespace

// ---- controls out of reach

TEST(OutOfReach, NoneOfTheHiddenControlsTakesTheFocus) {
    WindowRig rig;
    for (const char* name : kOutOfReach) {
        auto* control = rig.w->findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << name;
        for (const QWidget* inside : control->findChildren<QWidget*>())
            EXPECT_EQ(inside->focusPolicy(), Qt::NoFocus)
                << name << " / " << inside->objectName().toStdString();
    }
}

TEST(OutOfReach, TabAndSpaceFromTheStartUpFocusNeverWorkThem) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    // COM1 leads to a real port, so that a link started unseen would open.
    WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
    TFCOMM& w = *rig.w;
    ShowActive(w);
    const QRect client = w.clientArea()->rect();
    // Forward through the whole chain twice, then backward, pressing Space
    // wherever the focus lands, as a user exploring the window would.
    const struct {
        const char* direction;
        int key;
        Qt::KeyboardModifiers modifiers;
    } walks[] = {{"Tab", Qt::Key_Tab, Qt::NoModifier}, {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier}};
    for (const auto& walk : walks) {
        SCOPED_TRACE(walk.direction);
        if (!QApplication::focusWidget()) w.clientArea()->setFocus();
        for (int step = 0; step < 60; ++step) {
            Key(walk.key, walk.modifiers);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr) << "step " << step;
            ASSERT_FALSE(IsOutOfReach(focus)) << "step " << step << ": " << focus->objectName().toStdString();
            if (focus->window() == &w && focus != w.clientArea()) {
                const QRect where(focus->mapTo(w.clientArea(), QPoint(0, 0)), focus->size());
                EXPECT_TRUE(client.intersects(where)) << focus->objectName().toStdString() << " lies outside";
            }
            if (focus->window() != &w) {  // a box the Space opened: put it away
                QTest::keyClick(focus, Qt::Key_Escape);
                continue;
            }
            if (qobject_cast<QAbstractButton*>(focus)) {
                // A button that opens a modal window (the print preview) runs
                // that window's loop inside the key press: close it from there.
                QTimer closer;
                closer.setInterval(20);
                QObject::connect(&closer, &QTimer::timeout, [] {
                    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
                });
                closer.start();
                QTest::keyClick(focus, Qt::Key_Space);
                if (QApplication::focusWidget() == nullptr) {
                    // The closed window took the activation with it; a user
                    // would be back on the window, on the same button.
                    ShowActive(w);
                    focus->setFocus(Qt::OtherFocusReason);
                }
            }
        }
    }
    EXPECT_FALSE(w.COMM2().IsConnected()) << "the serial link was started from out of reach";
    EXPECT_FALSE(w.COMCon()->isChecked());
    EXPECT_FALSE(w.Core().Judge().SetMaxB) << "the over-limit alarm was armed";
    EXPECT_FALSE(w.Core().Judge().SetMinB);
    EXPECT_FALSE(w.START1()->isChecked());
}

// ---- the limit edits' exit rule

namespace {

// A shown window whose high limit edit has the focus, holds "-" typed over
// an accepted "50".
struct LimitEditRig : WindowRig {
    QLineEdit* high;
    QLineEdit* low;
    LimitEditRig() {
        ShowActive(*w);
        high = w->limitPanel()->T1HI();
        low = w->limitPanel()->T1LO();
        QTest::mouseClick(high, Qt::LeftButton);
        EXPECT_TRUE(high->hasFocus());
        high->selectAll();
        QTest::keyClicks(high, QStringLiteral("50"));
        EXPECT_EQ(w->Core().Judge().HighText(), "50");
    }
    void TypeMinusOverAll() {
        high->selectAll();
        QTest::keyClicks(high, QStringLiteral("-"));
        ASSERT_EQ(high->text(), QStringLiteral("-"));
    }
};

// Runs `open`, which blocks in a nested loop, and `inside` once the loop
// runs.
void WhileOpen(const std::function<void()>& open, const std::function<void()>& inside) {
    QTimer::singleShot(50, inside);
    open();
}

void CloseActivePopup() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

// The edit's own context menu pops up without a loop of its own.
void OpenContextMenu(QLineEdit* edit, const std::function<void()>& inside) {
    QContextMenuEvent e(QContextMenuEvent::Keyboard, edit->rect().center(),
                        edit->mapToGlobal(edit->rect().center()));
    QApplication::sendEvent(edit, &e);
    QApplication::processEvents();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "no context menu";
    inside();
    QApplication::processEvents();
}

}  // namespace

TEST(LimitExit, WhatOnlyInterruptsTheEditKeepsTheEntryInProgress) {
    const struct {
        const char* what;
        std::function<void(LimitEditRig&)> interrupt;
    } interruptions[] = {
        {"its context menu", [](LimitEditRig& r) { OpenContextMenu(r.high, CloseActivePopup); }},
        {"a menu of the window",
         [](LimitEditRig& r) {
             auto* menu = r.w->menuBar()->findChild<QMenu*>(QStringLiteral("Graphic"));
             ASSERT_NE(menu, nullptr);
             WhileOpen([menu] { menu->exec(QPoint(10, 10)); }, CloseActivePopup);
         }},
        {"a message box",
         [](LimitEditRig& r) {
             QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("x"),
                             QMessageBox::Ok, r.w.get());
             WhileOpen([&box] { box.exec(); },
                       [] {
                           if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
                       });
         }},
        {"another window taking the activation",
         [](LimitEditRig& r) {
             QWidget other;
             ShowActive(other);
             ShowActive(*r.w);
         }},
    };
    for (const auto& i : interruptions) {
        SCOPED_TRACE(i.what);
        LimitEditRig rig;
        rig.TypeMinusOverAll();
        i.interrupt(rig);
        QApplication::processEvents();
        EXPECT_EQ(rig.high->text(), QStringLiteral("-"));
        // Really leaving it then puts the last accepted text back.
        ShowActive(*rig.w);
        rig.high->setFocus();
        QTest::mouseClick(rig.low, Qt::LeftButton);
        EXPECT_EQ(rig.high->text(), QStringLiteral("50"));
    }
}

TEST(LimitExit, LeavingForAnotherControlRestoresTheLastAcceptedText) {
    const struct {
        const char* how;
        std::function<void(LimitEditRig&)> leave;
    } ways[] = {
        {"Tab", [](LimitEditRig&) { Key(Qt::Key_Tab); }},
        {"Shift+Tab", [](LimitEditRig&) { Key(Qt::Key_Backtab, Qt::ShiftModifier); }},
        {"a click on the low limit", [](LimitEditRig& r) { QTest::mouseClick(r.low, Qt::LeftButton); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        LimitEditRig rig;
        rig.TypeMinusOverAll();
        way.leave(rig);
        EXPECT_FALSE(rig.high->hasFocus());
        EXPECT_EQ(rig.high->text(), QStringLiteral("50"));
    }
}

TEST(LimitExit, PastingIntoAnEmptiedEditFromItsContextMenuGivesThePastedText) {
    LimitEditRig rig;
    rig.high->selectAll();
    QTest::keyClick(rig.high, Qt::Key_Delete);
    ASSERT_TRUE(rig.high->text().isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("70"));
    OpenContextMenu(rig.high, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            if (a->objectName() == QLatin1String("edit-paste") ||
                a->text().contains(QLatin1String("Paste"))) {
                a->trigger();
                break;
            }
        menu->close();
    });
    QApplication::processEvents();
    EXPECT_EQ(rig.high->text(), QStringLiteral("70"));
    EXPECT_EQ(rig.w->Core().Judge().HighText(), "70");
    EXPECT_TRUE(rig.prompts.shown.empty());
}

// ---- the enlarged chart

namespace {

QImage Grab(QWidget& window, const QWidget& part) {
    return window.grab(QRect(part.mapTo(&window, QPoint(0, 0)), part.size()))
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pixels that differ between two pictures of one size, outside `skip`.
int Differences(const QImage& a, const QImage& b, const QRect& skip) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!skip.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++n;
    return n;
}

}  // namespace

TEST(EnlargedChart, ItsToolbarLooksAsInTheNormalLayoutWithNothingShowingThrough) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    ShowActive(w);
    ChartToolbar& bar = w.Chart().Toolbar();
    const QImage normal = Grab(w, bar);
    w.TbFdClick();
    QApplication::processEvents();
    ASSERT_TRUE(w.Chart().Enlarged());
    ASSERT_TRUE(w.BitBtn1()->isHidden());
    const QImage enlarged = Grab(w, bar);
    const QByteArray keep = qgetenv("CORVEL_KEEP_PICTURES");
    if (!keep.isEmpty()) {
        normal.save(QDir(QString::fromLocal8Bit(keep)).filePath(QStringLiteral("toolbar-normal.png")));
        enlarged.save(QDir(QString::fromLocal8Bit(keep)).filePath(QStringLiteral("toolbar-enlarged.png")));
        w.grab().save(QDir(QString::fromLocal8Bit(keep)).filePath(QStringLiteral("window-enlarged.png")));
    }
    ASSERT_EQ(normal.size(), enlarged.size());
    // Only the enlarge button has turned into the restore button.
    const QRect button = bar.TbSx().geometry().united(bar.TbFd().geometry());
    EXPECT_EQ(Differences(normal, enlarged, button), 0) << "the window below shows through the toolbar";
    // Right of the toolbar, above the chart, the top row is empty: Quit
    // has made room and nothing else is drawn there.
    const QImage window = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint topRow = w.clientArea()->mapTo(&w, QPoint(bar.geometry().right() + 1, 0));
    const QRgb background = window.pixel(topRow.x() + 2, topRow.y() + 2);
    int stray = 0;
    for (int y = topRow.y(); y < topRow.y() + 26; ++y)
        for (int x = topRow.x(); x < window.width() - 4; ++x) stray += window.pixel(x, y) != background;
    EXPECT_EQ(stray, 0);

    // Restored, the toolbar is back as it was.
    w.TbFdClick();
    QApplication::processEvents();
    EXPECT_EQ(Differences(normal, Grab(w, bar), {}), 0);
}
