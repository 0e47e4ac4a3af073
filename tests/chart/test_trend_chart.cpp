// The trend chart as the user meets it: its look, the fill switch, the
// delayed page size, enlarge and restore, the bitmap, and the log feeding it.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include "chart/CachedAreaGraph.h"
#include "chart/ChartToolbar.h"
#include "chart/TrendChart.h"
#include "record/ReadingLog.h"
#include "support/PaintRecorder.h"
#include "support/QtAppEnvironment.h"
#include "support/ScriptedClock.h"
#include "support/ScriptedPrompts.h"

namespace corvel::test {
namespace {

struct ChartRig {
    QWidget window;
    ScriptedPrompts prompts;
    TrendChart* chart;

    ChartRig() {
        window.resize(800, 600);
        chart = new TrendChart(prompts, &window);
    }
    TChartControl& view() { return chart->ChartView(); }
    QCPGraphDataContainer& data() { return *chart->Series2().data(); }
    QCPRange bottom() { return chart->Chtshow().xAxis->range(); }
    ChartToolbar& toolbar() { return chart->Toolbar(); }
};

// Runs the event loop until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

void Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(TrendChart, StartsAsTheLayoutHasIt) {
    ChartRig rig;
    TrendChart& c = *rig.chart;
    EXPECT_EQ(c.Chtshow().objectName(), "Chtshow");
    EXPECT_EQ(c.geometry(), QRect(400, 200, 353, 356));
    EXPECT_EQ(rig.toolbar().geometry(), QRect(403, 159, 351, 41));
    ASSERT_EQ(c.Chtshow().graphCount(), 2);
    EXPECT_EQ(c.Chtshow().graph(0), &c.Series2());
    EXPECT_EQ(c.Chtshow().graph(1), &c.Series1());
    EXPECT_EQ(c.Series1().data().data(), c.Series2().data().data()) << "both series share their points";
    ASSERT_EQ(rig.data().size(), 1);
    EXPECT_EQ(rig.data().constBegin()->key, 0) << "the placeholder point";
    EXPECT_EQ(c.ActiveSeries(), 0);
    EXPECT_TRUE(c.BtFillChecked());
    EXPECT_TRUE(c.FillMenuChecked());
    EXPECT_EQ(c.Bt10Caption(), "1");
    EXPECT_EQ(c.MaxrecordText(), "100");
    EXPECT_EQ(c.ChartView().PageSize(), 100);
    EXPECT_EQ(rig.bottom(), QCPRange(1, 100));
    EXPECT_EQ(c.Chtshow().yAxis->range(), QCPRange(-4000, 4000));
    EXPECT_EQ(c.Chtshow().xAxis->label(), "Record Number");
    EXPECT_FALSE(c.Chtshow().legend->visible());
    EXPECT_EQ(c.Series2().brush().color(), QColor(255, 255, 128));
    EXPECT_EQ(c.Series2().pen().color(), QColor(0, 128, 255));
    EXPECT_EQ(c.Series1().pen().color(), QColor(128, 255, 0));
    EXPECT_EQ(c.Series1().brush().style(), Qt::NoBrush);
    EXPECT_EQ(c.Chtshow().yAxis->basePen().style(), Qt::DashLine);
    EXPECT_EQ(c.Chtshow().yAxis->basePen().color(), QColor(0, 64, 128));
    EXPECT_TRUE(c.Timer2().isActive()) << "the first tick applies the edit's page size";
    EXPECT_TRUE(rig.toolbar().TbFd().isVisibleTo(&rig.toolbar()));
    EXPECT_FALSE(rig.toolbar().TbSx().isVisibleTo(&rig.toolbar()));
    EXPECT_TRUE(rig.toolbar().BtFill().isChecked());
    EXPECT_EQ(rig.toolbar().Maxrecord().text(), "100");
}

TEST(TrendChart, ValueAxisFollowsTheFullScale) {
    ChartRig rig;
    rig.chart->SetFullScale(6000);
    EXPECT_EQ(rig.chart->Chtshow().yAxis->range(), QCPRange(-6000, 6000));
    rig.chart->SetFullScale(3400);
    EXPECT_EQ(rig.chart->Chtshow().yAxis->range(), QCPRange(-3400, 3400));
}

// A step of the fill controls and what the user sees after it.
struct FillStep {
    const char* action;  // "uncheck", "check", "menu", "repeat", "show0", "show1", "combo1", "new"
    bool btFill, menu;
    int series;
};

void Apply(TrendChart& c, const std::string& action) {
    if (action == "uncheck")
        c.SetBtFillChecked(false);
    else if (action == "check")
        c.SetBtFillChecked(true);
    else if (action == "menu")
        c.FillClick();
    else if (action == "repeat")
        c.btFillClick();  // the Repeat box's click is bound here
    else if (action == "show0")
        c.ShowSeries(0);
    else if (action == "show1")
        c.ShowSeries(1);
    else if (action == "show9")
        c.ShowSeries(9);
    else if (action == "combo1")
        c.SetComboBox1ItemIndex(1), c.ComboBox1Change();
    else if (action == "new")
        c.BtNewClick();
    else
        FAIL() << action;
}

TEST(TrendChart, FillControlsToggleTheDrawnSeries) {
    const std::vector<std::vector<FillStep>> sequences = {
        {{"uncheck", false, false, 1},
         {"menu", true, true, 0},
         {"menu", false, false, 1},
         {"menu", true, true, 0}},
        {{"menu", false, false, 1}, {"check", true, true, 0}},
        {{"repeat", true, true, 0}, {"uncheck", false, false, 1}, {"repeat", false, false, 1}},
        // The decoder's choice of series stands until the fill state is applied again.
        {{"show1", true, true, 1}, {"repeat", true, true, 0}},
        {{"uncheck", false, false, 1}, {"show0", false, false, 0}, {"new", false, false, 1}},
        {{"combo1", true, true, 1}, {"new", true, true, 0}},
        {{"show9", true, true, -1}, {"repeat", true, true, 0}},
    };
    for (const auto& sequence : sequences) {
        ChartRig rig;
        std::string trail;
        for (const FillStep& step : sequence) {
            trail += std::string(step.action) + " ";
            Apply(*rig.chart, step.action);
            EXPECT_EQ(rig.chart->BtFillChecked(), step.btFill) << trail;
            EXPECT_EQ(rig.chart->FillMenuChecked(), step.menu) << trail;
            EXPECT_EQ(rig.chart->ActiveSeries(), step.series) << trail;
            EXPECT_EQ(rig.chart->Series2().visible(), step.series == 0) << trail;
            EXPECT_EQ(rig.chart->Series1().visible(), step.series == 1) << trail;
            EXPECT_EQ(rig.toolbar().BtFill().isChecked(), step.btFill) << trail;
        }
    }
}

// A command that leaves the same series drawn leaves the picture as it was
// and draws nothing; one that changes the series shows it at once, in the
// next pass of the event loop.
struct SeriesDrawStep {
    const char* action;
    int series;
    bool draws;
};

TEST(TrendChart, DrawsOnlyWhenTheDrawnSeriesChanges) {
    const std::vector<std::vector<SeriesDrawStep>> sequences = {
        {{"show0", 0, false},
         {"show0", 0, false},
         {"show1", 1, true},
         {"show1", 1, false},
         {"show0", 0, true}},
        {{"repeat", 0, false}, {"uncheck", 1, true}, {"repeat", 1, false}, {"menu", 0, true}},
        {{"show9", -1, true}, {"show9", -1, false}, {"combo1", 1, true}},
        // A new graph has new points to show even on the same series.
        {{"new", 0, true}},
    };
    for (const auto& sequence : sequences) {
        ChartRig rig;
        rig.window.show();
        Spin(60);
        PaintRecorder painted;
        painted.Watch(&rig.chart->Chtshow());
        std::string trail;
        for (const SeriesDrawStep& step : sequence) {
            trail += std::string(step.action) + " ";
            painted.Reset();
            Apply(*rig.chart, step.action);
            Spin(40);
            EXPECT_EQ(rig.chart->ActiveSeries(), step.series) << trail;
            EXPECT_EQ(painted.Paints(&rig.chart->Chtshow()) > 0, step.draws) << trail;
        }
    }
}

TEST(TrendChart, ClickingTheFillBoxRunsItsClick) {
    ChartRig rig;
    rig.toolbar().BtFill().click();
    EXPECT_FALSE(rig.chart->BtFillChecked());
    EXPECT_FALSE(rig.chart->FillMenuChecked());
    EXPECT_EQ(rig.chart->ActiveSeries(), 1);
}

TEST(TrendChart, PageSizeWaitsOneSecondAfterTheLastKeystroke) {
    ChartRig rig;
    ASSERT_TRUE(WaitFor([&] { return !rig.chart->Timer2().isActive(); }, 3000)) << "the start-up tick";
    for (int i = 0; i < 120; ++i) rig.chart->AddValue(i);
    rig.chart->BtFirstClick();
    ASSERT_EQ(rig.chart->Bt10Caption(), "1");

    rig.toolbar().Maxrecord().setText("5");
    Spin(600);
    rig.toolbar().Maxrecord().setText("50");
    Spin(600);
    EXPECT_EQ(rig.view().PageSize(), 100) << "the second keystroke restarted the delay";
    EXPECT_EQ(rig.chart->Bt10Caption(), "1");
    ASSERT_TRUE(WaitFor([&] { return rig.view().PageSize() == 50; }, 3000));
    EXPECT_FALSE(rig.chart->Timer2().isActive());
    EXPECT_EQ(rig.chart->Bt10Caption(), "3") << "the last page's number";
    EXPECT_EQ(rig.bottom(), QCPRange(101, 150));
}

struct PageSizeText {
    const char* text;
    const char* message;  // empty: applied
    int pageSize;
};

class ChartPageSizeText : public ::testing::TestWithParam<PageSizeText> {};

TEST_P(ChartPageSizeText, IsAppliedOrRefusedWithAMessage) {
    ChartRig rig;
    for (int i = 0; i < 10; ++i) rig.chart->AddValue(i);
    rig.chart->MaxrecordChange(GetParam().text);
    rig.chart->Timer2Timer();
    EXPECT_FALSE(rig.chart->Timer2().isActive());
    EXPECT_EQ(rig.view().PageSize(), GetParam().pageSize);
    if (*GetParam().message) {
        ASSERT_EQ(rig.prompts.Messages(), std::vector<std::string>{GetParam().message});
        EXPECT_EQ(rig.prompts.shown[0].kind, UserPrompts::Kind::Error);
    } else {
        EXPECT_TRUE(rig.prompts.Messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ChartPageSizeText,
    ::testing::Values(PageSizeText{"100", "", 100}, PageSizeText{"7", "", 7}, PageSizeText{"+3", "", 3},
                      PageSizeText{"", "'' is not a valid integer value", 100},
                      PageSizeText{"abc", "'abc' is not a valid integer value", 100},
                      PageSizeText{"99999999999", "'99999999999' is not a valid integer value", 100},
                      PageSizeText{"0", "'0' is not a valid page size", 100},
                      PageSizeText{"-4", "'-4' is not a valid page size", 100}));

TEST(TrendChart, PageSizeEditTakesOnlyDigitsFromTheKeyboard) {
    ChartRig rig;
    QLineEdit& edit = rig.toolbar().Maxrecord();
    edit.setFocus();
    edit.end(false);
    const auto type = [&](Qt::Key key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&edit, &press);
    };
    type(Qt::Key_A, "a");
    type(Qt::Key_Minus, "-");
    type(Qt::Key_Period, ".");
    type(Qt::Key_Space, " ");
    type(Qt::Key_5, "5");
    EXPECT_EQ(edit.text(), "1005");
    type(Qt::Key_Backspace, "\b");
    type(Qt::Key_Backspace, "\b");
    EXPECT_EQ(edit.text(), "10");
    type(Qt::Key_Left, "");  // keys without a character move as usual
    type(Qt::Key_7, "7");
    EXPECT_EQ(edit.text(), "170");
    EXPECT_EQ(rig.chart->MaxrecordText(), "170");
    EXPECT_TRUE(rig.chart->Timer2().isActive());
    // Pasted text is not filtered; the delayed conversion reports it.
    edit.setText("12x");
    rig.chart->Timer2Timer();
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{"'12x' is not a valid integer value"});
}

TEST(TrendChart, PagingButtonsShowThePageTheyReach) {
    ChartRig rig;
    for (int i = 0; i < 350; ++i) rig.chart->AddValue(i);
    rig.toolbar().BtFirst().click();
    EXPECT_EQ(rig.chart->Bt10Caption(), "1");
    EXPECT_EQ(rig.toolbar().Bt10().text(), "1");
    rig.toolbar().BtNext().click();
    EXPECT_EQ(rig.chart->Bt10Caption(), "2");
    EXPECT_EQ(rig.bottom(), QCPRange(101, 200));
    rig.toolbar().BTlast().click();
    EXPECT_EQ(rig.toolbar().Bt10().text(), "4");
    rig.toolbar().BTPrevious().click();
    EXPECT_EQ(rig.chart->Bt10Caption(), "3");
    EXPECT_EQ(rig.bottom(), QCPRange(201, 300));
}

TEST(TrendChart, EnlargeAndRestoreReturnEveryBound) {
    ChartRig rig;
    rig.window.show();
    QApplication::processEvents();
    const QSize windowSize(800, 600);
    std::vector<bool> announced;
    QObject::connect(rig.chart, &TrendChart::enlargedChanged, [&](bool e) { announced.push_back(e); });

    rig.chart->TbFdClick(windowSize);
    EXPECT_EQ(rig.chart->geometry(), QRect(2, 28, 788, 515));
    EXPECT_EQ(rig.chart->Chtshow().size(), rig.chart->contentsRect().size());
    EXPECT_EQ(rig.toolbar().geometry(), QRect(2, 2, 351, 41));
    EXPECT_EQ(rig.chart->ChartSavedBounds(), QRect(400, 200, 353, 356));
    EXPECT_FALSE(rig.chart->Panel4Visible());
    EXPECT_FALSE(rig.chart->BitBtn1Visible());
    EXPECT_FALSE(rig.toolbar().TbFd().isVisible());
    EXPECT_TRUE(rig.toolbar().TbSx().isVisible());

    rig.toolbar().TbSx().click();  // asks the window for its size
    EXPECT_EQ(rig.chart->geometry(), QRect(400, 200, 353, 356));
    EXPECT_EQ(rig.chart->Chtshow().size(), rig.chart->contentsRect().size());
    EXPECT_EQ(rig.toolbar().geometry(), QRect(403, 159, 351, 41));
    EXPECT_TRUE(rig.chart->Panel4Visible());
    EXPECT_TRUE(rig.chart->BitBtn1Visible());
    EXPECT_TRUE(rig.toolbar().TbFd().isVisible());
    EXPECT_FALSE(rig.toolbar().TbSx().isVisible());
    EXPECT_EQ(announced, (std::vector<bool>{true, false}));

    // A second round comes back the same.
    rig.toolbar().TbFd().click();
    EXPECT_EQ(rig.chart->geometry(), QRect(2, 28, rig.window.frameGeometry().width() - 12,
                                           rig.window.frameGeometry().height() - 85));
    rig.chart->TbFdClick(windowSize);
    EXPECT_EQ(rig.chart->geometry(), QRect(400, 200, 353, 356));
}

TEST(TrendChart, SavesABitmapOfTheChartsSize) {
    ChartRig rig;
    for (int i = 0; i < 50; ++i) rig.chart->AddValue(i * 40 - 1000);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath("chart.bmp");
    rig.prompts.fileNames.push_back(path.toStdString());
    rig.chart->BtSaveClick();

    ASSERT_EQ(rig.prompts.shown.size(), 2u);
    EXPECT_EQ(rig.prompts.shown[0].type, ScriptedPrompts::Shown::Type::SaveDialog);
    EXPECT_EQ(rig.prompts.shown[0].filter, TrendChart::kPictureFilter);
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{"Graphic has saved on " + path.toStdString()});
    EXPECT_EQ(rig.prompts.shown[1].kind, UserPrompts::Kind::Information);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), "BM");
    file.close();
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(353, 356));
    const QImage drawn = rig.chart->Chtshow().toPixmap(353, 356).toImage();
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), drawn.convertToFormat(QImage::Format_RGB32))
        << "the picture is the chart as drawn";

    // The enlarged chart saves at its enlarged size.
    rig.chart->TbFdClick(QSize(800, 600));
    rig.prompts.fileNames.push_back(path.toStdString());
    rig.chart->BtSaveClick();
    EXPECT_EQ(QImage(path).size(), QSize(788, 515));
}

