#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <qcustomplot.h>

#include "chart/ChartToolbar.h"
#include "chart/TrendChart.h"
#include "decode/LcdPanel.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"
#include "shell/LimitPanel.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::FrameBuilder;
using test::WindowRig;

namespace {

constexpr int kStillRunning = 7;

// Runs the application's event loop with `action` as its first event and
// returns what the loop ended with: 0 when the window ended the program,
// kStillRunning when it was still running a while after the action.
int RunLoopWith(const std::function<void()>& action) {
    QTimer first;
    first.setSingleShot(true);
    QObject::connect(&first, &QTimer::timeout, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(kStillRunning); });
    first.start(0);
    guard.start(200);
    return QCoreApplication::exec();
}

constexpr const char* kQuitQuestion = "Are you ensure to exit the program?";

}  // namespace

// ---- leaving the program

TEST(LeavingTheProgram, EachWayOutAsksOnlyWhereItShould) {
    const struct {
        const char* how;
        std::deque<UserPrompts::Answer> answers;
        std::function<void(TFCOMM&)> act;
        int loopResult;
        int terminateSignals;  // -1: not looked at
        std::vector<std::string> questions;
    } cases[] = {
        {"Quit answered No", {UserPrompts::Answer::No}, [](TFCOMM& w) { w.BitBtn1()->click(); }, kStillRunning, 0,
         {kQuitQuestion}},
        {"Quit answered Yes", {UserPrompts::Answer::Yes}, [](TFCOMM& w) { w.BitBtn1()->click(); }, 0, 1,
         {kQuitQuestion}},
        {"Exit", {}, [](TFCOMM& w) { w.BtExit1Click(); }, 0, 1, {}},
        {"Exit panel",
         {},
         [](TFCOMM& w) {
             auto* panel = w.findChild<QLabel*>(QStringLiteral("BtExit"));
             ASSERT_NE(panel, nullptr);
             QTest::mouseClick(panel, Qt::LeftButton, {}, panel->rect().center());
         },
         0, 1, {}},
        {"close box", {}, [](TFCOMM& w) { w.close(); }, 0, -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        WindowRig rig;
        TFCOMM& w = *rig.w;
        w.show();
        rig.oak(FrameBuilder().main("0123").second("0001"));
        ASSERT_EQ(w.Log().RowCount(), 1);
        rig.prompts.answers = c.answers;
        QSignalSpy terminate(&w, &TFCOMM::terminateRequested);
        EXPECT_EQ(RunLoopWith([&] { c.act(w); }), c.loopResult);
        if (c.terminateSignals >= 0) {
            EXPECT_EQ(terminate.count(), c.terminateSignals);
        }
        EXPECT_EQ(rig.prompts.Questions(), c.questions);
        for (const auto& shown : rig.prompts.shown) EXPECT_EQ(shown.kind, UserPrompts::Kind::Information);
        // Nothing is emptied on the way: a kept program keeps its log.
        EXPECT_EQ(w.Log().RowCount(), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.DBGrid1()->model()->rowCount() == 1; }, 2000));
    }
}

// ---- the image panel

