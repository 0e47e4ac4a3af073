#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <qcustomplot.h>

#include "chart/TrendChart.h"
#include "links/TCommPortDriver.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"
#include "shell/TFCOMM.h"
#include "support/ScriptedPrompts.h"

using namespace corvel;

namespace {

struct SilentBeeper : Beeper {
    void Beep() override {}
};

// corvel-meter-sim on its own pseudo-terminal, stopped when the test ends.
class Simulator {
public:
    Simulator() {
        // It ends by itself too, should the test never get to stop it.
        process_.start(QStringLiteral(CORVEL_METER_SIM), {QStringLiteral("--seconds"), QStringLiteral("60")});
    }
    ~Simulator() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The terminal it named on its first line, or empty.
    QString Device() {
        if (!process_.waitForStarted(5000)) return {};
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(5000)) return {};
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }

private:
    QProcess process_;
};

bool IsReadingValue(const QString& text) {
    if (text.trimmed() == QLatin1String("0L")) return true;
    bool ok = false;
    text.toDouble(&ok);
    return ok;
}

}  // namespace

TEST(EndToEnd, TheSimulatedMeterFillsMirrorGridAndChart) {
    Simulator sim;
    const QString device = sim.Device();
    ASSERT_FALSE(device.isEmpty()) << "the simulator named no terminal";

    test::ScriptedPrompts prompts;
    SilentBeeper beeper;
    WindowPlatform platform(prompts, beeper, ".", false);
    platform.ports.Set(QStringLiteral("COM1"), device);
    TFCOMM w(std::move(platform));
    w.show();
    const int pointsBefore = w.Chart().Series2().data()->size();

    w.BTCon1Click();
    ASSERT_TRUE(w.COMM2().IsConnected());
    QAbstractItemModel* grid = w.DBGrid1()->model();
    const bool filled = QTest::qWaitFor(
        [&] { return grid->rowCount() >= 5 && w.Chart().Series2().data()->size() - pointsBefore >= 5; }, 10000);
    w.BtDiscon1Click();
    ASSERT_TRUE(filled) << grid->rowCount() << " rows";

    // Every logged row is a point of the chart.
    EXPECT_EQ(w.Chart().Series2().data()->size() - pointsBefore, grid->rowCount());
    EXPECT_EQ(w.Log().RowCount(), grid->rowCount());
    const int value = ReadingLog::FieldIndex("Value");
    ASSERT_GE(value, 0);
    for (int row = 0; row < grid->rowCount(); ++row) {
        const QString text = grid->index(row, value).data().toString();
        EXPECT_TRUE(IsReadingValue(text)) << "row " << row << ": '" << text.toStdString() << "'";
        EXPECT_EQ(grid->index(row, 0).data().toString(), QString::number(row + 1));
    }
    std::string mainRow;
    for (Digit d : {Digit::LcdDa, Digit::LcdDb, Digit::LcdDc, Digit::LcdDd}) mainRow += w.Core().Mirror().digit(d);
    EXPECT_FALSE(mainRow.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(EndToEnd, TheProgramRunsItsDemoAndSavesAScreenshot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString picture = dir.filePath(QStringLiteral("window.png"));
    QProcess corvel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    corvel.setProcessEnvironment(env);
    corvel.setProcessChannelMode(QProcess::MergedChannels);
    corvel.start(QStringLiteral(CORVEL_BIN), {QStringLiteral("--demo"), QStringLiteral("--screenshot"), picture,
                                              QStringLiteral("--screenshot-after"), QStringLiteral("3000")});
    ASSERT_TRUE(corvel.waitForStarted(5000));
    const bool finished = corvel.waitForFinished(20000);
    if (!finished) corvel.kill();
    const QString output = QString::fromLocal8Bit(corvel.readAll());
    ASSERT_TRUE(finished) << output.toStdString();
    EXPECT_EQ(corvel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(corvel.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("mapped to COM1"))) << output.toStdString();

    const QImage image(picture);
    ASSERT_FALSE(image.isNull()) << output.toStdString();
    // The whole window: the client area under the menu bar.
    EXPECT_EQ(image.width(), TFCOMM::kClientWidth);
    EXPECT_GT(image.height(), TFCOMM::kClientHeight);
    // Something was drawn: a blank picture has a colour or two.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8);
}