TEST(TrendChart, SaveCancelledOrFailingShowsNoConfirmation) {
    ChartRig rig;
    rig.chart->BtSaveClick();  // no file name: cancelled
    EXPECT_TRUE(rig.prompts.Messages().empty());

    rig.prompts.fileNames.push_back("/nonexistent-folder/chart.bmp");
    rig.chart->BtSaveClick();
    ASSERT_EQ(rig.prompts.Messages().size(), 1u);
    EXPECT_EQ(rig.prompts.shown.back().kind, UserPrompts::Kind::Error);
    EXPECT_EQ(rig.prompts.Messages()[0].find("Graphic has saved"), std::string::npos);
}

TEST(TrendChart, GraphicNewLeavesOnlyThePlaceholder) {
    ChartRig rig;
    for (int i = 0; i < 30; ++i) rig.chart->AddValue(i);
    rig.chart->BtNewClick();
    ASSERT_EQ(rig.data().size(), 1);
    EXPECT_EQ(rig.data().constBegin()->key, 0);
    EXPECT_EQ(rig.chart->ComboBox1ItemIndex(), 0);
    rig.chart->AddValue(5);
    EXPECT_EQ((rig.data().constEnd() - 1)->key, 1) << "the next reading is at X 1";
}

// The log and the chart together, as the window wires them.
struct LoggedChartRig : ChartRig {
    Reading reading;
    LcdMirror mirror;
    ScriptedClock clock;
    ReadingLog log{reading, mirror, *chart, prompts, clock, ":"};

