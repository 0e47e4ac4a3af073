// The export formats for other programs: readable units, the text encoding,
// CSV fields, the summary figures, and the Save command writing them. The
// files' contents as other programs read them are checked by
// export_check.py with Python's own readers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "record/CsvTable.h"
#include "record/ExportText.h"
#include "record/LogFileJobs.h"
#include "record/LogFiles.h"
#include "record/LogSummary.h"
#include "record/Workbook.h"
#include "test_files_support.h"
#include "test_log_support.h"

namespace corvel::test {
namespace {

// ---- units as people read them

struct UnitCase {
    const char* code;
    int field;
    const char* readable;
};

TEST(ReadableUnit, GivesWhatTheColumnsFontDraws) {
    constexpr int U = ReadingLogStore::Unit;
    constexpr int U2 = ReadingLogStore::Unit2;
    const UnitCase cases[] = {
        {"m|s", U, "m/s"},
        {"ft|min", U, "ft/min"},
        {"Km|h", U, "km/h"},
        {"CMM", U, "CMM"},
        {"CFM", U, "CFM"},
        {"Knots", U, "Knots"},
        {"MPH", U, "MPH"},
        {"X100", U, "X100"},
        {"", U, ""},
        // The Unit column's font draws # and ? as the degree units.
        {"#", U, "\u00B0C"},
        {"?", U, "\u00B0F"},
        {"$", U, "$"},
        {"^", U, "^"},
        // The Unit2 column's font: $ is °F there, ^ and > the DP and WB marks.
        {"#", U2, "\u00B0C"},
        {"$", U2, "\u00B0F"},
        {"?", U2, "?"},
        {"^", U2, "DP"},
        {">", U2, "WB"},
        {"%RH", U2, "%RH"},
        {"m|s", U2, "m/s"},
        // A code with no readable form stays; a stray byte becomes UTF-8.
        {"\"", U, "\""},
        {"\xB0x", U, "\u00B0x"},
    };
    for (const UnitCase& c : cases)
        EXPECT_EQ(ReadableUnit(c.code, c.field), c.readable) << c.code << " in field " << c.field;
}

// ---- texts to UTF-8

struct Utf8Case {
    const char* name;
    std::string in;
    std::string out;
};

TEST(ToUtf8, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
    const Utf8Case cases[] = {
        {"ascii", "1.23 m|s", "1.23 m|s"},
        {"utf8 degree kept",
         "25\xC2\xB0"
         "C",
         "25\xC2\xB0"
         "C"},
        {"utf8 three bytes kept", "\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"utf8 four bytes kept", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"latin degree",
         "25\xB0"
         "C",
         "25\xC2\xB0"
         "C"},
        {"euro sign", "\x80", "\xE2\x82\xAC"},
        {"curly quotes", "\x93q\x94", "\xE2\x80\x9Cq\xE2\x80\x9D"},
        {"undefined byte keeps its code point", "\x81", "\xC2\x81"},
        {"a lead byte without its tail", "\xC3", "\xC3\x83"},
        {"a lead byte before ascii", "\xC3x", "\xC3\x83x"},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"surrogate half", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"a nul byte stays", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Utf8Case& c : cases) EXPECT_EQ(ToUtf8(c.in), c.out) << c.name;
}

// ---- CSV fields and lines

TEST(CsvTable, QuotesOnlyTheFieldsThatNeedIt) {
    const Utf8Case cases[] = {
        {"plain", "1.23", "1.23"},
        {"empty", "", ""},
        {"blanks kept", " a b ", " a b "},
        {"tab kept", "a\tb", "a\tb"},
        {"comma", "a,b", "\"a,b\""},
        {"quote doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line feed", "a\nb", "\"a\nb\""},
        {"carriage return", "a\rb", "\"a\rb\""},
        {"single-byte text with a comma", "\xB0,", "\"\xC2\xB0,\""},
    };
    for (const Utf8Case& c : cases) {
        std::string out;
        CsvTable::AppendField(c.in, out);
        EXPECT_EQ(out, c.out) << c.name;
    }
}

TEST(CsvTable, WritesAMarkedHeaderAndOneCrLfLineARow) {
    ReadingLogStore rows;
    rows.Append(1, 36001, "1.23", "m|s", "25.1", "#");
    rows.Append(2, "odd time", "OL", "Km|h", "", "$");
    rows.Append(3, 36003, "2.0", "m|s", "", "");
    std::string out;
    CsvTable::AppendHeader(out);
    CsvTable csv;
    csv.AppendLines(rows, 0, rows.RowCount(), out);
    EXPECT_EQ(out,
              "\xEF\xBB\xBFNo,Time,Value,Unit,Value2,Unit2\r\n"
              "1,10:00:01,1.23,m/s,25.1,\xC2\xB0"
              "C\r\n"
              "2,odd time,OL,km/h,,\xC2\xB0"
              "F\r\n"
              "3,10:00:03,2.0,m/s,,\r\n");
}

// ---- which format a name saves

struct SaveNameCase {
    const char* name;
    LogFileFormat save;
};

TEST(SaveFormatOf, WritesWorkbookAndCsvOnlyForTheirExactExtensions) {
    const SaveNameCase cases[] = {
        {"/t/a.xlsx", LogFileFormat::Workbook}, {"/t/a.csv", LogFileFormat::Csv},
        {"/t/a.b.csv", LogFileFormat::Csv},     {"/t/a.XLSX", LogFileFormat::TextTable},
        {"/t/a.CSV", LogFileFormat::TextTable}, {"/t/a.csv.xls", LogFileFormat::TextTable},
        {"/t.csv/a", LogFileFormat::TextTable}, {"/t/a.xlsm", LogFileFormat::TextTable},
        {"/t/a.xml", LogFileFormat::XmlPacket}, {"/t/a", LogFileFormat::TextTable},
    };
    for (const SaveNameCase& c : cases) {
        EXPECT_EQ(SaveFormatOf(c.name), c.save) << c.name;
        // Opening reads them as it always did: text tables.
        if (c.save != LogFileFormat::XmlPacket) {
            EXPECT_EQ(FormatOf(c.name), LogFileFormat::TextTable) << c.name;
        }
    }
}

TEST(Workbook, NamesItsSheetsAndNumberFormats) {
    EXPECT_EQ(WorkbookFile::SheetName(0), "Log");
    EXPECT_EQ(WorkbookFile::SheetName(1), "Log (2)");
    EXPECT_EQ(WorkbookFile::SheetName(9), "Log (10)");
    EXPECT_EQ(WorkbookFile::DecimalsFormat(0), "0");
    EXPECT_EQ(WorkbookFile::DecimalsFormat(3), "0.000");
    EXPECT_EQ(WorkbookFile::kSheetRows, 1048575);
}

// ---- the summary

struct SummaryCase {
    const char* name;
    char decimal;
    std::string high, low;
    std::vector<std::vector<std::string>> rows;  // time, Value, Value2
    long long rowCount;
    std::string firstTime, lastTime;
    long long valueCount;
    double minimum, maximum, mean, deviation;
    long long value2Count;
    std::optional<long long> above, below;
};

void PrintTo(const SummaryCase& c, std::ostream* os) {
    *os << c.name;
}

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, CountsTheNumbersOfTheLogsSeparator) {
    const SummaryCase& c = GetParam();
    ReadingLogStore rows;
    int no = 1;
    for (const auto& r : c.rows) rows.Append(no++, r[0], r[1], "m|s", r[2], "");
    SummaryLimits limits;
    limits.decimal = c.decimal;
    limits.high = c.high;
    limits.low = c.low;
    const LogSummary s = Summarize(rows, limits);
    EXPECT_EQ(s.rows, c.rowCount);
    EXPECT_EQ(s.firstTime, c.firstTime);
    EXPECT_EQ(s.lastTime, c.lastTime);
    EXPECT_EQ(s.value.count, c.valueCount);
    EXPECT_DOUBLE_EQ(s.value.minimum, c.minimum);
    EXPECT_DOUBLE_EQ(s.value.maximum, c.maximum);
    EXPECT_NEAR(s.value.mean, c.mean, 1e-12);
    EXPECT_NEAR(s.value.deviation, c.deviation, 1e-12);
    EXPECT_EQ(s.value2.count, c.value2Count);
    EXPECT_EQ(s.aboveHigh, c.above);
    EXPECT_EQ(s.belowLow, c.below);
}

INSTANTIATE_TEST_SUITE_P(
    Logs, Summary,
    ::testing::Values(
        SummaryCase{"EmptyLog", '.', "6000", "-6000", {}, 0, "", "", 0, 0, 0, 0, 0, 0, 0, 0},
        SummaryCase{"OneRow",
                    '.',
                    "6000",
                    "-6000",
                    {{"10:00:00", "3.5", ""}},
                    1,
                    "10:00:00",
                    "10:00:00",
                    1,
                    3.5,
                    3.5,
                    3.5,
                    0,
                    0,
                    0,
                    0},
        SummaryCase{"TextsLeftOut",
                    '.',
                    "2",
                    "0",
                    {{"10:00:00", "1", "x"}, {"10:00:01", "OL", "25.5"}, {"10:00:02", "3", ""}},
                    3,
                    "10:00:00",
                    "10:00:02",
                    2,
                    1,
                    3,
                    2,
                    1,
                    1,
                    1,
                    0},
        // A point is no decimal separator in a log written with commas.
        SummaryCase{"DecimalComma",
                    ',',
                    "1,5",
                    "-1,5",
                    {{"10:00:00", "1,25", ""}, {"10:00:01", "1.75", ""}, {"10:00:02", "-2,0", ""}},
                    3,
                    "10:00:00",
                    "10:00:02",
                    2,
                    -2,
                    1.25,
                    -0.375,
                    1.625,
                    0,
                    0,
                    1},
        SummaryCase{"LimitsThatAreNoNumbers",
                    '.',
                    "-",
                    "",
                    {{"09:00:00", "5", ""}},
                    1,
                    "09:00:00",
                    "09:00:00",
                    1,
                    5,
                    5,
                    5,
                    0,
                    0,
                    std::nullopt,
                    std::nullopt},
        SummaryCase{"BoundsAreNotBeyond",
                    '.',
                    "2",
                    "1",
                    {{"t1", "2", ""}, {"t2", "1", ""}, {"t3", "2.0001", ""}, {"t4", "0.9999", ""}},
                    4,
                    "t1",
                    "t4",
                    4,
                    0.9999,
                    2.0001,
                    1.5,
                    0.5000500024997501,
                    0,
                    1,
                    1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Summary, KeepsTheSpreadOfLargeNearlyEqualReadings) {
    // A naive sum of squares loses these to rounding.
    ReadingLogStore rows;
    for (int i = 0; i < 1000; ++i) rows.Append(i, 0, i % 2 ? "100000000.1" : "100000000.3", "", "", "");
    const LogSummary s = Summarize(rows, {});
    EXPECT_NEAR(s.value.mean, 100000000.2, 1e-6);
    EXPECT_NEAR(s.value.deviation, 0.1, 1e-6);
}

TEST(SummaryLines, OneFigureALineValue2AndLimitsOnlyWhenThere) {
    ReadingLogStore rows;
    rows.Append(1, 36000, "1", "m|s", "", "");
    rows.Append(2, 36001, "3", "m|s", "", "");
    SummaryLimits limits;
    limits.high = "2";
    std::vector<std::string> lines;
    for (const SummaryLine& line : SummaryLines(Summarize(rows, limits)))
        lines.push_back(line.label + ": " + line.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"Rows: 2", "First time: 10:00:00", "Last time: 10:00:01",
                                               "Value numbers: 2", "Value minimum: 1", "Value maximum: 3",
                                               "Value mean: 2", "Value standard deviation: 1",
                                               "High limit: 2", "Rows above High: 1"}));
}

// ---- the Save command

struct ExportRig : LogRig {
    TempFolder folder;
    LogFiles files{log, prompts};
    ExportRig() { files.pump = nullptr; }
};

struct SaveCase {
    const char* name;
    const char* file;
    std::string start;  // the file's first bytes
};

TEST(saveasClick, WritesWorkbookAndCsvByTheChosenName) {
    const SaveCase cases[] = {
        {"workbook", "log.xlsx", "PK\x03\x04"},
        {"csv", "log.csv", "\xEF\xBB\xBFNo,Time"},
        {"capital CSV stays a text table", "log.CSV", "No\tTime"},
        {"text table", "log.xls", "No\tTime"},
        {"packet", "log.xml", "<?xml"},
    };
    for (const SaveCase& c : cases) {
        ExportRig rig;
        rig.Read("1.23", "m|s");
        const std::string path = rig.folder.Path(c.file);
        rig.prompts.fileNames.push_back(path);
        rig.files.saveasClick();
        EXPECT_EQ(ReadBytes(path).substr(0, c.start.size()), c.start) << c.name;
        ASSERT_EQ(rig.prompts.shown.size(), 2u) << c.name;
        EXPECT_EQ(rig.prompts.shown[0].filter,
                  "Excel File(*.xls);;Txt File(*.txt);;Excel workbook (*.xlsx);;CSV (*.csv);;XML data packet "
                  "(*.xml)");
        EXPECT_EQ(rig.prompts.shown[0].defaultSuffix, "xls");
        EXPECT_EQ(rig.prompts.shown[1].text, LogFiles::SavedMessage(path)) << c.name;
        // Nothing is left beside the file.
        EXPECT_EQ(rig.folder.Names().size(), 1) << c.name << rig.folder.Names().join(",").toStdString();
    }
}

TEST(SpeedButton2Click, OffersThePacketAndReadsACsvAsATextTable) {
    ExportRig rig;
    const std::string path = rig.folder.Path("old.csv");
    WriteBytes(path, "No\tTime\r\n5\t10:00:00\t1.5\r\n");
    rig.prompts.fileNames.push_back(path);
    rig.files.SpeedButton2Click();
    ASSERT_FALSE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.prompts.shown[0].filter, "Excel File(*.xls);;Txt File(*.txt);;XML data packet (*.xml)");
    EXPECT_EQ(rig.Rows(), std::vector<std::string>{"5|10:00:00|1.5|||"});
    EXPECT_EQ(rig.prompts.shown.size(), 1u);  // read as today: nothing said
}

