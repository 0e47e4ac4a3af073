// The window's data-file commands: the save and open buttons, Record ->
// Save, their dialogs and messages, with every dialog answered by script.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <fstream>
#include <iterator>

#include "record/LogFiles.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"
#include "shell/LimitPanel.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::FrameBuilder;
using test::ScriptedPrompts;
using test::WindowRig;
using Shown = ScriptedPrompts::Shown;

namespace {

const std::string kHeader = "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct FilesWindow : WindowRig {
    QTemporaryDir dir;
    std::string Path(const char* name) const {
        return QDir(dir.path()).filePath(QLatin1String(name)).toStdString();
    }
    void Log(int rows) {
        for (int i = 0; i < rows; ++i)
            w->Log().AppendRow(i + 1, "10:00:00", std::to_string(i), "m|s", "", "");
    }
    QToolButton* Button(const char* name) const {
        return w->clientArea()->findChild<QToolButton*>(QLatin1String(name));
    }
    QAction* Action(const char* name) const { return w->menuBar()->findChild<QAction*>(QLatin1String(name)); }
    std::vector<Shown> Messages() const {
        std::vector<Shown> m;
        for (const auto& s : prompts.shown)
            if (s.type == Shown::Type::Message) m.push_back(s);
        return m;
    }
};

TEST(DataFileCommands, ButtonsAndTheRecordMenuEntryReachTheirHandlers) {
    FilesWindow rig;
    const struct {
        const char* name;
        std::function<void()> press;
        Shown::Type dialog;
        const char* filter;
    } ways[] = {
        {"saveas", [&] { rig.Button("saveas")->click(); }, Shown::Type::SaveDialog,
         "Excel File(*.xls);;Txt File(*.txt);;Excel workbook (*.xlsx);;CSV (*.csv);;XML data packet (*.xml)"},
        {"Save1", [&] { rig.Action("Save1")->trigger(); }, Shown::Type::SaveDialog,
         "Excel File(*.xls);;Txt File(*.txt);;Excel workbook (*.xlsx);;CSV (*.csv);;XML data packet (*.xml)"},
        {"OpenDataFiles", [&] { rig.Button("OpenDataFiles")->click(); }, Shown::Type::OpenDialog,
         "Excel File(*.xls);;Txt File(*.txt);;XML data packet (*.xml)"},
    };
    for (const auto& way : ways) {
        rig.prompts.shown.clear();
        way.press();  // the dialog is cancelled
        ASSERT_EQ(rig.prompts.shown.size(), 1u) << way.name;
        EXPECT_EQ(rig.prompts.shown[0].type, way.dialog) << way.name;
        EXPECT_EQ(rig.prompts.shown[0].filter, way.filter) << way.name;
    }
    EXPECT_TRUE(rig.Button("saveas")->isEnabled());
    EXPECT_TRUE(rig.Button("OpenDataFiles")->isEnabled());
    EXPECT_TRUE(rig.Action("Save1")->isEnabled());
}

TEST(saveasClick, WritesTheFormatItsExtensionAsksFor) {
    const struct {
        const char* name;
        const char* start;
    } cases[] = {
        {"log.xls", "No\t"},  {"log.txt", "No\t"},        {"log.XML", "No\t"},           {"log", "No\t"},
        {"log.xml", "<?xml"}, {"log.xlsx", "PK\x03\x04"}, {"log.csv", "\xEF\xBB\xBFNo,"}};
    for (const auto& c : cases) {
        FilesWindow rig;
        rig.Log(3);
        const std::string path = rig.Path(c.name);
        rig.prompts.fileNames.push_back(path);
        rig.w->saveasClick();
        const std::string bytes = ReadAll(path);
        EXPECT_EQ(bytes.rfind(c.start, 0), 0u) << c.name;
        ASSERT_EQ(rig.prompts.shown.size(), 2u) << c.name;
        const Shown& dialog = rig.prompts.shown[0];
        EXPECT_EQ(dialog.type, Shown::Type::SaveDialog);
        EXPECT_EQ(dialog.defaultSuffix, "xls");
        const Shown& message = rig.prompts.shown[1];
        EXPECT_EQ(message.kind, UserPrompts::Kind::Information) << c.name;
        EXPECT_TRUE(message.ownerless) << c.name;
        EXPECT_EQ(message.text, "Save table to specified file: " + path + " Scuss!");
        // Afterwards the grid's current row is the table's last row.
        EXPECT_EQ(rig.w->DBGrid1()->currentIndex().row(), 2) << c.name;
    }
}