    void Read(double value) {
        reading.ValueText = std::to_string(value);
        reading.UnitText = "m|s";
        reading.MeasuredValue = value;
        log.INDataToTable();
    }
};

TEST(TrendChart, LoggedReadingsBecomePointsAndRecordNewStartsOver) {
    LoggedChartRig rig;
    for (int i = 1; i <= 101; ++i) rig.Read(i);
    EXPECT_EQ(rig.data().size(), 102);
    EXPECT_EQ((rig.data().constEnd() - 1)->value, 101);
    EXPECT_EQ(rig.bottom(), QCPRange(101, 200));
    EXPECT_EQ(rig.chart->Bt10Caption(), "2");
    EXPECT_EQ(rig.mirror.pbar2Position, 60);

    rig.chart->BtFirstClick();
    rig.prompts.answers.push_back(UserPrompts::Answer::Yes);
    rig.log.RecordNewClick();
    EXPECT_EQ(rig.log.RowCount(), 0);
    EXPECT_EQ(rig.bottom(), QCPRange(1, 100));
    EXPECT_EQ(rig.view().Page(), 1);
    EXPECT_FALSE(rig.view().Browsing());
    ASSERT_EQ(rig.data().size(), 1) << "only the placeholder";
    EXPECT_EQ(rig.chart->ActiveSeries(), 0);

    rig.Read(7);
    EXPECT_EQ((rig.data().constEnd() - 1)->key, 1);
    EXPECT_EQ(rig.log.RecordNo(0), 1);
    EXPECT_EQ(rig.chart->Bt10Caption(), "1");
}