struct FailCase {
    const char* name;
    const char* file;
    bool missingFolder;
};

TEST(SaveWorkbookAndCsv, AFolderThatCannotBeWrittenKeepsTheOldFileAndSaysSo) {
    const FailCase cases[] = {
        {"workbook, missing folder", "missing/log.xlsx", true},
        {"csv, missing folder", "missing/log.csv", true},
        {"workbook, read-only folder", "ro/log.xlsx", false},
        {"csv, read-only folder", "ro/log.csv", false},
    };
    for (const FailCase& c : cases) {
        ExportRig rig;
        rig.Read("1.23", "m|s");
        const std::string path = rig.folder.Path(c.file);
        const QString folder = QString::fromStdString(rig.folder.Path("ro"));
        if (!c.missingFolder) {
            ASSERT_TRUE(QDir().mkdir(folder));
            WriteBytes(path, "old");
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        const bool saved = SaveFormatOf(path) == LogFileFormat::Workbook ? rig.files.SaveWorkbook(path)
                                                                         : rig.files.SaveCsv(path);
        const bool root = ::geteuid() == 0;  // root writes into any folder
        if (!root || c.missingFolder) {
            EXPECT_FALSE(saved) << c.name;
            EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{LogFiles::NotSavedMessage(path)})
                << c.name;
            if (!c.missingFolder) {
                EXPECT_EQ(ReadBytes(path), "old") << c.name;
            }
        }
        if (!c.missingFolder) {
            QFile::setPermissions(folder,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1) << c.name;
        }
    }
}

