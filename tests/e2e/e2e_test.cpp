#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sstream>

#include "chart/TrendChart.h"
#include "links/TCommPortDriver.h"
#include "record/JournalFormat.h"
#include "record/JournalReplay.h"
#include "record/LogJournal.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"
#include "record/TextTable.h"
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
        [&] { return grid->rowCount() >= 5 && w.Chart().Series2().data()->size() - pointsBefore >= 5; },
        10000);
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
    for (Digit d : {Digit::LcdDa, Digit::LcdDb, Digit::LcdDc, Digit::LcdDd})
        mainRow += w.Core().Mirror().digit(d);
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
    // Its log's journal goes to the test's folder, not the user's.
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    // Neither the user's settings nor their home reach it.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("HOME"), dir.path());
    corvel.setProcessEnvironment(env);
    corvel.setProcessChannelMode(QProcess::MergedChannels);
    corvel.start(QStringLiteral(CORVEL_BIN),
                 {QStringLiteral("--demo"), QStringLiteral("--screenshot"), picture,
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

// ---- the program killed while it logs, and started again

namespace {

std::vector<QString> Journals(const QString& dataHome) {
    std::vector<QString> files;
    const QDir dir(dataHome + QStringLiteral("/corvel"));
    for (const QString& name : dir.entryList({QStringLiteral("*.journal")}, QDir::Files))
        files.push_back(dir.filePath(name));
    return files;
}

int JournalRows(const QString& path, RestoredLog* out = nullptr) {
    RestoredLog log;
    if (!ReadJournalInto(path.toStdString(), log)) return -1;
    const int rows = log.rows.RowCount();
    if (out) *out = std::move(log);
    return rows;
}

// The processes whose parent is `pid` (the simulator the demo started).
std::vector<qint64> ChildrenOf(qint64 pid) {
    std::vector<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 child = entry.toLongLong(&number);
        if (!number) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QString text = QString::fromLocal8Bit(stat.readAll());
        // After the name in parentheses: state, then the parent's id.
        const QStringList rest = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        if (rest.size() > 1 && rest[1].toLongLong() == pid) children.push_back(child);
    }
    return children;
}

QString TextTableOf(const ReadingLogStore& rows) {
    std::ostringstream out;
    TextTable::Write(rows, out);
    return QString::fromStdString(out.str());
}

// Runs the program once more on `dataHome`, answering the restore question,
// until its screenshot ends it (which is no normal end: the journal stays).
QString RunAgain(const QString& dataHome, const char* answer, const QString& picture) {
    QProcess corvel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    // Neither the user's settings nor their home reach it.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome + QStringLiteral("/config"));
    env.insert(QStringLiteral("HOME"), dataHome);
    corvel.setProcessEnvironment(env);
    corvel.setProcessChannelMode(QProcess::MergedChannels);
    corvel.start(QStringLiteral(CORVEL_BIN), {QStringLiteral("--restore-answer"), QString::fromLatin1(answer),
                                              QStringLiteral("--screenshot"), picture,
                                              QStringLiteral("--screenshot-after"), QStringLiteral("500")});
    if (!corvel.waitForFinished(30000)) corvel.kill();
    return QString::fromLocal8Bit(corvel.readAll());
}

}  // namespace

TEST(EndToEnd, AKilledProgramsRowsComeBackAtTheNextStart) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    QProcess corvel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    // Neither the user's settings nor their home reach it.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), data.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("HOME"), data.path());
    corvel.setProcessEnvironment(env);
    corvel.setProcessChannelMode(QProcess::MergedChannels);
    corvel.start(QStringLiteral(CORVEL_BIN), {QStringLiteral("--demo")});
    ASSERT_TRUE(corvel.waitForStarted(5000));
    const bool logging = QTest::qWaitFor(
        [&] {
            const auto files = Journals(data.path());
            return files.size() == 1 && JournalRows(files[0]) >= 20;
        },
        30000);
    QTest::qWait(700);
    const std::vector<qint64> simulators = ChildrenOf(corvel.processId());
    const QTime killedAt = QTime::currentTime();
    corvel.kill();  // SIGKILL
    corvel.waitForFinished(5000);
    for (const qint64 pid : simulators) ::kill(static_cast<pid_t>(pid), SIGTERM);
    ASSERT_TRUE(logging) << corvel.readAll().toStdString();

    const auto files = Journals(data.path());
    ASSERT_EQ(files.size(), 1u);
    RestoredLog logged;
    const int rows = JournalRows(files[0], &logged);
    ASSERT_GE(rows, 20);
    // Numbered from 1 without a gap, and the last row was logged in the
    // last moments before the kill.
    for (int r = 0; r < rows; ++r) EXPECT_EQ(logged.rows.RecordNo(r), r + 1);
    const QTime last =
        QTime::fromString(QString::fromStdString(logged.rows.Text(rows - 1, 1)), QStringLiteral("hh:mm:ss"));
    ASSERT_TRUE(last.isValid());
    const int behind = (last.secsTo(killedAt) + 86400) % 86400;
    EXPECT_LE(behind, 3) << "last row at " << last.toString().toStdString();
    const QString expectedTable = TextTableOf(logged.rows);

    // Two starts, one a copy of the folder: Yes here, No there.
    QTemporaryDir copy;
    ASSERT_TRUE(QDir().mkpath(copy.path() + QStringLiteral("/corvel")));
    ASSERT_TRUE(
        QFile::copy(files[0], copy.path() + QStringLiteral("/corvel/") + QFileInfo(files[0]).fileName()));

    const QString question = QString::fromStdString(LogJournal::RestoreQuestion(rows));
    const QString yes = RunAgain(copy.path(), "yes", copy.filePath(QStringLiteral("yes.png")));
    EXPECT_TRUE(yes.contains(question + QStringLiteral(" Yes"))) << yes.toStdString();
    // Restored and journaled on: the same journal holds the same rows.
    const auto kept = Journals(copy.path());
    ASSERT_EQ(kept.size(), 1u) << yes.toStdString();
    RestoredLog again;
    ASSERT_EQ(JournalRows(kept[0], &again), rows);
    EXPECT_EQ(TextTableOf(again.rows), expectedTable);
    EXPECT_EQ(again.nextRecordNo, rows + 1);
    EXPECT_EQ(again.recordCount, rows);
    EXPECT_EQ(again.points, logged.points);

    const QString no = RunAgain(data.path(), "no", data.filePath(QStringLiteral("no.png")));
    EXPECT_TRUE(no.contains(question + QStringLiteral(" No"))) << no.toStdString();
    const QStringList tables =
        QDir(data.path() + QStringLiteral("/corvel")).entryList({QStringLiteral("*.xls")}, QDir::Files);
    ASSERT_EQ(tables.size(), 1) << no.toStdString();
    const QString table = data.path() + QStringLiteral("/corvel/") + tables[0];
    EXPECT_TRUE(no.contains(QString::fromStdString(LogJournal::WrittenOutMessage(table.toStdString()))))
        << no.toStdString();
    QFile written(table);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(written.readAll()), expectedTable);
    // The old journal went; only the new run's own is left.
    EXPECT_FALSE(QFileInfo::exists(files[0]));
}