TEST(ImagePanel, EnlargeCoversTheWindowAndRestoreGivesBackTheExactBounds) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    w.show();
    QFrame* kd = w.KD();
    auto* kdFd = kd->findChild<QLabel*>(QStringLiteral("KdFd"));
    auto* kdSx = kd->findChild<QLabel*>(QStringLiteral("KdSx"));
    ASSERT_NE(kdFd, nullptr);
    ASSERT_NE(kdSx, nullptr);
    const QRect before = kd->geometry();
    ASSERT_LT(before.width(), 470);
    // Out of the user's reach at start.
    EXPECT_GE(before.left(), TFCOMM::kClientWidth);
    EXPECT_TRUE(kdSx->isHidden());

    w.KdFdClick();
    const QSize outer = w.frameGeometry().size();
    EXPECT_EQ(kd->geometry(), QRect(2, 28, outer.width() - 12, outer.height() - 80));
    EXPECT_EQ(w.KD1()->geometry(), QRect(2, 2, kd->width() - 40, kd->height() - 140));
    EXPECT_TRUE(w.Chart().isHidden());
    EXPECT_TRUE(kdFd->isHidden());
    EXPECT_FALSE(kdSx->isHidden());
    EXPECT_EQ(kdSx->x(), kd->width() - 30);  // the icon keeps to the right edge

    // The restore icon's click restores.
    QTest::mouseClick(kdSx, Qt::LeftButton, {}, kdSx->rect().center());
    EXPECT_EQ(kd->geometry(), before);
    EXPECT_EQ(w.KD1()->geometry(), QRect(2, 2, before.width() - 4, before.height() - 4));
    EXPECT_FALSE(w.Chart().isHidden());
    EXPECT_TRUE(kdSx->isHidden());
    EXPECT_FALSE(kdFd->isHidden());
    EXPECT_EQ(kdFd->x(), before.width() - 30);

    // And again: the same round trip.
    w.KdFdClick();
    w.KdFdClick();
    EXPECT_EQ(kd->geometry(), before);
    EXPECT_FALSE(w.Chart().isHidden());
}

// ---- layout

TEST(WindowLayout, RegionsLieWhereTheLayoutPutsThem) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    EXPECT_EQ(w.clientArea()->size(), QSize(754, 557));
    EXPECT_EQ(w.centralWidget(), w.clientArea());
    // Not resizable.
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    auto* logToolbar = w.clientArea()->findChild<QWidget*>(QStringLiteral("LogToolbar"));
    ASSERT_NE(logToolbar, nullptr);
    const struct {
        const char* region;
        QWidget* widget;
        QRect bounds;
    } regions[] = {
        {"LcdPanel", w.lcdPanel(), {3, 40, 398, 257}},
        {"PBar2", w.PBar2(), {3, 297, 398, 12}},
        {"log toolbar", logToolbar, {3, 312, 398, 21}},
        {"DBGrid1", w.DBGrid1(), {3, 336, 398, 220}},
        {"Panel4", w.limitPanel(), {402, 41, 351, 116}},
        {"chart toolbar", &w.Chart().Toolbar(), {403, 159, 351, 41}},
        {"chart", &w.Chart(), {400, 200, 353, 356}},
    };
    for (const auto& r : regions) {
        ASSERT_NE(r.widget, nullptr) << r.region;
        EXPECT_EQ(r.widget->parentWidget(), w.clientArea()) << r.region;
        EXPECT_EQ(r.widget->geometry(), r.bounds) << r.region;
    }
    // The top row: USB Connect at its left, Quit at its right.
    const QRect topRow(20, 6, 709, 25);
    EXPECT_TRUE(topRow.contains(w.USBCon()->geometry())) << w.USBCon()->geometry().x();
    EXPECT_TRUE(topRow.contains(w.BitBtn1()->geometry()));
    EXPECT_EQ(w.USBCon()->x(), topRow.left());
    EXPECT_EQ(w.BitBtn1()->geometry().right(), topRow.right());
    EXPECT_EQ(w.USBCon()->text(), "USB Connect");
    EXPECT_EQ(w.USBCon()->toolTip(), "USB Connect");
    EXPECT_EQ(w.BitBtn1()->text(), "Quit");
}

TEST(WindowLayout, WindowPropertiesAsTheLayoutHasThem) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    // A system menu and a minimise box; no maximise box, and no resizing.
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.font().family(), "MS Sans Serif");
    EXPECT_TRUE(w.font().bold());
    EXPECT_EQ(w.font().pixelSize(), 11);
    EXPECT_EQ(w.clientArea()->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(w.clientArea()->autoFillBackground());
}

TEST(WindowLayout, TimersRunFromTheStart) {
    WindowRig rig({}, /*stopTimers=*/false);
    TFCOMM& w = *rig.w;
    EXPECT_TRUE(w.ConTimer().isActive());
    EXPECT_EQ(w.ConTimer().interval(), 100);
    EXPECT_TRUE(w.Trecord().isActive());
    EXPECT_EQ(w.Trecord().interval(), 1000);
}

