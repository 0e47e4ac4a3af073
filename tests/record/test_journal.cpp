// The reading log's journal: what a run logs comes back exactly after the
// run dies, a damaged journal gives its sound batches and nothing else, and
// a journal that cannot be written never stops the logging.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "record/JournalFormat.h"
#include "record/JournalReplay.h"
#include "record/LogJournal.h"
#include "record/TextTable.h"
#include "support/QtAppEnvironment.h"
#include "test_log_support.h"

namespace corvel {
namespace {

namespace fs = std::filesystem;
using test::ScriptedPrompts;

// The chart as a restored log must leave it: the points since the last new
// log, in order.
class PointsChart final : public ReadingLogChart {
public:
    std::vector<double> points;
    int page = 1;
    void AddValue(double value) override { points.push_back(value); }
    int Page() const override { return page; }
    void SetPageCaption(int) override {}
    void ClearView() override { points.clear(); }
    void BtNewClick() override {}
};

// A log with its journal in a folder, as one run of the program has them.
struct LoggingRun {
    Reading reading;
    LcdMirror mirror;
    PointsChart chart;
    ScriptedPrompts prompts;
    test::ScriptedClock clock;
    ReadingLog log{reading, mirror, chart, prompts, clock, ":"};
    std::unique_ptr<LogJournal> journal;

