// The chart's view options: the value axis fitted to the page's readings,
// the limit lines, and the pictures the chart is saved as.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <optional>

#include "chart/CachedAreaGraph.h"
#include "chart/TrendChart.h"
#include "chart/ValueAxisFit.h"
#include "support/QtAppEnvironment.h"
#include "support/ScriptedPrompts.h"

namespace corvel::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- the fitted range

struct FitCase {
    const char* name;
    double smallest;
    double largest;
    std::optional<FittedAxis> expected;
};

class ValueAxisFitCases : public ::testing::TestWithParam<FitCase> {};

TEST_P(ValueAxisFitCases, GivesRoundEndsAroundTheReadings) {
    const FitCase& c = GetParam();
    const auto axis = FitValueAxis(c.smallest, c.largest);
    ASSERT_EQ(axis.has_value(), c.expected.has_value());
    if (!axis) return;
    EXPECT_NEAR(axis->lower, c.expected->lower, 1e-9);
    EXPECT_NEAR(axis->upper, c.expected->upper, 1e-9);
    EXPECT_NEAR(axis->tickStep, c.expected->tickStep, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Readings, ValueAxisFitCases,
                         ::testing::Values(
                             // An air speed of 3.6 m/s: a band of 0.4 around it, not +-4000.
                             FitCase{"OneSmallReading", 3.6, 3.6, FittedAxis{3.4, 3.8, 0.1}},
                             FitCase{"SmallSpread", 3.5, 3.7, FittedAxis{3.45, 3.75, 0.05}},
                             FitCase{"OneToTwo", 1, 2, FittedAxis{0.75, 2.25, 0.25}},
                             FitCase{"AllZero", 0, 0, FittedAxis{-0.6, 0.6, 0.2}},
                             FitCase{"NegativeReadings", -12.34, -12.3, FittedAxis{-12.35, -12.29, 0.01}},
                             FitCase{"TheWholeScale", -4000, 4000, FittedAxis{-6000, 6000, 2000}},
                             FitCase{"NotANumber", kNaN, 1, std::nullopt},
                             FitCase{"Infinite", 0, kInf, std::nullopt},
                             FitCase{"Reversed", 5, 1, std::nullopt},
                             FitCase{"TooFarApartToDraw", -1e308, 1e308, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever the readings, the axis holds them clear of its edges, its ends
// lie on whole steps, the step is a round one, and there are a few ticks.
TEST(ValueAxisFit, EveryFitIsRoundAndHoldsItsReadings) {
    const std::pair<double, double> readings[] = {
        {0.001, 0.002}, {-0.5, 0.5}, {12.34, 12.34}, {12.34, 4000}, {-3999, -3998},  {1e6, 1e6 + 1},
        {0.3, 0.7},     {-7, 1e-3},  {99.9, 100.1},  {-6000, 6000}, {1234.5, 1234.5}};
    for (const auto& [lo, hi] : readings) {
        SCOPED_TRACE(::testing::Message() << lo << " to " << hi);
        const auto axis = FitValueAxis(lo, hi);
        ASSERT_TRUE(axis);
        EXPECT_LT(axis->lower, lo);
        EXPECT_GT(axis->upper, hi);
        const double mantissa = axis->tickStep / std::pow(10.0, std::floor(std::log10(axis->tickStep)));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                    std::fabs(mantissa - 2.5) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
            << "step " << axis->tickStep;
        for (const double end : {axis->lower, axis->upper}) {
            const double steps = end / axis->tickStep;
            EXPECT_NEAR(steps, std::round(steps), 1e-6) << end << " is not on a tick";
        }
        const double intervals = (axis->upper - axis->lower) / axis->tickStep;
        EXPECT_GE(intervals, 3 - 1e-9);
        EXPECT_LE(intervals, 7 + 1e-9);
    }
}

TEST(PageExtremes, KeepsTheExtremesOfFiniteReadings) {
    PageExtremes e;
    EXPECT_TRUE(e.Empty());
    for (const double v : {kNaN, kInf, -kInf}) e.Add(v);
    EXPECT_TRUE(e.Empty()) << "nothing to draw is no reading for the axis";
    for (const double v : {3.0, -1.5, kNaN, 7.25, 2.0}) e.Add(v);
    EXPECT_EQ(e.Min(), -1.5);
    EXPECT_EQ(e.Max(), 7.25);
    e.Clear();
    EXPECT_TRUE(e.Empty());
    e.Add(4);
    EXPECT_EQ(e.Min(), 4);
    EXPECT_EQ(e.Max(), 4);
}

// ---- the trend chart with its options

struct ChartRig {
    QWidget window;
    ScriptedPrompts prompts;
    TrendChart* chart;

    ChartRig() {
        window.resize(800, 600);
        chart = new TrendChart(prompts, &window);
    }
    QCPRange value() { return chart->Chtshow().yAxis->range(); }
};

void Spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The axis the chart should show for readings from lo to hi.
QCPRange FitFor(double lo, double hi) {
    const auto axis = FitValueAxis(lo, hi);
    return axis ? QCPRange(axis->lower, axis->upper) : QCPRange();
}

void ExpectRange(const QCPRange& got, const QCPRange& want, const char* step) {
    EXPECT_NEAR(got.lower, want.lower, 1e-9) << step;
    EXPECT_NEAR(got.upper, want.upper, 1e-9) << step;
}

TEST(FitToReadings, OffLeavesTheFullScaleWhateverTheReadings) {
    ChartRig rig;
    EXPECT_FALSE(rig.chart->FitToReadings());
    for (int i = 0; i < 30; ++i) rig.chart->AddValue(3.6);
    EXPECT_EQ(rig.value(), QCPRange(-4000, 4000));
    rig.chart->SetFullScale(6000);
    EXPECT_EQ(rig.value(), QCPRange(-6000, 6000));
}

TEST(FitToReadings, APageOfSmallReadingsFillsTheAxis) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    EXPECT_EQ(rig.value(), QCPRange(-4000, 4000)) << "no readings yet: the full scale";
    // The first reading gets a band around it; the next ones lie inside it
    // and leave it be.
    for (const double v : {3.6, 3.7, 3.5, 3.62}) rig.chart->AddValue(v);
    ExpectRange(rig.value(), QCPRange(3.4, 3.8), "3.5 to 3.7 streamed");

    // The ticks are round and the axis ends on them.
    rig.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    const QVector<double> ticks = rig.chart->Chtshow().yAxis->tickVector();
    ASSERT_GE(ticks.size(), 4);
    EXPECT_NEAR(ticks.front(), 3.4, 1e-9);
    EXPECT_NEAR(ticks.back(), 3.8, 1e-9);
    for (int i = 1; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i] - ticks[i - 1], 0.1, 1e-9);

    // A reading past the axis' end fits it anew to the page's readings.
    rig.chart->AddValue(3.85);
    ExpectRange(rig.value(), FitFor(3.5, 3.85), "3.5 to 3.85");

    // A change of the full scale does not undo the fit; turning it off
    // gives the full scale back, with the ticker's own steps.
    rig.chart->SetFullScale(6000);
    ExpectRange(rig.value(), FitFor(3.5, 3.85), "after a new full scale");
    rig.chart->SetFitToReadings(false);
    EXPECT_EQ(rig.value(), QCPRange(-6000, 6000));
    rig.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    ChartRig never;
    never.chart->SetFullScale(6000);
    never.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    EXPECT_EQ(rig.chart->Chtshow().yAxis->tickVector(), never.chart->Chtshow().yAxis->tickVector());
}

// The axis follows the page shown, as the user pages and as points come.
TEST(FitToReadings, FollowsThePageShown) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    // Page 1 (X 1 to 100) holds 3.01 to 4.00, page 2 holds 151 to 200.
    for (int x = 1; x <= 150; ++x) rig.chart->AddValue(x <= 100 ? 3 + x * 0.01 : 50 + x);
    // Streamed, the axis widened as the readings left it.
    EXPECT_LT(rig.value().lower, 151);
    EXPECT_GT(rig.value().upper, 200);
    EXPECT_LT(rig.value().size(), 100);

    struct Step {
        const char* what;
        std::function<void(TrendChart&)> act;
        std::optional<std::pair<double, double>> readings;  // none: full scale
    };
    const Step steps[] = {
        {"first page", [](TrendChart& c) { c.BtFirstClick(); }, std::pair(3.01, 4.0)},
        {"a reading off the page shown", [](TrendChart& c) { c.AddValue(1000); }, std::pair(3.01, 4.0)},
        {"next page", [](TrendChart& c) { c.BtNextClick(); }, std::pair(151.0, 1000.0)},
        {"previous page", [](TrendChart& c) { c.BTPreviousClick(); }, std::pair(3.01, 4.0)},
        {"last page", [](TrendChart& c) { c.BTlastClick(); }, std::pair(151.0, 1000.0)},
        {"a reading below the page's least", [](TrendChart& c) { c.AddValue(-20); },
         std::pair(-20.0, 1000.0)},
        {"turned off", [](TrendChart& c) { c.SetFitToReadings(false); }, std::nullopt},
        {"a reading while off", [](TrendChart& c) { c.AddValue(5000); }, std::nullopt},
        {"turned on", [](TrendChart& c) { c.SetFitToReadings(true); }, std::pair(-20.0, 5000.0)},
        // New leaves the window on page 2 with nothing in it, and the
        // readings that follow start left of it.
        {"new graph", [](TrendChart& c) { c.BtNewClick(); }, std::nullopt},
        {"readings again", [](TrendChart& c) { c.AddValue(2), c.AddValue(2.5); }, std::nullopt},
    };
    for (const Step& s : steps) {
        s.act(*rig.chart);
        ExpectRange(rig.value(),
                    s.readings ? FitFor(s.readings->first, s.readings->second) : QCPRange(-4000, 4000),
                    s.what);
    }
}

TEST(FitToReadings, AfterAPageTurnTheNewPageAloneCounts) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    for (int x = 1; x <= 100; ++x) rig.chart->AddValue(x);
    EXPECT_LT(rig.value().lower, 1);
    EXPECT_GT(rig.value().upper, 100);
    rig.chart->AddValue(7);  // X 101: the window moves on to 101..200
    ExpectRange(rig.value(), FitFor(7, 7), "page 2's only reading");
}