TEST(WindowLayout, TheLogToolbarStartsAsTheLayoutHasIt) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    EXPECT_EQ(w.RepeatSet()->text(), "Repeat");
    EXPECT_EQ(w.RepeatSet()->toolTip(), "Repeage Record");
    EXPECT_TRUE(w.RepeatSet()->isChecked());
    EXPECT_EQ(w.RecordSI()->text(), "Sampling Interval                 'S");
    EXPECT_FALSE(w.RecordSI()->isChecked());
    EXPECT_EQ(w.RecordSITime()->text(), "1");
    // The interval edit lies over the caption's gap, inside the check box.
    EXPECT_TRUE(w.RecordSI()->geometry().contains(w.RecordSITime()->geometry().center()));
    const struct {
        const char* name;
        const char* hint;
    } buttons[] = {{"RecordNew", "Close Data"},
                   {"OpenDataFiles", "Open old data files"},
                   {"saveas", "Save data files"},
                   {"BtPrint", "Print"}};
    for (const auto& b : buttons) {
        auto* button = w.clientArea()->findChild<QToolButton*>(QString::fromLatin1(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        // The hint is the first line; the next says what the button does.
        EXPECT_EQ(button->toolTip().section(QLatin1Char('\n'), 0, 0), b.hint) << b.name;
    }
}

TEST(WindowLayout, AnEnlargedChartHidesQuitAndTheLimitPanel) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    w.show();
    w.TbFdClick();
    EXPECT_TRUE(w.BitBtn1()->isHidden());
    EXPECT_TRUE(w.limitPanel()->isHidden());
    w.TbFdClick();
    EXPECT_FALSE(w.BitBtn1()->isHidden());
    EXPECT_FALSE(w.limitPanel()->isHidden());
}

TEST(WindowLayout, ControlsOutOfReachLieOutsideTheClientArea) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    const QRect client(QPoint(0, 0), w.clientArea()->size());
    QWidget* outOfReach[] = {w.KD(), w.BTCon(), w.BtDiscon(), w.BtCOM(0), w.COMCon(), w.Setmax(), w.MinText()};
    for (QWidget* widget : outOfReach) {
        const QRect r(widget->mapTo(w.clientArea(), QPoint(0, 0)), widget->size());
        EXPECT_FALSE(client.intersects(r)) << widget->objectName().toStdString();
    }
    for (const char* name : {"IFAlder", "Holly", "IFBirch", "IFCedar", "IFHazel", "IFLarch", "IFMaple"}) {
        auto* box = w.clientArea()->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(box, nullptr) << name;
        const QRect r(box->mapTo(w.clientArea(), QPoint(0, 0)), box->size());
        EXPECT_FALSE(client.intersects(r)) << name;
    }
}

// ---- menus

namespace {

struct Item {
    const char* caption;  // "-" for a separator
    bool enabled = true;
    bool checked = false;
};

}  // namespace

TEST(MainMenu, ItemsInOrderWithTheirCaptionsAndStates) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    const struct {
        const char* menu;
        std::vector<Item> items;
    } menus[] = {
        {"Connect", {{"START"}, {"STOP", false}, {"-"}, {"Serial Port..."}}},
        {"Graphic",
         {{"First"}, {"Previous"}, {"Next"}, {"Last"}, {"-"}, {"New"}, {"Save"}, {"-"}, {"Fill", true, true},
          {"Fit to Readings"}, {"Limit Lines"}}},
        {"Record",
         {{"New"},
          {"Save", true, false},
          {"-"},
          {"1000"},
          {"5000"},
          {"10000", true, true},
          {"50000"},
          {"100000"},
          {"limitless"}}},
        {"Help", {{"Corvel Help"}, {"About Corvel Interface Program"}}},
    };
    const QList<QAction*> top = w.menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    for (int m = 0; m < 4; ++m) {
        const auto& expected = menus[m];
        SCOPED_TRACE(expected.menu);
        QMenu* menu = top[m]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(top[m]->text(), expected.menu);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), qsizetype(expected.items.size()));
        for (std::size_t i = 0; i < expected.items.size(); ++i) {
            const Item& e = expected.items[i];
            QAction* a = items[qsizetype(i)];
            if (std::string(e.caption) == "-") {
                EXPECT_TRUE(a->isSeparator()) << i;
                continue;
            }
            EXPECT_EQ(a->text(), e.caption) << i;
            // Record -> Save waits for the data files; its enabled state
            // is not looked at here.
            if (std::string(expected.menu) != "Record" || std::string(e.caption) != "Save") {
                EXPECT_EQ(a->isEnabled(), e.enabled) << e.caption;
            }
            EXPECT_EQ(a->isChecked(), e.checked) << e.caption;
        }
    }
}

