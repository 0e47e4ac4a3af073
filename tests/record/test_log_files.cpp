// Saving the log and opening data files: the commands as the user meets
// them, on real files.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "record/LogFileJobs.h"
#include "record/LogFiles.h"
#include "record/XmlPacket.h"
#include "test_files_support.h"
#include "test_log_support.h"

namespace corvel::test {
namespace {

using Kind = UserPrompts::Kind;
const std::string H = "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n";

struct FilesRig : LogRig {
    TempFolder folder;
    LogFiles files{log, prompts};
    FilesRig() {
        files.pump = nullptr;  // no event loop here
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& s : prompts.shown)
            if (s.type == ScriptedPrompts::Shown::Type::Message) {
                EXPECT_TRUE(s.ownerless) << s.text;
                texts.push_back((s.kind == Kind::Error ? "Error: " : "Information: ") + s.text);
            }
        return texts;
    }
    void AddRow(int no, const std::string& time, const std::string& value, const std::string& unit,
                const std::string& value2, const std::string& unit2) {
        log.AppendRow(no, time, value, unit, value2, unit2);
    }
};

// ---- round trips

struct RoundTripCase {
    const char* name;
    std::vector<std::vector<std::string>> rows;  // time, Value, Unit, Value2, Unit2
    // How the text table gives them back where that differs ("NULL").
    std::vector<std::string> fromText;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<RoundTripCase, const char*>> {};

TEST_P(RoundTrip, ReadsBackTheRowsItSaved) {
    const auto& [c, extension] = GetParam();
    FilesRig rig;
    int no = 1;
    for (const auto& r : c.rows) rig.AddRow(no++, r[0], r[1], r[2], r[3], r[4]);
    const std::vector<std::string> saved = rig.Rows();
    const std::string path = rig.folder.Path(std::string("log") + extension);
    const bool text = FormatOf(path) == LogFileFormat::TextTable;
    ASSERT_TRUE(text ? rig.files.SaveTableText(path) : rig.files.SaveXmlPacket(path));
    rig.log.Empty();
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    EXPECT_EQ(rig.Rows(), text && !c.fromText.empty() ? c.fromText : saved);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTrip,
    ::testing::Combine(
        ::testing::Values(
            RoundTripCase{"EmptyLog", {}, {}},
            RoundTripCase{"PlainRows",
                          {{"10:00:01", "1.23", "m|s", "25.1", "C"}, {"23:59:59", "-0.5", "ft|m", "OL", "F"}},
                          {}},
            RoundTripCase{
                "EmptyTexts", {{"10:00:01", "1.23", "m|s", "", ""}}, {"1|10:00:01|1.23|m|s|NULL|NULL"}},
            RoundTripCase{
                "BlanksQuotesAndTabsInside", {{"10:00:01", "a b", "\"q\"", "x\ty", "say \"hi\" now"}}, {}},
            RoundTripCase{"EveryEscapedCharacter",
                          {{"t", "<>&'\"\\", "a\rb", "c\nd", "e\tf"}},
                          {"1|t|<>&'\"\\|a b|c d|e\tf"}},
            RoundTripCase{
                "TextsAtTheTableWidth",
                {{"12345678901234567890", "\xC2\xB0\xC2\xB0\xC2\xB0 456789012345678901", "u", "v", "w"}},
                {}}),
        ::testing::Values(".xls", ".txt", "", ".xml")),
    [](const auto& info) {
        const std::string ext = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).name) + "_" + (ext.empty() ? "none" : ext.substr(1));
    });

TEST(SaveTableText, WritesTheTextTableAndSaysSo) {
    FilesRig rig;
    rig.AddRow(3, "10:00:01", "1.23", "m|s", "", "");
    rig.AddRow(4, "10:00:02", " 7 ", "a b", "\x01", "C");
    const std::string path = rig.folder.Path("log.xls");
    EXPECT_TRUE(rig.files.SaveTableText(path));
    EXPECT_EQ(ReadBytes(path), H + "3\t10:00:01\t1.23\tm|s\tNULL\tNULL\r\n"
                                   "4\t10:00:02\t7\t\"a b\"\tNULL\tC\r\n");
    EXPECT_EQ(rig.Messages(),
              std::vector<std::string>{"Information: Save table to specified file: " + path + " Scuss!"});
}