// On a steady stream the fitted axis is set once; the area's picture is
// then only added to, as with the option off.
TEST(FitToReadings, ASteadyStreamSetsTheAxisOnce) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    rig.window.show();
    rig.chart->SetStreamingReplotDelay(20);
    Spin(50);
    int axisChanges = 0;
    QObject::connect(rig.chart->Chtshow().yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged),
                     [&] { ++axisChanges; });
    for (int i = 0; i < 160; ++i) {
        rig.chart->AddValue(12.34);
        if (i % 2 == 0) Spin(12);
    }
    Spin(100);
    EXPECT_EQ(axisChanges, 1) << "a page turn onto the same readings keeps the axis";
    const auto& area = dynamic_cast<const CachedAreaGraph&>(rig.chart->Series2());
    EXPECT_GT(area.PartialFills(), 10 * area.FullFills());
}

// Points streamed with the axis moving under them show what a full redraw
// shows: a new extreme redraws the axes, not just the series.
TEST(FitToReadings, StreamedPointsShowWhatAFullReplotShows) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    rig.chart->SetLimitLines(true);
    rig.chart->SetLimits(40, 5);
    rig.window.show();
    rig.chart->SetStreamingReplotDelay(30);
    Spin(50);
    for (int i = 0; i < 130; ++i) {
        rig.chart->AddValue(10 + (i % 40) * (i % 3 ? 0.5 : -0.25));
        if (i % 3 == 0) Spin(12);
    }
    Spin(150);
    const QImage streamed = rig.chart->Chtshow().grab().toImage();
    rig.chart->Chtshow().replot(QCustomPlot::rpImmediateRefresh);
    EXPECT_EQ(streamed, rig.chart->Chtshow().grab().toImage());
}