    explicit LoggingRun(const std::string& folder, LogJournal::Timing timing = {}) {
        journal = std::make_unique<LogJournal>(log, prompts, folder);
        journal->SetTiming(timing);
    }
    void Read(const std::string& value, const std::string& unit, const std::string& value2 = "",
              const std::string& unit2 = "", double measured = 0) {
        test::ReadInto(reading, log, value, unit, value2, unit2, measured);
    }
    std::vector<std::string> Rows() const { return test::RowsOf(log); }
    // The run dies: what was handed to the system stays in the file.
    void Die() {
        journal->WriteNow();
        journal.reset();
    }
};

std::vector<std::string> JournalFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().extension() == ".journal") files.push_back(e.path().string());
    return files;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <typename F>
bool WaitFor(F done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// ---- a run that dies comes back exactly

struct ReplayCase {
    const char* name;
    void (*script)(LoggingRun&);
};

const ReplayCase kReplayCases[] = {
    {"rows logged one a second",
     [](LoggingRun& r) {
         for (int i = 0; i < 5; ++i) {
             r.clock.now = QTime(14, 5, 9 + i);
             r.Read("1.2" + std::to_string(i), "m|s", "25.1", "C", 1.2 + i);
         }
     }},
    {"the same second and texts repeated, units changing",
     [](LoggingRun& r) {
         r.Read("1.23", "m|s", "", "", 1.23);
         r.Read("1.23", "m|s", "", "", 1.23);
         r.Read("0L", "km|h", "OL", "%", -0.0);
         r.Read("", "", "", "", std::numeric_limits<double>::quiet_NaN());
         r.Read("1.23", "m|s", "", "", 1.23);
     }},
    {"each text repeating or changing alone, long texts among them",
     [](LoggingRun& r) {
         // From each of the 16 patterns of texts to each: every mix of
         // texts that repeat the row before and texts that change, with
         // texts kept in the row and long ones kept apart.
         const std::string a[4] = {"1.5", "m|s", "25.1", "C"};
         const std::string b[4] = {std::string(15, '7'), "km|h", "", std::string(18, 'F')};
         const auto read = [&](int pattern) {
             std::string t[4];
             for (int i = 0; i < 4; ++i) t[i] = (pattern >> i) & 1 ? b[i] : a[i];
             r.Read(t[0], t[1], t[2], t[3], pattern);
         };
         for (int from = 0; from < 16; ++from) {
             for (int to = 0; to < 16; ++to) {
                 read(from);
                 read(to);
             }
         }
     }},
    {"more rows than wait to be written at once, with a load and a limit among them",
     [](LoggingRun& r) {
         for (int i = 0; i < 5000; ++i) r.Read(std::to_string(i % 100), i % 3 ? "m|s" : "CFM", "", "", i);
         {
             ReadingLog::AppendBatch batch(r.log);
             for (int i = 0; i < 10; ++i) r.log.AppendRow(i + 1, "10:00:01", "4.5", "CFM", "NULL", "NULL");
         }
         r.Read("1", "m|s", "", "", 1);
         r.log.N10001Click();
         for (int i = 0; i < 4200; ++i) r.Read(std::to_string(i % 7), "m|s", "25.1", "C", i);
     }},
    {"record new starts the numbers, the count and the chart again",
     [](LoggingRun& r) {
         r.Read("1", "m|s", "", "", 1);
         r.Read("2", "m|s", "", "", 2);
         r.prompts.answers.push_back(UserPrompts::Answer::Yes);
         r.log.RecordNewClick();
         r.Read("3", "m|s", "", "", 3);
     }},
    {"a text table load appends rows without chart points or counting",
     [](LoggingRun& r) {
         r.Read("1", "m|s", "", "", 1);
         {
             ReadingLog::AppendBatch batch(r.log);
             for (int i = 0; i < 500; ++i) r.log.AppendRow(i + 1, "10:00:01", "4.5", "CFM", "NULL", "NULL");
             r.log.AppendRow(-7, "9:7", "x", "y", "z", "w");
             r.log.AppendRow(INT_MAX, "", "", "", "", "");
         }
         r.Read("2", "m|s", "", "", 2);
     }},
    {"an xml load empties the rows and keeps the counters",
     [](LoggingRun& r) {
         r.Read("1", "m|s", "", "", 1);
         r.Read("2", "m|s", "", "", 2);
         r.log.Empty();
         r.log.AppendRow(40, "11:00:00", "7", "C", "", "");
         r.Read("3", "m|s", "", "", 3);
     }},
    {"a limit entry chosen comes back checked",
     [](LoggingRun& r) {
         r.log.limitessClick();
         r.Read("1", "m|s", "", "", 1);
         r.log.N10001Click();
     }},
    {"long and non-ASCII texts as the log cut them",
     [](LoggingRun& r) {
         r.Read(std::string(30, '9'),
                "\xC2\xB0"
                "C",
                "\xE2\x84\x83\xE2\x84\x83", std::string(25, 'u'), 5);
         r.Read("m\xC3\xA9s", "\xF0\x9F\x98\x80", "", "", 6);
     }},
    {"times across midnight",
     [](LoggingRun& r) {
         r.clock.now = QTime(23, 59, 58);
         r.Read("1", "m|s", "", "", 1);
         r.clock.now = QTime(0, 0, 1);
         r.Read("2", "m|s", "", "", 2);
         r.clock.now = QTime(12, 0, 0);
         r.Read("3", "m|s", "", "", 3);
     }},
    {"repeat off keeps the last key across the restore",
     [](LoggingRun& r) {
         r.log.SetRepeatSetChecked(false);
         r.Read("1.23", "m|s", "", "", 1);
         r.Read("1.24", "m|s", "", "", 2);
     }},
};

class JournalReplayTest : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(JournalReplayTest, TheNextStartRestoresTheLogExactly) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    LoggingRun first(folder);
    first.journal->Start();
    GetParam().script(first);
    first.Die();

    LoggingRun second(folder);
    second.prompts.answers.push_back(UserPrompts::Answer::Yes);
    second.journal->Start();
    ASSERT_EQ(second.prompts.Questions(),
              std::vector<std::string>{LogJournal::RestoreQuestion(first.log.RowCount())});
    EXPECT_EQ(second.Rows(), first.Rows());
    EXPECT_EQ(second.log.NextRecordNo(), first.log.NextRecordNo());
    EXPECT_EQ(second.log.RecordCount(), first.log.RecordCount());
    EXPECT_EQ(second.log.LastRowKey(), first.log.LastRowKey());
    EXPECT_EQ(second.log.CheckedLimitEntry(), first.log.CheckedLimitEntry());
    EXPECT_EQ(second.log.RecordLimit(), first.log.RecordLimit());
    ASSERT_EQ(second.chart.points.size(), first.chart.points.size());
    for (std::size_t i = 0; i < first.chart.points.size(); ++i)
        EXPECT_EQ(std::memcmp(&second.chart.points[i], &first.chart.points[i], sizeof(double)), 0) << i;

    // Logging goes on into the restored journal, and a second death brings
    // back both parts.
    second.Read("9.99", "m|s", "", "", 9.99);
    const auto expected = second.Rows();
    second.Die();
    LoggingRun third(folder);
    third.prompts.answers.push_back(UserPrompts::Answer::Yes);
    third.journal->Start();
    EXPECT_EQ(third.Rows(), expected);
    EXPECT_EQ(JournalFiles(folder).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Scripts, JournalReplayTest, ::testing::ValuesIn(kReplayCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

TEST(Journal, TheChecksumIsTheUsualCrc32) {
    // Journals written by earlier builds stay readable only while this holds.
    EXPECT_EQ(journal::Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(journal::Crc32("", 0), 0u);
    EXPECT_EQ(journal::Crc32("6789", 4, journal::Crc32("12345", 5)), 0xCBF43926u);
}

TEST(Journal, AUsualRowTakesWellUnderFortyEightBytes) {
    journal::Encoder encoder;
    std::string payload;
    const char* values[] = {"12.34", "12.35", "12.31", "0.98", "123.4"};
    for (int i = 0; i < 1000; ++i) {
        journal::Row row;
        row.no = i + 1;
        row.secondOfDay = 36000 + i / 3;
        row.value = values[i % 5];
        row.unit = "m|s";
        row.value2 = i % 7 ? "25.1" : "25.2";
        row.unit2 = "C";
        encoder.Logged(row, 12.34 + i, payload);
    }
    std::string framed;
    journal::AppendBatch(payload, framed);
    EXPECT_LE(framed.size() / 1000.0, 48.0);
}

// ---- a damaged journal gives its sound batches and nothing more

// A journal of `batches` batches of `rows` logged rows each; `ends` gets
// the byte offset where each batch ends.
std::string MakeJournal(int batches, int rows, std::vector<std::size_t>& ends) {
    journal::Encoder encoder;
    std::string bytes = journal::Header();
    int no = 0;
    for (int b = 0; b < batches; ++b) {
        std::string payload;
        for (int r = 0; r < rows; ++r) {
            journal::Row row;
            row.no = ++no;
            row.secondOfDay = no;
            const std::string value = std::to_string(no % 97) + ".5";
            row.value = value;
            row.unit = "m|s";
            encoder.Logged(row, no, payload);
        }
        journal::AppendBatch(payload, bytes);
        ends.push_back(bytes.size());
    }
    return bytes;
}

int RowsRead(const std::string& bytes, JournalReadResult* result = nullptr) {
    RestoredLog out;
    JournalReplay replay(out);
    const JournalReadResult r = ReadJournalBytes(bytes.data(), bytes.size(), replay);
    if (result) *result = r;
    EXPECT_EQ(out.rows.RowCount(), static_cast<int>(out.points.size()));
    for (int i = 0; i < out.rows.RowCount(); ++i) EXPECT_EQ(out.rows.RecordNo(i), i + 1);
    return out.rows.RowCount();
}

TEST(JournalDamage, CutAtEveryLengthGivesTheWholeBatchesBeforeTheCut) {
    std::vector<std::size_t> ends;
    const std::string bytes = MakeJournal(4, 3, ends);
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        int whole = 0;
        for (const std::size_t end : ends) whole += end <= length ? 1 : 0;
        JournalReadResult r;
        EXPECT_EQ(RowsRead(bytes.substr(0, length), &r), whole * 3) << length;
        EXPECT_EQ(r.recognised, length >= journal::kHeaderSize) << length;
        if (r.recognised) {
            EXPECT_EQ(r.goodLength, whole ? ends[static_cast<std::size_t>(whole - 1)] : journal::kHeaderSize);
            EXPECT_EQ(r.damaged, r.goodLength != length) << length;
        }
    }
}

struct DamageCase {
    const char* name;
    // Damages a journal of 4 batches of 3 rows; returns the rows expected.
    int (*damage)(std::string& bytes, const std::vector<std::size_t>& ends);
};

const DamageCase kDamageCases[] = {
    {"zeros over the last batch",
     [](std::string& b, const std::vector<std::size_t>& e) {
         std::fill(b.begin() + static_cast<long>(e[2]), b.end(), '\0');
         return 9;
     }},
    {"zeros appended after the last batch",
     [](std::string& b, const std::vector<std::size_t>&) {
         b.append(4096, '\0');
         return 12;
     }},
    {"a bit flipped in the second batch",
     [](std::string& b, const std::vector<std::size_t>& e) {
         b[e[0] + 12] ^= 0x10;
         return 3;
     }},
    {"random bytes from the middle of the third batch",
     [](std::string& b, const std::vector<std::size_t>& e) {
         std::mt19937 rng(7);
         for (std::size_t i = e[1] + 5; i < b.size(); ++i) b[i] = static_cast<char>(rng());
         return 6;
     }},
    {"a batch length past any batch a writer makes",
     [](std::string& b, const std::vector<std::size_t>& e) {
         b[e[1] + 3] = 0x7F;
         return 6;
     }},
    {"the header of another program",
     [](std::string& b, const std::vector<std::size_t>&) {
         b[0] = 'X';
         return 0;
     }},
    {"the header of a later format version",
     [](std::string& b, const std::vector<std::size_t>&) {
         std::string h = b.substr(0, 8);
         h += std::string("\x02\0\0\0", 4);
         const std::uint32_t crc = journal::Crc32(h.data(), h.size());
         for (int i = 0; i < 4; ++i) h += static_cast<char>((crc >> (8 * i)) & 0xFF);
         b.replace(0, journal::kHeaderSize, h);
         return 0;
     }},
    {"a batch that checks out but does not parse gives nothing of itself",
     [](std::string& b, const std::vector<std::size_t>& e) {
         b.resize(e[1]);
         // A logged row whose measured value is cut short, framed soundly.
         const std::string payload(
             "\x3C\x05"
             "1.234"
             "\x01\x02",
             9);
         journal::AppendBatch(payload, b);
         return 6;
     }},
    {"an event of a kind no writer makes",
     [](std::string& b, const std::vector<std::size_t>& e) {
         b.resize(e[0]);
         journal::AppendBatch(std::string("\x7E", 1), b);
         return 3;
     }},
};

class JournalDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(JournalDamageTest, OnlyTheSoundBatchesBeforeTheDamageComeBack) {
    std::vector<std::size_t> ends;
    std::string bytes = MakeJournal(4, 3, ends);
    const int expected = GetParam().damage(bytes, ends);
    EXPECT_EQ(RowsRead(bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, JournalDamageTest, ::testing::ValuesIn(kDamageCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

TEST(JournalDamage, RandomFilesNeverGiveRowsOrCrash) {
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        std::string bytes(rng() % 4096, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        // Half of them behind a sound header.
        if (i % 2) bytes.replace(0, std::min(bytes.size(), journal::kHeaderSize), journal::Header());
        EXPECT_EQ(RowsRead(bytes), 0) << i;
    }
    EXPECT_EQ(RowsRead(std::string(1 << 20, '\0')), 0);
}

// ---- the journal while the program runs

TEST(LogJournal, AnIdleRunWritesNothingAndALoggedRowReachesTheFileSoon) {
    QTemporaryDir dir;
    LoggingRun run(dir.path().toStdString(), {50, 100, 100});
    run.journal->Start();
    const std::string path = run.journal->Path();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(run.prompts.shown.empty());
    EXPECT_EQ(fs::file_size(path), journal::kHeaderSize);
    QCoreApplication::processEvents();
    EXPECT_EQ(fs::file_size(path), journal::kHeaderSize);

    run.Read("1.23", "m|s", "", "", 1.23);
    EXPECT_TRUE(WaitFor([&] { return fs::file_size(path) > journal::kHeaderSize; }));
    RestoredLog back;
    ASSERT_TRUE(ReadJournalInto(path, back));
    EXPECT_EQ(back.rows.RowCount(), 1);
}

TEST(LogJournal, ANormalEndRemovesTheJournalAndAnyOtherEndKeepsIt) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    {
        LoggingRun run(folder);
        run.journal->Start();
        run.Read("1", "m|s");
        run.journal->Finish();
        run.Read("2", "m|s");  // after the end, nothing is written
        EXPECT_TRUE(JournalFiles(folder).empty());
    }
    {
        LoggingRun run(folder);
        run.journal->Start();
        run.Read("1", "m|s");
    }  // destroyed without Finish: written and kept
    ASSERT_EQ(JournalFiles(folder).size(), 1u);
    RestoredLog back;
    ASSERT_TRUE(ReadJournalInto(JournalFiles(folder)[0], back));
    EXPECT_EQ(back.rows.RowCount(), 1);
}

TEST(LogJournal, NoWritesTheRowsAsATextTableBesideAndRemovesTheJournal) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    LoggingRun first(folder);
    first.journal->Start();
    first.Read("1.23", "m|s", "", "", 1);
    first.Read("4.56", "CFM", "20.0", "C", 2);
    first.Die();

    LoggingRun second(folder);
    second.journal->Start();  // the scripted answer is No
    EXPECT_EQ(second.log.RowCount(), 0);
    const auto messages = second.prompts.Messages();
    ASSERT_EQ(messages.size(), 1u);
    std::string table;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".xls") table = e.path().string();
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(messages[0], LogJournal::WrittenOutMessage(table));
    std::ostringstream expected;
    TextTable::Write(first.log.Rows(), expected);
    EXPECT_EQ(ReadFile(table), expected.str());
    // Only the new run's own journal is left.
    EXPECT_EQ(JournalFiles(folder), std::vector<std::string>{second.journal->Path()});
}

// Records the start-up's dialogs in one list with the progress it showed.
class DialogOrder final : public ScriptedPrompts {
public:
    std::vector<std::string> events;
    Answer Ask(Kind kind, const std::string& text) override {
        events.push_back("question");
        return ScriptedPrompts::Ask(kind, text);
    }
    void Message(Kind kind, const std::string& text) override {
        events.push_back("message");
        ScriptedPrompts::Message(kind, text);
    }
};

TEST(LogJournal, NoProgressStaysOpenAcrossTheQuestionOrTheMessageAfterIt) {
    struct Case {
        UserPrompts::Answer answer;
        std::vector<std::string> events;  // "shown" marks a value after a close
    };
    const Case cases[] = {
        {UserPrompts::Answer::Yes, {"reading", "closed", "question", "restoring", "done"}},
        {UserPrompts::Answer::No,
         {"reading", "closed", "question", "restoring", "done", "closed", "message"}},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        LoggingRun first(folder);
        first.journal->Start();
        for (int i = 0; i < 50; ++i) first.Read(std::to_string(i), "m|s");
        first.Die();

        LoggingRun second(folder);
        DialogOrder asker;
        asker.answers = {c.answer};
        second.journal->Start(
            asker,
            [&](int percent) {
                const char* phase = percent < 90 ? "reading" : percent < 100 ? "restoring" : "done";
                // One entry for a run of values of the same phase.
                if (asker.events.empty() || asker.events.back() != phase) asker.events.push_back(phase);
            },
            [&] { asker.events.push_back("closed"); });
        // The reading may report 90 itself when it ends: that is still the
        // reading, before the question.
        std::vector<std::string> events;
        bool asked = false;
        for (const auto& e : asker.events) {
            asked = asked || e == "question";
            events.push_back(!asked && e == "restoring" ? "reading" : e);
        }
        events.erase(std::unique(events.begin(), events.end()), events.end());
        EXPECT_EQ(events, c.events);
    }
}

TEST(LogJournal, ReadingsHeldWhileAFileLoadsComeBackAfterTheFileRows) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    LoggingRun first(folder);
    first.journal->Start();
    first.Read("before", "m|s", "", "", 1);
    {
        const ReadingLog::LoggedRowsHeld held(first.log);
        first.log.AppendRow(500, "10:00:00", "file", "m|s", "NULL", "NULL");
        first.Read("during", "m|s", "", "", 2);
        first.log.AppendRow(501, "10:00:01", "file", "m|s", "NULL", "NULL");
    }
    first.Read("after", "m|s", "", "", 3);
    const std::vector<std::string> rows = first.Rows();
    ASSERT_EQ(rows.size(), 5u);
    const char* order[] = {"|before|", "|file|", "|file|", "|during|", "|after|"};
    for (int r = 0; r < 5; ++r) EXPECT_NE(rows[r].find(order[r]), std::string::npos) << rows[r];
    first.Die();

    LoggingRun second(folder);
    second.prompts.answers = {UserPrompts::Answer::Yes};
    second.journal->Start();
    EXPECT_EQ(second.Rows(), rows);
    EXPECT_EQ(second.chart.points, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(second.log.NextRecordNo(), 4);
}

TEST(LogJournal, AJournalWithoutRowsGoesWithoutAQuestion) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    LoggingRun first(folder);
    first.journal->Start();
    first.Read("1", "m|s");
    first.prompts.answers.push_back(UserPrompts::Answer::Yes);
    first.log.RecordNewClick();
    first.Die();
    LoggingRun second(folder);
    second.journal->Start();
    EXPECT_TRUE(second.prompts.Questions() == std::vector<std::string>{});
    EXPECT_EQ(JournalFiles(folder).size(), 1u);
}

TEST(LogJournal, AJournalOfAnotherVersionIsLeftAlone) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string other = folder + "/run-1-1.journal";
    WriteFile(other, std::string("CRVLJRNL\x09\0\0\0\0\0\0\0", 16));
    LoggingRun run(folder);
    run.journal->Start();
    EXPECT_TRUE(run.prompts.shown.empty());
    EXPECT_TRUE(fs::exists(other));
}

TEST(LogJournal, TwoRunningProgramsKeepTheirOwnJournals) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    LoggingRun a(folder);
    a.journal->Start();
    a.Read("1", "m|s");
    a.journal->WriteNow();
    LoggingRun b(folder);
    b.journal->Start();
    b.Read("2", "m|s");
    b.journal->WriteNow();
    // Neither is offered to the other: both are alive.
    EXPECT_TRUE(b.prompts.shown.empty());
    EXPECT_NE(a.journal->Path(), b.journal->Path());
    EXPECT_EQ(JournalFiles(folder).size(), 2u);
    LoggingRun c(folder);
    c.journal->Start();
    EXPECT_TRUE(c.prompts.shown.empty());
    // One of them ends normally; the other's journal stays.
    a.journal->Finish();
    EXPECT_EQ(JournalFiles(folder).size(), 2u);  // b's and c's
}

TEST(LogJournal, JournalsMadeInTheSameMillisecondNeverReplaceEachOther) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::unique_ptr<LoggingRun>> runs;
    for (int i = 0; i < 20; ++i) {
        runs.push_back(std::make_unique<LoggingRun>(folder));
        runs.back()->journal->Start();
    }
    EXPECT_EQ(JournalFiles(folder).size(), 20u);
}

TEST(LogJournal, AnUnwritableFolderWarnsOnceAndTheRowsAreWrittenWhenItCanBe) {
    QTemporaryDir dir;
    // A file where the folder should be: no one, root included, can make it.
    const std::string folder = dir.path().toStdString() + "/data";
    WriteFile(folder, "in the way");
    LoggingRun run(folder, {10, 10, 30});
    run.journal->Start();
    for (int i = 0; i < 50; ++i) {
        run.Read(std::to_string(i), "m|s");
        QCoreApplication::processEvents();
    }
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(run.log.RowCount(), 50);
    ASSERT_EQ(run.prompts.Messages().size(), 1u);
    EXPECT_THAT(run.prompts.Messages()[0], ::testing::HasSubstr("not protected"));
    EXPECT_FALSE(run.journal->Protected());

    fs::remove(folder);
    ASSERT_TRUE(WaitFor([&] { return run.journal->Protected(); }));
    run.Read("last", "m|s");
    run.journal->WriteNow();
    RestoredLog back;
    ASSERT_TRUE(ReadJournalInto(run.journal->Path(), back));
    EXPECT_EQ(back.rows.RowCount(), 51);
    EXPECT_EQ(run.prompts.Messages().size(), 1u);
}

TEST(LogJournal, AFullDiskWarnsOnceLosesNothingAndCatchesUp) {
    QTemporaryDir dir;
    LoggingRun run(dir.path().toStdString(), {10, 10, 30});
    run.journal->Start();
    run.Read("first", "m|s");
    run.journal->WriteNow();
    const auto full = fs::file_size(run.journal->Path());

    // The file may not grow: writes fail as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = full + 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    for (int i = 0; i < 200; ++i) {
        run.Read(std::to_string(i) + ".5", "m|s", "", "", i);
        QCoreApplication::processEvents();
    }
    WaitFor([] { return false; }, 100);
    const auto messages = run.prompts.Messages();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(run.log.RowCount(), 201);
    // Nothing torn was left in the file.
    RestoredLog partial;
    JournalReadResult r;
    ASSERT_TRUE(ReadJournalInto(run.journal->Path(), partial, nullptr, &r));
    EXPECT_FALSE(r.damaged);

    ASSERT_TRUE(WaitFor([&] { return run.journal->Protected(); }));
    RestoredLog back;
    ASSERT_TRUE(ReadJournalInto(run.journal->Path(), back));
    EXPECT_EQ(back.rows.RowCount(), 201);
    EXPECT_EQ(back.points.size(), 201u);
}

}  // namespace
}  // namespace corvel
