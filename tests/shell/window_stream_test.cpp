// A meter streaming to the window: work that changes nothing on screen
// draws nothing, what changes draws only its own area, and what the window
// shows after a stream is what a full repaint shows.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTest>

#include "chart/TrendChart.h"
#include "decode/LcdPanel.h"
#include "record/ReadingLog.h"
#include "shell/BarGraph.h"
#include "shell/LimitPanel.h"
#include "shell/WindowRig.h"
#include "support/PaintRecorder.h"

using namespace corvel;
using test::FrameBuilder;
using test::PaintRecorder;
using test::WindowRig;

namespace {

// The grid and the chart catch up this often with a stream (the window's
// setting).
constexpr int kCatchUpMs = 300;

void Spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A plain white ground for the pictures under test to be laid on.
void FillWhite(QWidget& window) {
    window.setAutoFillBackground(true);
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    window.setPalette(white);
}

// What the window shows, read back from its backing store.
QImage OnScreen(QWidget& w) {
    QApplication::processEvents();
    return w.screen()->grabWindow(w.winId()).toImage();
}

// 12.34 (point after the second digit, Pass) and the over-load display
// (no point, Fail): a meter hovering at a range's end, the point and the
// verdict changing on every frame.
FrameBuilder Passing(char last = '4') {
    return FrameBuilder().main(std::string("123") + last).second("  17").bit(28);
}
FrameBuilder Overload() {
    return FrameBuilder().main(" 0@ ").second("  17");
}

// Counts the times a window is brought up to date on screen: each is a
// paint of everything that changed since the last.
class ScreenUpdates final : public QObject {
public:
    explicit ScreenUpdates(QWidget& window) { window.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) ++count;
        return false;
    }
};

struct ShownWindow : WindowRig {
    ShownWindow() {
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        Spin(50);
    }
};

}  // namespace

TEST(WindowStream, ChartRedrawsAtMostOncePerCatchUpWhenPointAndVerdictMoveEveryFrame) {
    ShownWindow win;
    QCustomPlot& plot = win.w->Chart().Chtshow();
    PaintRecorder painted;
    painted.Watch(&plot);
    QElapsedTimer t;
    t.start();
    const int frames = 34;  // two seconds at 17 frames a second
    for (int i = 0; i < frames; ++i) {
        win.oak(i % 2 ? Overload() : Passing());
        Spin(59);
    }
    const qint64 elapsed = t.elapsed();
    Spin(kCatchUpMs * 2);  // the last catch-up
    EXPECT_EQ(win.w->Log().RowCount(), frames);
    EXPECT_EQ(win.w->Chart().Series2().data()->size(), frames + 1) << "every reading is a point";
    EXPECT_LE(painted.Paints(&plot), elapsed / kCatchUpMs + 2);
    EXPECT_GE(painted.Paints(&plot), 1) << "the new points were never shown";
}

// A frame that makes the grid catch up goes to the screen in one paint with
// its rows: the scroll bars' new range costs the window no second one.
TEST(WindowStream, AFrameThatCatchesUpIsOnePaint) {
    ShownWindow win;
    for (int i = 0; i < 20; ++i) {  // rows enough for both scroll bars
        win.oak(Passing());
        Spin(20);
    }
    ScreenUpdates updates(*win.w);
    for (int i = 0; i < 3; ++i) {
        Spin(kCatchUpMs + 30);  // the next frame catches up at once
        const int before = win.w->Log().RowCount();
        updates.count = 0;
        win.oak(Passing());
        Spin(60);
        EXPECT_EQ(win.w->Log().RowCount(), before + 1);
        EXPECT_EQ(updates.count, 1) << "catch-up " << i;
    }
}

// Which parts of the limit panel a frame repaints, and where.
struct LampCase {
    const char* name;
    FrameBuilder frame;
    bool lamp;   // the lamp and the verdict repaint
    bool value;  // the measure box repaints
};

class WindowLamp : public ::testing::TestWithParam<LampCase> {};