// ---- limit lines

TEST(LimitLines, ShowEachLimitThatIsANumberWhileOn) {
    ChartRig rig;
    struct Step {
        const char* what;
        std::function<void(TrendChart&)> act;
        std::optional<double> high;  // none: hidden
        std::optional<double> low;
    };
    const Step steps[] = {
        {"off at start", [](TrendChart& c) { c.SetLimits(6000, -6000); }, std::nullopt, std::nullopt},
        {"turned on", [](TrendChart& c) { c.SetLimitLines(true); }, 6000.0, -6000.0},
        {"high limit edited", [](TrendChart& c) { c.SetLimits(12.5, -6000); }, 12.5, -6000.0},
        {"low limit being typed", [](TrendChart& c) { c.SetLimits(12.5, std::nullopt); }, 12.5, std::nullopt},
        {"low limit typed", [](TrendChart& c) { c.SetLimits(12.5, -3); }, 12.5, -3.0},
        {"turned off", [](TrendChart& c) { c.SetLimitLines(false); }, std::nullopt, std::nullopt},
        {"edited while off", [](TrendChart& c) { c.SetLimits(8, 1); }, std::nullopt, std::nullopt},
        {"on again", [](TrendChart& c) { c.SetLimitLines(true); }, 8.0, 1.0},
        {"not finite", [](TrendChart& c) { c.SetLimits(kInf, kNaN); }, std::nullopt, std::nullopt},
    };
    for (const Step& s : steps) {
        s.act(*rig.chart);
        for (const auto& [line, want] :
             {std::pair(&rig.chart->HighLine(), s.high), std::pair(&rig.chart->LowLine(), s.low)}) {
            ASSERT_EQ(line->visible(), want.has_value())
                << s.what << ": " << line->objectName().toStdString();
            if (!want) continue;
            EXPECT_EQ(line->point1->coords().y(), *want) << s.what;
            EXPECT_EQ(line->point2->coords().y(), *want) << s.what;
            EXPECT_NE(line->point1->coords().x(), line->point2->coords().x()) << "a horizontal line";
            EXPECT_EQ(line->pen().style(), Qt::DashLine);
        }
    }
}