TEST(saveasClick, CancelledWritesNothingAndSaysNothing) {
    FilesWindow rig;
    rig.Log(2);
    rig.w->saveasClick();
    EXPECT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_TRUE(QDir(rig.dir.path()).isEmpty());
}

TEST(saveasClick, AFailedSaveKeepsTheOldFileAndSaysItCouldNot) {
    FilesWindow rig;
    rig.Log(2);
    const std::string path = rig.Path("missing/log.xml");
    rig.prompts.fileNames.push_back(path);
    rig.w->saveasClick();
    ASSERT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.Messages()[0].kind, UserPrompts::Kind::Error);
    EXPECT_EQ(rig.Messages()[0].text, "Could not save table to specified file: " + path);
}

TEST(SpeedButton2Click, AppendsATextTableAndStartsNextTimeOnTheSameFile) {
    FilesWindow rig;
    // A reading logged from the meter first.
    rig.oak(FrameBuilder().main("1234").second("0001"));
    ASSERT_EQ(rig.w->Log().RowCount(), 1);
    const std::string path = rig.Path("old.xls");
    std::ofstream(path, std::ios::binary) << kHeader << "7\t09:00:00\t5.5\tm|s\tNULL\tNULL\r\n";
    rig.prompts.fileNames.push_back(path);
    rig.w->SpeedButton2Click();
    EXPECT_EQ(rig.w->Log().RowCount(), 2);
    EXPECT_EQ(rig.w->Log().Text(1, ReadingLog::Field::Value), "5.5");
    EXPECT_EQ(rig.w->DBGrid1()->model()->rowCount(), 2);
    EXPECT_TRUE(rig.Messages().empty());
    EXPECT_EQ(rig.w->Log().NextRecordNo(), 2);

    rig.w->SpeedButton2Click();  // cancelled
    ASSERT_EQ(rig.prompts.shown.size(), 2u);
    EXPECT_EQ(rig.prompts.shown[0].fileName, "");
    EXPECT_EQ(rig.prompts.shown[1].fileName, path);
    EXPECT_EQ(rig.w->Log().RowCount(), 2);
}

TEST(SpeedButton2Click, APacketReplacesTheRowsAndABadFileSaysSo) {
    FilesWindow rig;
    rig.Log(5);
    const std::string packet = rig.Path("old.xml");
    std::ofstream(packet, std::ios::binary)
        << "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><ROWDATA>"
           "<ROW RowState=\"4\" No=\"42\" Value=\"v\"/></ROWDATA></DATAPACKET>";
    const std::string bad = rig.Path("bad.xls");
    std::ofstream(bad, std::ios::binary) << "";
    rig.prompts.fileNames = {packet, bad};
    rig.w->SpeedButton2Click();
    ASSERT_EQ(rig.w->Log().RowCount(), 1);
    EXPECT_EQ(rig.w->Log().RecordNo(0), 42);
    EXPECT_EQ(rig.w->DBGrid1()->model()->rowCount(), 1);
    rig.w->SpeedButton2Click();
    EXPECT_EQ(rig.w->Log().RowCount(), 1);
    ASSERT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(rig.Messages()[0].text, "Failed to Load File!");
    EXPECT_EQ(rig.Messages()[0].kind, UserPrompts::Kind::Error);
    EXPECT_TRUE(rig.Messages()[0].ownerless);
}