// A part of a saved workbook, read by Python's zip module.
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

struct LimitCase {
    const char* name;
    const char* high;
    const char* low;
    std::vector<const char*> series;  // of the chart, in order
    bool block;                       // the limit lines' ends on the Summary sheet
};

TEST(SaveWorkbook, DrawsTheLimitsThatAreNumbersAsFlatLines) {
    const LimitCase cases[] = {
        {"both", "2", "-2", {"Value", "High", "Low"}, true},
        {"high only", "2", "-", {"Value", "High"}, true},
        {"neither", "", "x", {"Value"}, false},
    };
    for (const LimitCase& c : cases) {
        ExportRig rig;
        for (int i = 0; i < 30; ++i) rig.Read(std::to_string(i % 5), "m|s");
        rig.files.limits = [&] {
            SummaryLimits limits;
            limits.high = c.high;
            limits.low = c.low;
            return limits;
        };
        const std::string path = rig.folder.Path("log.xlsx");
        ASSERT_TRUE(rig.files.SaveWorkbook(path)) << c.name;
        const std::string chart = WorkbookPart(path, "xl/charts/chart1.xml");
        std::vector<std::string> series;
        for (std::size_t at = chart.find("<c:ser>"); at != std::string::npos;
             at = chart.find("<c:ser>", at + 1)) {
            const std::size_t v = chart.find("<c:v>", at) + 5;
            series.push_back(chart.substr(v, chart.find("</c:v>", v) - v));
        }
        EXPECT_EQ(series, std::vector<std::string>(c.series.begin(), c.series.end())) << c.name;
        if (c.block) {
            EXPECT_NE(chart.find("<c:f>Summary!$D$3:$D$4</c:f>"), std::string::npos) << c.name;
            EXPECT_NE(chart.find("<c:f>Summary!$E$3:$E$4</c:f>"), std::string::npos) << c.name;
            EXPECT_NE(chart.find("prstDash val=\"dash\""), std::string::npos) << c.name;
        }
        const std::string summary = WorkbookPart(path, "xl/worksheets/sheet2.xml");
        EXPECT_EQ(summary.find("Limit lines") != std::string::npos, c.block) << c.name;
    }
}

TEST(SaveWorkbook, GivesUpWhenTheLogIsEmptiedBeneathItAndKeepsTheOldFile) {
    ExportRig rig;
    rig.log.limitessClick();
    for (int i = 0; i < 5000; ++i) rig.Read(std::to_string(i), "m|s");
    const std::string path = rig.folder.Path("log.xlsx");
    WriteBytes(path, "old");
    LogFiles::Slicing s;
    s.rows = 500;
    s.sliceMs = 0;
    s.progressAfterMs = 0;
    rig.files.SetSlicing(s);
    rig.prompts.onProgress = [&] { rig.log.Empty(); };
    EXPECT_FALSE(rig.files.SaveWorkbook(path));
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(rig.folder.Names().size(), 1) << rig.folder.Names().join(",").toStdString();
}

}  // namespace
}  // namespace corvel::test