// ---- pictures

// How many pixels of row y, across the middle of the plot, are reddish.
int RedPixelsInRow(const QImage& image, int y, int left, int right) {
    int n = 0;
    for (int x = left; x < right; ++x) {
        const QColor c = image.pixelColor(x, y);
        // Smoothed edges make a line paler, not less red.
        if (c.red() > c.green() + 60 && c.red() > c.blue() + 60) ++n;
    }
    return n;
}

struct PictureCase {
    const char* name;
    const char* fileName;
    QByteArray magic;
    const char* format;  // as QImageReader names it
};

class ChartPicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(ChartPicture, IsWrittenByItsExtensionWithTheOptionsShown) {
    const PictureCase& c = GetParam();
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    rig.chart->SetLimitLines(true);
    rig.chart->SetLimits(3.7, 3.35);
    for (int i = 0; i < 60; ++i) rig.chart->AddValue(3.3 + (i % 10) * 0.05);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath(QString::fromLatin1(c.fileName));
    rig.prompts.fileNames.push_back(path.toStdString());
    rig.chart->BtSaveClick();

    ASSERT_FALSE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.prompts.shown[0].filter, "Bitmaps (*.bmp);;PNG images (*.png);;SVG drawings (*.svg)");
    EXPECT_EQ(rig.prompts.shown[0].defaultSuffix, "bmp");
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{"Graphic has saved on " + path.toStdString()});

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(200);
    EXPECT_TRUE(head.contains(c.magic)) << head.left(40).toStdString();
    file.close();

    QImage image;
    if (QByteArray(c.format) == "svg") {
        QSvgRenderer svg(path);
        ASSERT_TRUE(svg.isValid());
        EXPECT_EQ(svg.viewBox(), QRect(0, 0, 353, 356));
        image = QImage(353, 356, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        svg.render(&painter, QRectF(0, 0, 353, 356));
    } else {
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), c.format);
        image = reader.read();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(353, 356));
        EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32),
                  rig.chart->Chtshow().toPixmap(353, 356).toImage().convertToFormat(QImage::Format_RGB32))
            << "the picture is the chart as drawn";
    }
    // The fitted axis puts the high limit inside the plot, where its
    // dashed red line runs across.
    QCustomPlot& plot = rig.chart->Chtshow();
    const QRect area = plot.axisRect()->rect();
    const int y = static_cast<int>(std::lround(plot.yAxis->coordToPixel(3.7)));
    ASSERT_TRUE(area.contains(area.center().x(), y));
    const int red = std::max({RedPixelsInRow(image, y - 1, area.left(), area.right()),
                              RedPixelsInRow(image, y, area.left(), area.right()),
                              RedPixelsInRow(image, y + 1, area.left(), area.right())});
    EXPECT_GT(red, area.width() / 4) << "the high limit's line";
    EXPECT_LT(red, area.width()) << "dashed, not solid";
    // The series stay inside the plot area, as on the screen: the fill runs
    // down to zero and the placeholder lies left of the axis.
    int spilt = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (area.adjusted(-2, -2, 2, 2).contains(x, y)) continue;
            const QColor p = image.pixelColor(x, y);
            const bool fill = p.red() > 200 && p.green() > 200 && p.blue() < 180;
            const bool line = p.blue() > 200 && p.green() > 90 && p.red() < 60;
            if (fill || line) ++spilt;
        }
    }
    EXPECT_EQ(spilt, 0) << "series drawn outside the plot area";
}