TEST_P(WindowLamp, RepaintsOnlyWhatChangedInItsOwnArea) {
    const LampCase& c = GetParam();
    ShownWindow win;
    win.oak(Passing());
    Spin(kCatchUpMs + 100);
    LimitPanel& panel = *win.w->limitPanel();
    PaintRecorder painted;
    for (QWidget* widget : std::initializer_list<QWidget*>{&panel, panel.Shape1(), panel.judgeLabel(),
                                                           panel.T1VALUE(), panel.T1HI(), panel.T1LO()})
        painted.Watch(widget);
    win.oak(c.frame);
    Spin(30);

    EXPECT_EQ(painted.Paints(panel.Shape1()) > 0, c.lamp);
    EXPECT_EQ(painted.Paints(panel.judgeLabel()) > 0, c.lamp);
    EXPECT_EQ(painted.Paints(panel.T1VALUE()) > 0, c.value);
    EXPECT_EQ(painted.Paints(panel.T1HI()), 0);
    EXPECT_EQ(painted.Paints(panel.T1LO()), 0);
    if (c.lamp) {
        // The lamp paints its circle's square but for the verdict's box,
        // which paints itself over it.
        const QRect verdict = panel.judgeLabel()->geometry().translated(-panel.Shape1()->pos());
        EXPECT_EQ(painted.Region(panel.Shape1()) + verdict, QRegion(panel.Shape1()->rect()) + verdict);
        EXPECT_TRUE((painted.Region(panel.Shape1()) - panel.Shape1()->rect()).isEmpty());
        EXPECT_EQ(painted.Region(panel.judgeLabel()), QRegion(panel.judgeLabel()->rect()));
    }
    // The panel itself draws only what lies under the parts that changed;
    // the activity blinker, which changes on every frame, covers its own
    // ground.
    EXPECT_TRUE(painted.Region(&panel).intersected(panel.Image1()->geometry()).isEmpty())
        << "painted beneath the blinker";
    QRegion changed;
    if (c.lamp) changed += panel.Shape1()->geometry() | panel.judgeLabel()->geometry();
    if (c.value) changed += panel.T1VALUE()->geometry();
    EXPECT_TRUE((painted.Region(&panel) - changed).isEmpty()) << "painted beyond the changed parts";
}

