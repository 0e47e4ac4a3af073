// The Graphic menu's view options in the window: "Fit to Readings" and
// "Limit Lines", the limit edits moving the lines, and both remembered from
// one start of the program to the next.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <optional>

#include "chart/TrendChart.h"
#include "shell/LimitPanel.h"
#include "shell/UserSettings.h"
#include "shell/WindowRig.h"

namespace corvel::test {
namespace {

// Where a line is, or nothing when it is not drawn.
std::optional<double> LineAt(const QCPItemStraightLine& line) {
    if (!line.visible()) return std::nullopt;
    return line.point1->coords().y();
}

TEST(ChartOptions, OffUnlessChosenAndTheChartAsBefore) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    EXPECT_TRUE(w.FitToReadingsAction()->isCheckable());
    EXPECT_TRUE(w.LimitLinesAction()->isCheckable());
    EXPECT_FALSE(w.FitToReadingsAction()->isChecked());
    EXPECT_FALSE(w.LimitLinesAction()->isChecked());
    EXPECT_FALSE(w.Chart().FitToReadings());
    EXPECT_FALSE(w.Chart().LimitLines());
    for (int i = 0; i < 20; ++i) w.Chart().AddValue(3.6);
    EXPECT_EQ(w.Chart().Chtshow().yAxis->range(), QCPRange(-4000, 4000));
    EXPECT_FALSE(w.Chart().HighLine().visible());
    EXPECT_FALSE(w.Chart().LowLine().visible());

    w.FitToReadingsAction()->trigger();
    EXPECT_TRUE(w.Chart().FitToReadings());
    EXPECT_LT(w.Chart().Chtshow().yAxis->range().size(), 1) << "3.6 fills the axis";
    w.FitToReadingsAction()->trigger();
    EXPECT_EQ(w.Chart().Chtshow().yAxis->range(), QCPRange(-4000, 4000));
}

// The lines follow the limit edits however their texts change: typed, an
// entry in progress, a refused text put back, an empty edit left.
TEST(ChartOptions, LimitEditsMoveTheirLines) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    QLineEdit* high = w.limitPanel()->T1HI();
    QLineEdit* low = w.limitPanel()->T1LO();
    LimitJudge& judge = w.Core().Judge();
    struct Step {
        const char* what;
        std::function<void()> act;
        std::optional<double> high;
        std::optional<double> low;
    };
    const Step steps[] = {
        {"lines turned on", [&] { w.LimitLinesAction()->trigger(); }, 6000.0, -6000.0},
        {"high limit typed", [&] { high->setText("12.5"); }, 12.5, -6000.0},
        {"low limit typed", [&] { low->setText("3"); }, 12.5, 3.0},
        {"a lone minus sign in the low edit", [&] { low->setText("-"); }, 12.5, std::nullopt},
        {"the low edit left", [&] { judge.T1LOExit(); }, 12.5, 3.0},
        {"a refused high text", [&] { high->setText("12.5-"); }, 12.5, 3.0},
        {"the high edit emptied", [&] { high->setText(""); }, std::nullopt, 3.0},
        {"lines turned off", [&] { w.LimitLinesAction()->trigger(); }, std::nullopt, std::nullopt},
        {"edited while off", [&] { high->setText("20"); }, std::nullopt, std::nullopt},
        {"lines on again", [&] { w.LimitLinesAction()->trigger(); }, 20.0, 3.0},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(LineAt(w.Chart().HighLine()), s.high) << s.what;
        EXPECT_EQ(LineAt(w.Chart().LowLine()), s.low) << s.what;
    }
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{"Numerical input errors"});
}

// ---- remembered between runs

// One start of the program in a settings folder the parent test made: it
// checks what the menu shows, then clicks what it is told to.
constexpr const char* kStartVariable = "CORVEL_CHART_OPTIONS_START";

TEST(ChartOptionsStart, InTheGivenSettingsFolder) {
    const QByteArray plan = qgetenv(kStartVariable);
    if (plan.isEmpty()) GTEST_SKIP() << "run by ChartOptions.RememberedAcrossStarts";
    // The plan reads "FL>fl": the states expected at start (F/f: fit on or
    // off, L/l: lines on or off), then the entries to click.
    const std::unique_ptr<QSettings> userSettings = OpenUserSettings();
    WindowRig rig([&](WindowPlatform& p) { p.settings = userSettings.get(); });
    TFCOMM& w = *rig.w;
    EXPECT_EQ(w.FitToReadingsAction()->isChecked(), plan[0] == 'F');
    EXPECT_EQ(w.Chart().FitToReadings(), plan[0] == 'F');
    EXPECT_EQ(w.LimitLinesAction()->isChecked(), plan[1] == 'L');
    EXPECT_EQ(w.Chart().LimitLines(), plan[1] == 'L');
    EXPECT_EQ(w.Chart().HighLine().visible(), plan[1] == 'L');
    for (const char c : plan.mid(3)) {
        (c == 'f' ? w.FitToReadingsAction() : w.LimitLinesAction())->trigger();
    }
}

TEST(ChartOptions, RememberedAcrossStarts) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString config = QDir(home.path()).filePath("config");
    const auto start = [&](const char* plan) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("XDG_DATA_HOME", QDir(home.path()).filePath("data"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert(kStartVariable, plan);
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(),
                  {"--gtest_filter=ChartOptionsStart.InTheGivenSettingsFolder"});
        EXPECT_TRUE(run.waitForFinished(60000)) << plan;
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << plan;
        EXPECT_EQ(run.exitCode(), 0) << plan << "\n" << run.readAll().toStdString();
    };
    // A fresh folder: both off; both are turned on.
    start("fl>fl");
    const QString file = QDir(config).filePath("corvel/corvel.conf");
    ASSERT_TRUE(QFile::exists(file));
    {
        QSettings written(file, QSettings::IniFormat);
        EXPECT_EQ(written.value("chart/fitToReadings").toString(), "true");
        EXPECT_EQ(written.value("chart/limitLines").toString(), "true");
    }
    // Both come back on; the fit is turned off.
    start("FL>f");
    // The fit stays off, the lines on.
    start("fL>");
}

TEST(ChartOptions, ASettingThatIsNoTruthValueReadsOff) {
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("corvel.conf");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[chart]\nfitToReadings=yes please\nlimitLines=true\n");
    }
    QSettings fileSettings(file, QSettings::IniFormat);
    ChartViewSettings settings(&fileSettings);
    EXPECT_FALSE(settings.Read(ChartViewSettings::kFitToReadings));
    EXPECT_TRUE(settings.Read(ChartViewSettings::kLimitLines));
    settings.Write(ChartViewSettings::kLimitLines, false);
    EXPECT_FALSE(settings.Read(ChartViewSettings::kLimitLines));
    EXPECT_FALSE(ChartViewSettings(nullptr).Read(ChartViewSettings::kLimitLines))
        << "no settings: nothing on";
}

}  // namespace
}  // namespace corvel::test