struct StreamCase {
    const char* name;
    int points;  // 100 a page: past 100 the axis moves on
};

class ChartStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ChartStream, ShowsWhatAFullReplotShows) {
    ChartRig rig;
    rig.window.show();
    rig.chart->SetStreamingReplotDelay(30);
    Spin(50);
    for (int i = 0; i < GetParam().points; ++i) {
        rig.chart->AddValue(((i * 37) % 200 - 100) * 30.0);
        if (i % 3 == 0) Spin(12);
    }
    Spin(150);  // the last catch-up
    // What the widget paints is what its buffers hold.
    const QImage streamed = rig.chart->Chtshow().grab().toImage();
    rig.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    const QImage full = rig.chart->Chtshow().grab().toImage();
    EXPECT_EQ(streamed, full);
}

INSTANTIATE_TEST_SUITE_P(Points, ChartStream,
                         ::testing::Values(StreamCase{"WithinTheFirstPage", 60},
                                           StreamCase{"PastAPageTurn", 130},
                                           StreamCase{"EndingOnAPageTurn", 101}),
                         [](const auto& info) { return std::string(info.param.name); });

// The area's fill is kept as a picture and redrawn from its last point on
// as points stream in; the chart must look exactly as if the fill had been
// drawn directly, whatever the readings do.
struct FillStreamCase {
    const char* name;
    int points;
    std::function<double(int)> value;
};