INSTANTIATE_TEST_SUITE_P(Frames, WindowLamp,
                         ::testing::Values(LampCase{"SameFrameAgain", Passing(), false, false},
                                           LampCase{"NewValueSameVerdict", Passing('5'), false, true},
                                           LampCase{"VerdictTurnsToFail", Overload(), true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowStream, ShowsWhatAFullRepaintShowsAfterAStream) {
    ShownWindow win;
    for (int i = 0; i < 45; ++i) {
        win.oak(i % 3 ? Overload() : Passing(static_cast<char>('0' + i % 10)));
        Spin(20);
    }
    Spin(kCatchUpMs * 2);
    const QImage streamed = OnScreen(*win.w);
    win.w->Chart().Chtshow().replot(QCustomPlot::rpQueuedReplot);
    for (QWidget* child : win.w->findChildren<QWidget*>()) child->update();
    Spin(50);
    const QImage full = OnScreen(*win.w);
    ASSERT_FALSE(full.isNull());
    EXPECT_EQ(streamed, full);
}

// The bar graph's kept pictures are the pixels the style draws for a
// progress bar in the same place.
TEST(BarGraph, LooksAsAPlainProgressBarAtEveryPosition) {
    QWidget window;
    FillWhite(window);
    window.resize(420, 60);
    auto* kept = new BarGraph(&window);
    auto* plain = new QProgressBar(&window);
    for (QProgressBar* bar : {static_cast<QProgressBar*>(kept), plain}) {
        bar->setRange(0, 60);
        bar->setTextVisible(false);
    }
    kept->setGeometry(3, 5, 398, 12);
    plain->setGeometry(3, 30, 398, 12);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The window repaints the bar whenever its position changes.
    auto show = [&](int position) {
        kept->setValue(position);
        plain->setValue(position);
        kept->update();
        plain->update();
        const QImage shown = OnScreen(window);
        EXPECT_EQ(shown.copy(kept->geometry()), shown.copy(plain->geometry())) << position;
    };
    const int positions[] = {30, 0, 1, 12, 59, 60};
    for (const int position : positions) show(position);
    const int drawn = kept->PicturesDrawn();
    for (const int position : positions) show(position);
    EXPECT_EQ(kept->PicturesDrawn(), drawn) << "a position shown before is not drawn again";
    kept->setEnabled(false);
    plain->setEnabled(false);
    const QImage shown = OnScreen(window);
    EXPECT_EQ(shown.copy(kept->geometry()), shown.copy(plain->geometry())) << "disabled";
}

// The mirror's digits keep a picture of each text they show; the panel must
// look as one whose digits draw themselves every time.
TEST(LcdDigits, LookAsDigitsThatDrawThemselves) {
    QWidget window;
    window.resize(820, 280);
    auto* kept = new LcdPanel(&window);
    auto* direct = new LcdPanel(&window);
    kept->move(0, 10);
    direct->move(410, 10);
    for (int i = 0; i < kDigitCount; ++i) direct->DigitLabel(static_cast<Digit>(i))->SetCaching(false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    LcdMirror m;
    const std::string texts = "0123456789@ 8";
    for (std::size_t step = 0; step < texts.size(); ++step) {
        for (int i = 0; i < kDigitCount; ++i) {
            const char c = texts[(step + static_cast<std::size_t>(i)) % texts.size()];
            m.digits[static_cast<std::size_t>(i)] = c == ' ' ? std::string() : std::string(1, c);
        }
        m.points[static_cast<std::size_t>(step % kPointCount)] =
            !m.points[static_cast<std::size_t>(step % kPointCount)];
        kept->Render(m);
        direct->Render(m);
        const QImage shown = OnScreen(window);
        EXPECT_EQ(shown.copy(kept->geometry()), shown.copy(direct->geometry())) << "step " << step;
    }
    // The kept digits were laid over the panel's own drawing, with nothing
    // drawn beneath them.
    for (int i = 0; i < kDigitCount; ++i)
        EXPECT_TRUE(kept->DigitLabel(static_cast<Digit>(i))->testAttribute(Qt::WA_OpaquePaintEvent)) << i;
}

// The limit panel keeps pictures of its lamp, its verdict and its measured
// value; it must look as one whose parts draw themselves every time, on the
// window's ground, through verdicts that change and come back.
TEST(LimitPanelPictures, LookAsPartsThatDrawThemselves) {
    QWidget window;
    FillWhite(window);
    window.resize(720, 130);
    Reading reading;
    test::CountingBeeper beeper;
    test::ScriptedPrompts prompts;
    LimitJudge keptJudge(reading, beeper, prompts);
    LimitJudge directJudge(reading, beeper, prompts);
    auto* kept = new LimitPanel(keptJudge, &window);
    auto* direct = new LimitPanel(directJudge, &window);
    kept->move(0, 5);
    direct->move(360, 5);
    direct->SetPictureCaching(false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto compare = [&](const std::string& step) {
        const QImage shown = OnScreen(window);
        // The lamp with its verdict, the measured value (the first panel's
        // high limit edit has the focus, the other's not) and the blinker.
        for (const QWidget* part :
             std::initializer_list<const QWidget*>{kept->Shape1(), kept->T1VALUE(), kept->Image1()}) {
            const QRect area = part->geometry();
            EXPECT_EQ(shown.copy(area.translated(kept->pos())), shown.copy(area.translated(direct->pos())))
                << step << " " << part->objectName().toStdString();
        }
    };
    compare("neutral");
    for (int round = 0; round < 2; ++round) {
        for (const char* value : {"12.34", "0L", "12.35", "0L", "-7000"}) {
            reading.ValueText = value;
            for (LimitJudge* judge : {&keptJudge, &directJudge}) judge->JudgeReading();
            kept->Render(round == 0, round != 0);
            direct->Render(round == 0, round != 0);
            compare(value);
        }
    }
    EXPECT_EQ(kept->Shape1()->PicturesDrawn(), 3) << "neutral, Pass and Fail, each drawn once";
    EXPECT_EQ(kept->judgeLabel()->PicturesDrawn(), 2);
    EXPECT_EQ(kept->T1VALUE()->PicturesDrawn(), 4) << "one picture for each value and colour";
    EXPECT_TRUE(kept->Shape1()->testAttribute(Qt::WA_OpaquePaintEvent)) << "nothing beneath is drawn again";
    // A disabled window draws its parts in another look; no picture of the
    // old one stands in for it.
    window.setEnabled(false);
    compare("disabled");
}