INSTANTIATE_TEST_SUITE_P(Extensions, ChartPicture,
                         ::testing::Values(PictureCase{"Png", "chart.png", "\x89PNG", "png"},
                                           PictureCase{"PngInCapitals", "chart.PNG", "\x89PNG", "png"},
                                           PictureCase{"Svg", "chart.svg", "<svg", "svg"},
                                           PictureCase{"Bmp", "chart.bmp", "BM", "bmp"},
                                           PictureCase{"AnyOtherName", "chart.pic", "BM", "bmp"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChartPicture, OptionsOffLeaveNoLineInThePicture) {
    ChartRig rig;
    rig.chart->SetFitToReadings(true);
    rig.chart->SetLimits(3.7, 3.35);
    for (int i = 0; i < 60; ++i) rig.chart->AddValue(3.3 + (i % 10) * 0.05);
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("chart.png");
    ASSERT_TRUE(rig.chart->SavePicture(path));
    const QImage image(path);
    QCustomPlot& plot = rig.chart->Chtshow();
    const QRect area = plot.axisRect()->rect();
    const int y = static_cast<int>(std::lround(plot.yAxis->coordToPixel(3.7)));
    EXPECT_EQ(RedPixelsInRow(image, y, area.left(), area.right()), 0);
}

TEST(ChartPicture, AFolderThatCannotBeWrittenIsReported) {
    for (const char* name : {"/nonexistent-folder/chart.png", "/nonexistent-folder/chart.svg"}) {
        ChartRig rig;
        rig.prompts.fileNames.push_back(name);
        rig.chart->BtSaveClick();
        ASSERT_EQ(rig.prompts.Messages().size(), 1u) << name;
        EXPECT_EQ(rig.prompts.shown.back().kind, UserPrompts::Kind::Error) << name;
        EXPECT_EQ(rig.prompts.Messages()[0], std::string("Cannot create file \"") + name + "\"");
    }
}

}  // namespace
}  // namespace corvel::test