TEST(MainMenu, RecordLimitEntriesMoveTheirCheckMarkAndSetTheLimit) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    const int limits[ReadingLog::kLimitEntryCount] = {1000, 5000, 10000, 50000, 100000, 10000000};
    // Forward, backward, and each entry twice in a row.
    const int order[] = {0, 1, 2, 3, 4, 5, 5, 3, 3, 0, 2, 2};
    for (int entry : order) {
        w.LimitAction(entry)->trigger();
        for (int i = 0; i < ReadingLog::kLimitEntryCount; ++i)
            EXPECT_EQ(w.LimitAction(i)->isChecked(), i == entry) << "after " << entry << ", entry " << i;
        EXPECT_EQ(w.Log().RecordLimit(), limits[entry]);
    }
}

TEST(MainMenu, TheCheckedLimitEntryStaysCheckedWhenChosenAgain) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    ASSERT_TRUE(w.LimitAction(2)->isChecked());
    w.LimitAction(2)->trigger();
    EXPECT_TRUE(w.LimitAction(2)->isChecked());
    EXPECT_EQ(w.Log().RecordLimit(), 10000);
}

TEST(MainMenu, FillTogglesTheChartsFillAndItsOwnMark) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    ASSERT_TRUE(w.FillAction()->isChecked());
    w.FillAction()->trigger();
    EXPECT_FALSE(w.FillAction()->isChecked());
    EXPECT_FALSE(w.Chart().BtFillChecked());
    EXPECT_EQ(w.Chart().ActiveSeries(), 1);
    w.FillAction()->trigger();
    EXPECT_TRUE(w.FillAction()->isChecked());
    EXPECT_TRUE(w.Chart().BtFillChecked());
    EXPECT_EQ(w.Chart().ActiveSeries(), 0);
}

// ---- a reading on its way through the window

TEST(WindowDataPath, OneReadingReachesMirrorGridAndChart) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    w.show();
    const int pointsBefore = w.Chart().Series2().data()->size();
    rig.oak(FrameBuilder().main("0123").bit(28).second("0001"));

    EXPECT_EQ(w.lcdPanel()->DigitLabel(Digit::LcdDb)->text(), "1");
    EXPECT_EQ(w.limitPanel()->T1VALUE()->text(), "01.23");

    // The grid may gather rows for a moment before it shows them.
    QAbstractItemModel* grid = w.DBGrid1()->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->rowCount() == 1; }, 2000));
    EXPECT_EQ(grid->index(0, 0).data().toString(), "1");
    EXPECT_EQ(grid->index(0, 1).data().toString(), "12:00:00");
    EXPECT_EQ(grid->index(0, 2).data().toString(), "01.23");

    EXPECT_EQ(w.Chart().Series2().data()->size(), pointsBefore + 1);
    EXPECT_DOUBLE_EQ((w.Chart().Series2().data()->constEnd() - 1)->value, 1.23);
    EXPECT_EQ(w.Chart().ChartView().PageCount(), 1);

    // The next one is the second row and the next point.
    rig.clock.now = QTime(12, 0, 1);
    rig.oak(FrameBuilder().main("0456").bit(28).second("0001"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->rowCount() == 2; }, 2000));
    EXPECT_EQ(grid->index(1, 0).data().toString(), "2");
    EXPECT_EQ(grid->index(1, 2).data().toString(), "04.56");
    EXPECT_EQ(w.Chart().Series2().data()->size(), pointsBefore + 2);
}