TEST(EndToEnd, TwoRunningProgramsKeepTheirOwnJournals) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    // Neither the user's settings nor their home reach it.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), data.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("HOME"), data.path());
    QProcess a, b;
    for (QProcess* p : {&a, &b}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(CORVEL_BIN),
                 {QStringLiteral("--screenshot"), data.filePath(QStringLiteral("x.png")),
                  QStringLiteral("--screenshot-after"), QStringLiteral("4000")});
        ASSERT_TRUE(p->waitForStarted(5000));
    }
    const bool both = QTest::qWaitFor([&] { return Journals(data.path()).size() == 2; }, 10000);
    for (QProcess* p : {&a, &b}) p->waitForFinished(20000);
    EXPECT_TRUE(both);
    // Neither asked about the other's journal.
    for (QProcess* p : {&a, &b}) EXPECT_FALSE(p->readAll().contains("ended unexpectedly"));
}

TEST(EndToEnd, CorvelDecodeWritesAJournalsRowsAsATextTable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Two sound batches and a torn third.
    journal::Encoder encoder;
    std::string bytes = journal::Header();
    RestoredLog expected;
    JournalReplay replay(expected);
    for (int b = 0; b < 3; ++b) {
        std::string payload;
        journal::Row row;
        row.no = b + 1;
        row.secondOfDay = 3600 * b;
        row.value = "1.5";
        row.unit = "m|s";
        encoder.Logged(row, 1.5, payload);
        if (b < 2) replay.Logged(row, 1.5);
        journal::AppendBatch(payload, bytes);
    }
    bytes.resize(bytes.size() - 3);
    const QString path = dir.filePath(QStringLiteral("run.journal"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    file.close();

    QProcess decode;
    decode.start(QStringLiteral(CORVEL_DECODE), {QStringLiteral("--journal"), path});
    ASSERT_TRUE(decode.waitForFinished(10000));
    EXPECT_EQ(decode.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(decode.readAllStandardOutput()), TextTableOf(expected.rows));
    EXPECT_TRUE(decode.readAllStandardError().contains("damaged"));

    // Not a journal: a failure, and nothing written.
    decode.start(QStringLiteral(CORVEL_DECODE), {QStringLiteral("--journal"), QStringLiteral(CORVEL_DECODE)});
    ASSERT_TRUE(decode.waitForFinished(10000));
    EXPECT_EQ(decode.exitCode(), 1);
    EXPECT_TRUE(decode.readAllStandardOutput().isEmpty());
}

// The hidden --record-limit chooses a Record menu entry at start, as the menu
// does: the journal keeps the choice. A word that is no entry stops the
// program before it opens a window.
TEST(EndToEnd, RecordLimitOptionChoosesTheMenuEntry) {
    const struct {
        const char* value;
        std::optional<int> entry;  // the journal's choice; none: exit 2
    } cases[] = {
        {"limitless", static_cast<int>(ReadingLog::LimitEntry::Limitless)},
        {"1000", static_cast<int>(ReadingLog::LimitEntry::N1000)},
        {"100000", static_cast<int>(ReadingLog::LimitEntry::N100000)},
        {"Limitless", std::nullopt},
        {"500", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        QProcess corvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        corvel.setProcessEnvironment(env);
        // The screenshot ends the run without removing the journal.
        corvel.start(QStringLiteral(CORVEL_BIN),
                     {QStringLiteral("--record-limit"), QString::fromLatin1(c.value),
                      QStringLiteral("--screenshot"), home.filePath(QStringLiteral("shot.png")),
                      QStringLiteral("--screenshot-after"), QStringLiteral("1500")});
        ASSERT_TRUE(corvel.waitForFinished(30000));
        const QString errors = QString::fromLocal8Bit(corvel.readAllStandardError());
        if (!c.entry) {
            EXPECT_EQ(corvel.exitCode(), 2);
            EXPECT_TRUE(errors.contains(QStringLiteral("--record-limit"))) << errors.toStdString();
            EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("shot.png"))));
            continue;
        }
        EXPECT_EQ(corvel.exitCode(), 0) << errors.toStdString();
        const auto files = Journals(home.filePath(QStringLiteral("data")));
        ASSERT_EQ(files.size(), 1u) << errors.toStdString();
        RestoredLog log;
        ASSERT_TRUE(ReadJournalInto(files[0].toStdString(), log));
        EXPECT_EQ(log.limitEntry, c.entry);
        EXPECT_EQ(log.rows.RowCount(), 0);
    }
}