TEST(SaveXmlPacket, WritesThePacketAsTheToolkitDoes) {
    FilesRig rig;
    rig.AddRow(3, "10:00:01", "1.23", "m|s", "", "");
    const std::string path = rig.folder.Path("log.xml");
    EXPECT_TRUE(rig.files.SaveXmlPacket(path));
    EXPECT_EQ(ReadBytes(path),
              "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
              "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
              "<FIELD attrname=\"time\" fieldtype=\"string\" WIDTH=\"20\"/>"
              "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
              "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
              "<FIELD attrname=\"Value2\" fieldtype=\"string\" WIDTH=\"20\"/>"
              "<FIELD attrname=\"Unit2\" fieldtype=\"string\" WIDTH=\"20\"/>"
              "</FIELDS><PARAMS/></METADATA><ROWDATA>"
              "<ROW No=\"3\" time=\"10:00:01\" Value=\"1.23\" Unit=\"m|s\"/>"
              "</ROWDATA></DATAPACKET>\r\n");
    EXPECT_EQ(rig.Messages(),
              std::vector<std::string>{"Information: Save table to specified file: " + path + " Scuss!"});
}

TEST(XmlPacket, EscapesEveryCharacterTheToolkitDoes) {
    std::string out;
    XmlPacket::AppendEscaped("<>&'\"\r\n\t\\ a\x7f", out);
    EXPECT_EQ(out, "&lt;&gt;&amp;&apos;&quot;&#013;&#010;&#009;&#092; a\x7f");
}

// ---- texts that are not UTF-8 in a packet

struct BytesCase {
    const char* name;
    std::string text;     // a log text, at most the table's width
    std::string escaped;  // as the packet holds it
};

void PrintTo(const BytesCase& c, std::ostream* os) {
    *os << c.name;
}

const BytesCase kBytesCases[] = {
    {"Utf8AsItIs",
     "\xC2\xB0"
     "C \xE2\x82\xAC \xF0\x9F\x98\x80",
     "\xC2\xB0"
     "C \xE2\x82\xAC \xF0\x9F\x98\x80"},
    {"LatinOneByte",
     "25\xB0"
     "C \xB5m",
     "25&#176;C &#181;m"},
    {"Windows1252Byte", "\x80\x85\x99\x9F", "&#8364;&#8230;&#8482;&#376;"},
    {"UnusedIn1252", "\x81\x8D\x8F\x90\x9D", "&#129;&#141;&#143;&#144;&#157;"},
    {"ControlCharacters", std::string("\0\x01\x1F\x7F", 4), "&#9216;&#9217;&#9247;\x7F"},
    {"CutSequence", "a\xE2\x82", "a&#226;&#8218;"},
    {"StrayContinuation", "\xC2\xB0\xB0", "\xC2\xB0&#176;"},
    {"Overlong", "\xC0\xAF\xE0\x80\xAF", "&#192;&#175;&#224;&#8364;&#175;"},
    {"Surrogate", "\xED\xA0\x80", "&#237;&#160;&#8364;"},
    {"NotACharacter", "\xEF\xBF\xBE", "&#239;&#191;&#190;"},
    {"BeyondUnicode", "\xF4\x90\x80\x80", "&#244;&#144;&#8364;&#8364;"},
};

class PacketBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(PacketBytes, WritesUtf8) {
    std::string out;
    XmlPacket::AppendEscaped(GetParam().text, out);
    EXPECT_EQ(out, GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Texts, PacketBytes, ::testing::ValuesIn(kBytesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whether xmllint takes the file as well-formed XML (UTF-8 included).
bool XmllintTakes(const std::string& path) {
    const std::string command = "xmllint --noout '" + path + "' 2>&1";
    return std::system(command.c_str()) == 0;
}

TEST(SaveXmlPacket, EveryByteIsWellFormedAndReadsBack) {
    FilesRig rig;
    int no = 1;
    for (const BytesCase& c : kBytesCases) rig.AddRow(no++, c.text, "x", c.text, "", c.text);
    // Every byte value once, in runs the width of a text.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    for (std::size_t at = 0; at < all.size(); at += ReadingLogStore::kTextWidth)
        rig.AddRow(no++, all.substr(at, ReadingLogStore::kTextWidth), "", "", "", "");
    const std::vector<std::string> saved = rig.Rows();
    const std::string path = rig.folder.Path("bytes.xml");
    ASSERT_TRUE(rig.files.SaveXmlPacket(path));
    EXPECT_TRUE(XmllintTakes(path)) << ReadBytes(path);
    rig.log.Empty();
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    EXPECT_EQ(rig.Rows(), saved);
}

// A packet written before texts that are not UTF-8 became references holds
// them as they are; it reads as it always did.
TEST(LoadXmlPacket, ReadsOlderPacketsAsTheyWere) {
    FilesRig rig;
    const std::string path = rig.folder.Path("old.xml");
    WriteBytes(path,
               "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\"><ROWDATA>"
               "<ROW No=\"1\" time=\"\xC2\xB0\xB5\" Value=\"&#001;\"/></ROWDATA></DATAPACKET>\r\n");
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    EXPECT_EQ(rig.Rows(), std::vector<std::string>{"1|\xC2\xB0\xB5|\x01|||"});
}

// ---- which format a name gets

struct NameCase {
    const char* name;
    LogFileFormat format;
};

class FileNames : public ::testing::TestWithParam<NameCase> {};
TEST_P(FileNames, OnlyDotXmlExactlyIsAPacket) {
    EXPECT_EQ(FormatOf(GetParam().name), GetParam().format) << GetParam().name;
}
INSTANTIATE_TEST_SUITE_P(Names, FileNames,
                         ::testing::Values(NameCase{"/t/a.xml", LogFileFormat::XmlPacket},
                                           NameCase{"/t/a.b.xml", LogFileFormat::XmlPacket},
                                           NameCase{"/t/.xml", LogFileFormat::XmlPacket},
                                           NameCase{"/t/a.XML", LogFileFormat::TextTable},
                                           NameCase{"/t/a.Xml", LogFileFormat::TextTable},
                                           NameCase{"/t/a.xml.xls", LogFileFormat::TextTable},
                                           NameCase{"/t/a.xmlx", LogFileFormat::TextTable},
                                           NameCase{"/t.xml/a", LogFileFormat::TextTable},
                                           NameCase{"/t/a", LogFileFormat::TextTable}));

// ---- opening files

struct LoadCase {
    const char* name;
    const char* file;  // in the folder; "" for a name that does not exist
    std::string bytes;
    std::vector<std::string> rows;  // the log afterwards (it holds "1|12:00:00|old|u||" first)
    bool ok;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadTableFile : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTableFile, KeepsTheRowsReadBeforeAFailure) {
    const LoadCase& c = GetParam();
    FilesRig rig;
    rig.Read("old", "u");  // a logged row, with its counters and chart point
    const std::string path = rig.folder.Path(c.file);
    if (*c.file && c.bytes != "<folder>") WriteBytes(path, c.bytes);
    if (c.bytes == "<folder>") QDir().mkdir(QString::fromStdString(path));
    EXPECT_EQ(rig.files.LoadTableFile(*c.file ? path : rig.folder.Path("missing.xls"), false), c.ok);
    EXPECT_EQ(rig.Rows(), c.rows);
    EXPECT_EQ(rig.Messages(),
              c.ok ? std::vector<std::string>{} : std::vector<std::string>{"Error: Failed to Load File!"});
    // Loading leaves the counters and the chart alone.
    EXPECT_EQ(rig.log.NextRecordNo(), 2);
    EXPECT_EQ(rig.log.RecordCount(), 1);
    EXPECT_EQ(rig.chart.values.size(), 1u);
    EXPECT_TRUE(rig.chart.calls.empty());
}

const std::string Old = "1|12:00:00|old|u||";
const std::string Decl = "<?xml version=\"1.0\" standalone=\"yes\"?>";

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTableFile,
    ::testing::Values(
        LoadCase{"TextAppends",
                 "a.xls",
                 H + "5\t10:00:00\t1\tm|s\tNULL\tNULL\r\n",
                 {Old, "5|10:00:00|1|m|s|NULL|NULL"},
                 true},
        LoadCase{"HeaderOnlyAppendsNothing", "a.txt", H, {Old}, true},
        LoadCase{"CapitalXmlIsReadAsText", "a.XML", H + "5\r\n", {Old, "5|||||"}, true},
        LoadCase{"TextsCutToTwentyCharacters",
                 "a.xls",
                 H + "5\t" + std::string(25, 't') + "\r\n",
                 {Old, "5|" + std::string(20, 't') + "||||"},
                 true},
        LoadCase{
            "PacketReplaces",
            "a.xml",
            Decl + "<DATAPACKET Version=\"2.0\"><ROWDATA><ROW No=\"7\" Value=\"v\"/></ROWDATA></DATAPACKET>",
            {"7||v|||"},
            true},
        LoadCase{"EmptyPacketEmptiesTheLog", "a.xml", Decl + "<DATAPACKET/>", {}, true},
        LoadCase{"MissingFile", "", "", {Old}, false},
        LoadCase{"AFolder", "dir.xls", "<folder>", {Old}, false},
        LoadCase{"ZeroBytes", "a.xls", "", {Old}, false},
        LoadCase{"SevenTokensAfterGoodLines",
                 "a.xls",
                 H + "5\r\n6\r\n1 2 3 4 5 6 7\r\n8\r\n",
                 {Old, "5|||||", "6|||||"},
                 false},
        LoadCase{"NumberNotAnInteger", "a.xls", H + "5\r\nfive\r\n", {Old, "5|||||"}, false},
        LoadCase{"BrokenPacketLeavesTheLog",
                 "a.xml",
                 Decl + "<DATAPACKET><ROWDATA><ROW No=\"7\"/><ROW No=\"x\"/></ROWDATA></DATAPACKET>",
                 {Old},
                 false},
        LoadCase{"PacketWithADocumentType",
                 "a.xml",
                 Decl + "<!DOCTYPE DATAPACKET [<!ENTITY e SYSTEM \"/etc/hostname\">]><DATAPACKET/>",
                 {Old},
                 false},
        LoadCase{"EmptyPacketFile", "a.xml", "", {Old}, false},
        LoadCase{"TextTableNamedXml", "a.xml", H + "5\r\n", {Old}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadTableFile, OpeningTheSavedTextTableDoublesTheRows) {
    FilesRig rig;
    rig.Read("1.0", "m|s");
    rig.Read("2.0", "m|s");
    const std::string path = rig.folder.Path("log.xls");
    ASSERT_TRUE(rig.files.SaveTableText(path));
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    const auto rows = rig.Rows();
    // Numbers included; an empty text comes back as the "NULL" it was
    // written as.
    EXPECT_EQ(rows,
              (std::vector<std::string>{"1|12:00:00|1.0|m|s||", "2|12:00:00|2.0|m|s||",
                                        "1|12:00:00|1.0|m|s|NULL|NULL", "2|12:00:00|2.0|m|s|NULL|NULL"}));
    // The next reading goes on with the number it would have had.
    rig.Read("3.0", "m|s");
    EXPECT_EQ(rig.log.Text(4, ReadingLog::Field::No), "3");
}

TEST(LoadTableFile, EmptyFirstEmptiesTheLogBeforeReading) {
    FilesRig rig;
    rig.Read("1.0", "m|s");
    const std::string path = rig.folder.Path("a.xls");
    WriteBytes(path, H + "9\r\n");
    ASSERT_TRUE(rig.files.LoadTableFile(path, true));
    EXPECT_EQ(rig.Rows(), std::vector<std::string>{"9|||||"});
}

// ---- the save never damages the file it replaces

// Lets this process write files of at most `bytes` bytes while it lives;
// a longer write fails instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_signal_);
    }

private:
    rlimit old_{};
    void (*old_signal_)(int);
};

class FailingSave : public ::testing::TestWithParam<const char*> {};

TEST_P(FailingSave, LeavesTheOldFileWholeAndSaysSo) {
    FilesRig rig;
    for (int i = 0; i < 20000; ++i) rig.AddRow(i, "10:00:00", "1.23", "m|s", "", "");
    const std::string path = rig.folder.Path(std::string("log") + GetParam());
    const std::string old = H + "1\tkeep me\r\n";
    WriteBytes(path, old);
    bool saved;
    {
        const FileSizeLimit limit(64 * 1024);  // the new file fails part way
        switch (SaveFormatOf(path)) {
            case LogFileFormat::XmlPacket: saved = rig.files.SaveXmlPacket(path); break;
            case LogFileFormat::Workbook: saved = rig.files.SaveWorkbook(path); break;
            case LogFileFormat::Csv: saved = rig.files.SaveCsv(path); break;
            default: saved = rig.files.SaveTableText(path);
        }
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(rig.folder.Names().size(), 1) << rig.folder.Names().join(",").toStdString();
    EXPECT_EQ(rig.Messages(),
              std::vector<std::string>{"Error: Could not save table to specified file: " + path});
}
INSTANTIATE_TEST_SUITE_P(Formats, FailingSave, ::testing::Values(".xls", ".xml", ".xlsx", ".csv"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(SaveTableText, IntoAFolderThatIsNotThereSaysItCouldNot) {
    FilesRig rig;
    const std::string path = rig.folder.Path("missing/log.xls");
    EXPECT_FALSE(rig.files.SaveTableText(path));
    EXPECT_EQ(rig.Messages(),
              std::vector<std::string>{"Error: Could not save table to specified file: " + path});
}

// ---- a packet over rows not yet saved

TEST(LoadPacket, WritesTheRowsNoSaveHadWrittenBeforeTheyAreReplaced) {
    struct Case {
        const char* name;
        std::function<void(FilesRig&)> before;  // what the log went through
        std::vector<std::string> writtenOut;    // Value texts of the rows written out
    };
    const auto log = [](std::vector<std::string> values) {
        return [values](FilesRig& rig) {
            for (const auto& v : values) rig.Read(v, "m|s");
        };
    };
    const auto save = [](const char* name) {
        return [name](FilesRig& rig) { ASSERT_TRUE(rig.files.SaveTableText(rig.folder.Path(name))); };
    };
    const auto loadText = [](FilesRig& rig) {
        const std::string path = rig.folder.Path("other.txt");
        WriteBytes(path, H + "7\t10:00:00\tloaded\tm|s\r\n");
        ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    };
    const auto steps = [](std::vector<std::function<void(FilesRig&)>> list) {
        return [list](FilesRig& rig) {
            for (const auto& step : list) step(rig);
        };
    };
    const Case cases[] = {
        {"empty log", [](FilesRig&) {}, {}},
        {"logged, never saved", log({"1.1", "1.2", "1.3"}), {"1.1", "1.2", "1.3"}},
        {"logged, then saved", steps({log({"1.1", "1.2"}), save("a.xls")}), {}},
        {"saved, then more logged", steps({log({"1.1", "1.2"}), save("a.txt"), log({"2.1"})}), {"2.1"}},
        {"only rows read from a file", loadText, {}},
        {"logged around a file's rows", steps({log({"1.1"}), loadText, log({"2.1"})}), {"1.1", "2.1"}},
        {"logged, then the log started anew",
         steps({log({"1.1"}), [](FilesRig& rig) { rig.log.Empty(); }}),
         {}},
    };
    FilesRig source;
    source.AddRow(1, "09:00:00", "packet", "m|s", "", "");
    const std::string packet = source.folder.Path("in.xml");
    ASSERT_TRUE(source.files.SaveXmlPacket(packet));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FilesRig rig;
        const std::string recovered = rig.folder.Path("recovered");
        rig.files.recoveredFolder = recovered;
        c.before(rig);
        rig.prompts.shown.clear();
        ASSERT_TRUE(rig.files.LoadTableFile(packet, false));
        ASSERT_EQ(rig.log.RowCount(), 1);
        EXPECT_EQ(rig.log.Text(0, ReadingLog::Field::Value), "packet");

        std::vector<std::string> files;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(recovered, ec))
            files.push_back(e.path().string());
        if (c.writtenOut.empty()) {
            EXPECT_TRUE(files.empty());
            EXPECT_TRUE(rig.Messages().empty());
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(
            rig.Messages(),
            std::vector<std::string>{"Information: " + LogFiles::UnsavedWrittenOutMessage(
                                                           static_cast<int>(c.writtenOut.size()), files[0])});
        CollectingSink sink;
        ASSERT_TRUE(LoadLogFile(files[0], LogFileFormat::TextTable, sink));
        std::vector<std::string> values;
        for (const auto& row : sink.rows) {
            // "No|time|Value|...": the third field.
            const std::size_t start = row.find('|', row.find('|') + 1) + 1;
            values.push_back(row.substr(start, row.find('|', start) - start));
        }
        EXPECT_EQ(values, c.writtenOut);
    }
}

TEST(LoadPacket, OpensNothingWhenTheUnsavedRowsCannotBeWritten) {
    FilesRig source;
    source.AddRow(1, "09:00:00", "packet", "m|s", "", "");
    const std::string packet = source.folder.Path("in.xml");
    ASSERT_TRUE(source.files.SaveXmlPacket(packet));

    FilesRig rig;
    // A file where the folder should be: nothing can be written there.
    const std::string recovered = rig.folder.Path("recovered");
    WriteBytes(recovered, "not a folder");
    rig.files.recoveredFolder = recovered;
    rig.Read("1.1", "m|s");
    EXPECT_FALSE(rig.files.LoadTableFile(packet, false));
    ASSERT_EQ(rig.log.RowCount(), 1);
    EXPECT_EQ(rig.log.Text(0, ReadingLog::Field::Value), "1.1");
    ASSERT_EQ(rig.Messages().size(), 1u);
    EXPECT_EQ(
        rig.Messages()[0].rfind("Error: The rows logged since the last save could not be written out", 0), 0u)
        << rig.Messages()[0];
}

// ---- a folder the user may not write

// Runs `check` in a child process as an ordinary user and gives its exit
// code: root writes past any permission bits, so the tests, which run as
// root, drop to "nobody" for it.
int AsOrdinaryUser(const std::function<int()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        _exit(check());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(SaveOverAFile, WritesInPlaceOnlyWhereTheFolderTakesNoNewFile) {
    struct Case {
        const char* name;
        const char* file;
        bool folderWritable;
        bool fileThere;
        bool fileWritable;
        bool saved;
        bool sameInode;  // written in place rather than put in place by a rename
    };
    const Case cases[] = {
        {"read-only folder, writable file", "log.xls", false, true, true, true, true},
        {"read-only folder, writable packet", "log.xml", false, true, true, true, true},
        {"read-only folder, no file yet", "log.xls", false, false, true, false, false},
        {"read-only folder, read-only file", "log.xls", false, true, false, false, true},
        {"writable folder, writable file", "log.xls", true, true, true, true, false},
        {"writable folder, read-only file", "log.xml", true, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FilesRig rig;
        for (int i = 1; i <= 3; ++i) rig.AddRow(i, "10:00:00", "1.23", "m|s", "", "");
        // The user "nobody" must reach the folder.
        ASSERT_EQ(chmod(rig.folder.dir.path().toStdString().c_str(), 0755), 0);
        const std::string folder = rig.folder.Path("data");
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        const std::string path = folder + "/" + c.file;
        // Longer than what replaces it: a file written in place must not
        // keep a tail of its old self.
        const std::string old = H + std::string(5000, 'x') + "\r\n";
        if (c.fileThere) {
            WriteBytes(path, old);
            ASSERT_EQ(chmod(path.c_str(), c.fileWritable ? 0666 : 0444), 0);
        }
        ASSERT_EQ(chmod(folder.c_str(), c.folderWritable ? 0777 : 0555), 0);
        const ino_t before = InodeOf(path);

        const int result = AsOrdinaryUser([&] {
            const bool saved = FormatOf(path) == LogFileFormat::XmlPacket ? rig.files.SaveXmlPacket(path)
                                                                          : rig.files.SaveTableText(path);
            const auto messages = rig.Messages();
            const std::string expected = saved ? "Information: " + LogFiles::SavedMessage(path)
                                               : "Error: " + LogFiles::NotSavedMessage(path);
            return messages == std::vector<std::string>{expected} ? (saved ? 0 : 1) : 2;
        });
        chmod(folder.c_str(), 0755);
        ASSERT_NE(result, 99) << "cannot become an ordinary user";
        EXPECT_EQ(result, c.saved ? 0 : 1);

        if (c.saved) {
            CollectingSink sink;
            ASSERT_TRUE(LoadLogFile(path, FormatOf(path), sink));
            EXPECT_EQ(sink.rows.size(), 3u);
            EXPECT_EQ(InodeOf(path) == before, c.sameInode);
        } else {
            EXPECT_EQ(ReadBytes(path), c.fileThere ? old : std::string());
        }
        // Nothing else is left in the folder.
        const QStringList names = QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(names.size(), c.fileThere || c.saved ? 1 : 0) << names.join(",").toStdString();
    }
}

// ---- long work in slices, with the meter still logging

LogFiles::Slicing EverySlice() {
    LogFiles::Slicing s;
    s.rows = 1000;
    s.bytes = 4096;
    s.sliceMs = 0;
    s.progressAfterMs = 0;
    return s;
}

TEST(LongSave, WritesTheRowsPresentWhenItBeganAndKeepsTheRowsLoggedMeanwhile) {
    FilesRig rig;
    rig.log.limitessClick();
    for (int i = 0; i < 10000; ++i) rig.Read(std::to_string(i), "m|s");
    rig.files.SetSlicing(EverySlice());
    int pumps = 0;
    rig.files.pump = [&] {
        ++pumps;
        rig.Read("new", "m|s");  // a reading arrives while the file is written
    };
    const std::string path = rig.folder.Path("log.xls");
    ASSERT_TRUE(rig.files.SaveTableText(path));
    EXPECT_GE(pumps, 9);
    EXPECT_EQ(rig.log.RowCount(), 10000 + pumps);
    EXPECT_EQ(rig.prompts.progressTexts, std::vector<std::string>{"Saving " + path});
    EXPECT_FALSE(rig.prompts.progressValues.empty());

    FilesRig reread;
    ASSERT_TRUE(reread.files.LoadTableFile(path, false));
    ASSERT_EQ(reread.log.RowCount(), 10000);
    EXPECT_EQ(reread.log.Text(9999, ReadingLog::Field::Value), "9999");
}

TEST(LongSave, GivesUpWhenTheLogIsEmptiedBeneathIt) {
    FilesRig rig;
    for (int i = 0; i < 5000; ++i) rig.AddRow(i, "t", "v", "u", "", "");
    const std::string path = rig.folder.Path("log.xml");
    WriteBytes(path, "old");
    rig.files.SetSlicing(EverySlice());
    rig.files.pump = [&] { rig.log.Empty(); };
    EXPECT_FALSE(rig.files.SaveXmlPacket(path));
    EXPECT_EQ(ReadBytes(path), "old");
}

TEST(LongLoad, PacketRowsComeFirstThenTheReadingsLoggedWhileReading) {
    FilesRig source;
    for (int i = 0; i < 3000; ++i) source.AddRow(i, "10:00:00", std::to_string(i), "m|s", "", "");
    const std::string path = source.folder.Path("log.xml");
    ASSERT_TRUE(source.files.SaveXmlPacket(path));

    FilesRig rig;
    rig.Read("before", "u");
    rig.files.SetSlicing(EverySlice());
    int pumps = 0;
    rig.files.pump = [&] {
        ++pumps;
        rig.Read("during" + std::to_string(pumps), "u");
    };
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    ASSERT_GT(pumps, 1);
    ASSERT_EQ(rig.log.RowCount(), 3000 + pumps);
    EXPECT_EQ(rig.log.Text(2999, ReadingLog::Field::Value), "2999");
    EXPECT_EQ(rig.log.Text(3000, ReadingLog::Field::Value), "during1");
    EXPECT_EQ(rig.log.Text(3000 + pumps - 1, ReadingLog::Field::Value), "during" + std::to_string(pumps));
}

TEST(LongLoad, KeepsTheFileRowsTogetherAndLogsTheReadingsAfterThem) {
    struct Case {
        const char* file;
        bool keepsRowsBefore;  // a text table appends; a packet replaces
    };
    const Case cases[] = {{"log.txt", true}, {"log.xls", true}, {"log.xml", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        FilesRig source;
        for (int i = 0; i < 2000; ++i) source.AddRow(500 + i, "10:00:00", "file", "m|s", "", "");
        const std::string path = source.folder.Path(c.file);
        ASSERT_TRUE(FormatOf(path) == LogFileFormat::XmlPacket ? source.files.SaveXmlPacket(path)
                                                               : source.files.SaveTableText(path));

        FilesRig rig;
        rig.log.limitessClick();
        rig.Read("before", "u", "", "", 1);
        rig.files.SetSlicing(EverySlice());
        int pumps = 0;
        rig.files.pump = [&] {
            ++pumps;
            rig.Read("during" + std::to_string(pumps), "u", "", "", 1 + pumps);
        };
        ASSERT_TRUE(rig.files.LoadTableFile(path, false));
        ASSERT_GT(pumps, 1);

        const int first = c.keepsRowsBefore ? 1 : 0;
        ASSERT_EQ(rig.log.RowCount(), first + 2000 + pumps);
        if (c.keepsRowsBefore) {
            EXPECT_EQ(rig.log.Text(0, ReadingLog::Field::Value), "before");
        }
        for (int r = first; r < first + 2000; ++r) {
            ASSERT_EQ(rig.log.Text(r, ReadingLog::Field::Value), "file") << "row " << r;
            ASSERT_EQ(rig.log.RecordNo(r), 500 + r - first);
        }
        for (int p = 1; p <= pumps; ++p) {
            const int r = first + 2000 + p - 1;
            EXPECT_EQ(rig.log.Text(r, ReadingLog::Field::Value), "during" + std::to_string(p));
            EXPECT_EQ(rig.log.RecordNo(r), 1 + p);
        }
        // The chart took every reading as it came; the counters count them.
        EXPECT_EQ(rig.chart.values.size(), static_cast<std::size_t>(1 + pumps));
        EXPECT_EQ(rig.log.RecordCount(), 1 + pumps);
        EXPECT_EQ(rig.log.NextRecordNo(), 2 + pumps);
    }
}

TEST(LongLoad, TextRowsAndReadingsArriveInTheirOrder) {
    FilesRig rig;
    const std::string path = rig.folder.Path("log.txt");
    std::string text = H;
    for (int i = 0; i < 2000; ++i) text += std::to_string(i) + "\tt\tv\r\n";
    WriteBytes(path, text);
    rig.files.SetSlicing(EverySlice());
    int pumps = 0;
    rig.files.pump = [&] {
        ++pumps;
        rig.Read("live", "u");
    };
    ASSERT_TRUE(rig.files.LoadTableFile(path, false));
    EXPECT_EQ(rig.log.RowCount(), 2000 + pumps);
    int fileRows = 0;
    for (int r = 0; r < rig.log.RowCount(); ++r)
        if (rig.log.Text(r, ReadingLog::Field::Value) == "v") {
            EXPECT_EQ(rig.log.RecordNo(r), fileRows++);
        }
    EXPECT_EQ(fileRows, 2000);
}

}  // namespace
}  // namespace corvel::test