TEST(SpeedButton2Click, APacketOverLoggedRowsWritesThemBesideTheRecoveredLogsFirst) {
    QTemporaryDir data;
    const std::string folder = data.path().toStdString();
    WindowRig rig([&](WindowPlatform& p) { p.journalFolder = folder; });
    rig.oak(FrameBuilder().main("0123").second("0001"));
    rig.oak(FrameBuilder().main("0456").second("0001"));
    ASSERT_EQ(rig.w->Log().RowCount(), 2);
    const std::string packet = folder + "/in.xml";
    std::ofstream(packet, std::ios::binary)
        << "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><ROWDATA>"
           "<ROW No=\"42\" Value=\"v\"/></ROWDATA></DATAPACKET>";
    rig.prompts.fileNames = {packet};
    rig.w->SpeedButton2Click();
    ASSERT_EQ(rig.w->Log().RowCount(), 1);
    QStringList written = QDir(data.path()).entryList({QStringLiteral("recovered-*.xls")}, QDir::Files);
    ASSERT_EQ(written.size(), 1);
    const std::string path = folder + "/" + written[0].toStdString();
    std::vector<std::string> messages;
    for (const auto& s : rig.prompts.shown)
        if (s.type == Shown::Type::Message) messages.push_back(s.text);
    EXPECT_EQ(messages, std::vector<std::string>{LogFiles::UnsavedWrittenOutMessage(2, path)});
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3) << bytes;
}

// A long save lets the meter's frames through: a reading that arrives
// while the file is written is mirrored and logged, and the file holds the
// rows there were when the save began.
TEST(saveasClick, TheMeterGoesOnWhileALongSaveRuns) {
    FilesWindow rig;
    rig.w->Log().limitessClick();
    rig.Log(20000);
    LogFiles::Slicing slicing;
    slicing.rows = 2000;
    slicing.sliceMs = 0;
    slicing.progressAfterMs = 0;
    rig.w->Files().SetSlicing(slicing);
    int arrived = 0;
    rig.prompts.onProgress = [&] {
        rig.oak(FrameBuilder().main(std::to_string(1000 + arrived++)).second("0001"));
    };
    const std::string path = rig.Path("big.xls");
    rig.prompts.fileNames.push_back(path);
    rig.w->saveasClick();
    ASSERT_GT(arrived, 5);
    EXPECT_EQ(rig.w->Log().RowCount(), 20000 + arrived);
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 20001);
    EXPECT_EQ(rig.prompts.progressTexts.size(), 1u);
}

}  // namespace

namespace corvel::test {
namespace {

// A part of a workbook, read by Python's zip module: no code of ours.
std::string WorkbookPart(const std::string& path, const char* part) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1])"
                                 ".read(sys.argv[2]).decode())"),
                  QString::fromStdString(path), QLatin1String(part)});
    python.waitForFinished(30000);
    return python.readAllStandardOutput().toStdString();
}

TEST(saveasClick, AWorkbookTakesTheLimitsShownInTheWindow) {
    const struct {
        const char* name;
        const char* high;
        bool line;  // a High line and count
    } cases[] = {{"a number", "1", true}, {"no number", "-", false}};
    for (const auto& c : cases) {
        FilesWindow rig;
        rig.Log(3);
        rig.w->limitPanel()->T1HI()->setText(QLatin1String(c.high));
        const std::string path = rig.Path("log.xlsx");
        rig.prompts.fileNames.push_back(path);
        rig.w->saveasClick();
        const std::string summary = WorkbookPart(path, "xl/worksheets/sheet2.xml");
        ASSERT_NE(summary.find("Rows"), std::string::npos) << c.name;
        EXPECT_EQ(summary.find("Rows above High") != std::string::npos, c.line) << c.name;
        const std::string chart = WorkbookPart(path, "xl/charts/chart1.xml");
        EXPECT_EQ(chart.find("<c:v>High</c:v>") != std::string::npos, c.line) << c.name;
        EXPECT_NE(chart.find("<c:v>Low</c:v>"), std::string::npos) << c.name;
    }
}

}  // namespace
}  // namespace corvel::test