class AreaFillStream : public ::testing::TestWithParam<FillStreamCase> {};

TEST_P(AreaFillStream, LooksAsADirectDrawingDoes) {
    const FillStreamCase& c = GetParam();
    ChartRig streamed;
    ChartRig direct;
    auto& area = dynamic_cast<CachedAreaGraph&>(streamed.chart->Series2());
    dynamic_cast<CachedAreaGraph&>(direct.chart->Series2()).SetCaching(false);
    streamed.window.show();
    direct.window.show();
    streamed.chart->SetStreamingReplotDelay(20);
    // The direct one draws once, at the end.
    direct.chart->SetStreamingReplotDelay(1'000'000);
    Spin(50);
    for (int i = 0; i < c.points; ++i) {
        streamed.chart->AddValue(c.value(i));
        direct.chart->AddValue(c.value(i));
        if (i % 2 == 0) Spin(12);
    }
    Spin(120);  // the last catch-up
    direct.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    const QImage shown = streamed.chart->Chtshow().grab().toImage();
    EXPECT_EQ(shown, direct.chart->Chtshow().grab().toImage());
    EXPECT_GT(area.PartialFills(), 0) << "the stream never added to the picture";
    EXPECT_TRUE(area.KeepsLine());
    // A full replot after the stream shows the same again.
    streamed.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    EXPECT_EQ(streamed.chart->Chtshow().grab().toImage(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, AreaFillStream,
    ::testing::Values(
        FillStreamCase{"JumpingBetweenTheAxisEnds", 80, [](int i) { return i % 2 ? 4000.0 : -3990.0; }},
        // A meter hovering at a range's end: 12.34, then an over-load.
        FillStreamCase{"OverLoadEveryOtherReading", 120, [](int i) { return i % 2 ? 4000.0 : 12.34; }},
        FillStreamCase{"NearTheTop", 70, [](int) { return 3999.0; }},
        FillStreamCase{"HoveringAboutZero", 90, [](int i) { return (i % 7 - 3) * 1.5; }},
        FillStreamCase{"PastAPageTurn", 150, [](int i) { return ((i * 37) % 200 - 100) * 39.0; }},
        FillStreamCase{"BeyondTheAxis", 60, [](int i) { return i % 3 ? 9000.0 : -9000.0; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Changing what the fill is drawn against draws it whole again: the
// picture never outlives the view it was made for.
TEST(AreaFill, ViewChangesDrawTheWholeFill) {
    ChartRig streamed;
    ChartRig direct;
    dynamic_cast<CachedAreaGraph&>(direct.chart->Series2()).SetCaching(false);
    streamed.window.show();
    direct.window.show();
    Spin(50);
    for (int i = 0; i < 60; ++i) {
        streamed.chart->AddValue(i * 50.0);
        direct.chart->AddValue(i * 50.0);
    }
    const std::vector<std::pair<const char*, std::function<void(TrendChart&)>>> changes = {
        {"full scale", [](TrendChart& c) { c.SetFullScale(3400); }},
        {"next page", [](TrendChart& c) { c.BtNextClick(); }},
        {"first page", [](TrendChart& c) { c.BtFirstClick(); }},
        {"line and back", [](TrendChart& c) { c.ShowSeries(1), c.ShowSeries(0); }},
        {"enlarge", [](TrendChart& c) { c.TbFdClick(QSize(760, 600)); }},
        {"restore", [](TrendChart& c) { c.TbFdClick(QSize(760, 600)); }},
        {"new graph", [](TrendChart& c) { c.BtNewClick(), c.AddValue(-2000); }},
    };
    for (const auto& [name, change] : changes) {
        change(*streamed.chart);
        change(*direct.chart);
        Spin(40);
        direct.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
        EXPECT_EQ(streamed.chart->Chtshow().grab().toImage(), direct.chart->Chtshow().grab().toImage())
            << name;
    }
}

}  // namespace
}  // namespace corvel::test
