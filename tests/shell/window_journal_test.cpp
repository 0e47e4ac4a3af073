// The window keeps its reading log journaled: the normal ends remove the
// journal, and the log of a run that died comes back into grid and chart.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "WindowRig.h"
#include "chart/TrendChart.h"
#include "record/LogJournal.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"

namespace corvel::test {
namespace {

namespace fs = std::filesystem;

int JournalCount(const QTemporaryDir& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir.path().toStdString()))
        n += e.path().extension() == ".journal" ? 1 : 0;
    return n;
}

std::function<void(WindowPlatform&)> InFolder(const QTemporaryDir& dir) {
    return [folder = dir.path().toStdString()](WindowPlatform& p) { p.journalFolder = folder; };
}

TEST(WindowJournal, EveryNormalEndRemovesTheJournal) {
    struct Case {
        const char* how;
        std::deque<UserPrompts::Answer> answers;
        void (*end)(TFCOMM&);
        int journalsLeft;
    };
    const Case cases[] = {
        {"Quit answered No", {UserPrompts::Answer::No}, [](TFCOMM& w) { w.BitBtn1()->click(); }, 1},
        {"Quit answered Yes", {UserPrompts::Answer::Yes}, [](TFCOMM& w) { w.BitBtn1()->click(); }, 0},
        {"Exit", {}, [](TFCOMM& w) { w.BtExit1Click(); }, 0},
        {"close box", {}, [](TFCOMM& w) { w.close(); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        QTemporaryDir dir;
        WindowRig rig(InFolder(dir));
        rig.w->show();
        rig.w->StartJournal();
        rig.oak(FrameBuilder().main("0123").second("0001"));
        ASSERT_EQ(rig.w->Log().RowCount(), 1);
        EXPECT_EQ(JournalCount(dir), 1);
        rig.prompts.answers = c.answers;
        c.end(*rig.w);
        EXPECT_EQ(JournalCount(dir), c.journalsLeft);
        rig.w.reset();
        EXPECT_EQ(JournalCount(dir), c.journalsLeft);
    }
}

TEST(WindowJournal, YesBringsBackGridChartAndCountersAndLoggingGoesOn) {
    QTemporaryDir dir;
    std::vector<std::string> rows;
    int points = 0;
    {
        WindowRig first(InFolder(dir));
        first.w->StartJournal();
        for (int i = 0; i < 150; ++i) {
            first.clock.now = QTime(9, 7, i % 60);
            first.oak(FrameBuilder().main(std::to_string(1000 + i)).second("0001"));
        }
        first.w->Log().limitessClick();
        ASSERT_EQ(first.w->Log().RowCount(), 150);
        for (int r = 0; r < 150; ++r) rows.push_back(first.w->Log().Text(r, ReadingLog::FieldIndex("Value")));
        points = first.w->Chart().Series2().data()->size();
        first.w->Journal()->WriteNow();
    }  // the window goes without a normal end

    WindowRig second(InFolder(dir));
    second.w->show();
    second.prompts.answers = {UserPrompts::Answer::Yes};
    second.w->StartJournal();
    ASSERT_EQ(second.prompts.Questions(), std::vector<std::string>{LogJournal::RestoreQuestion(150)});
    ReadingLog& log = second.w->Log();
    ASSERT_EQ(log.RowCount(), 150);
    for (int r = 0; r < 150; ++r) EXPECT_EQ(log.Text(r, ReadingLog::FieldIndex("Value")), rows[r]);
    EXPECT_EQ(log.Text(0, ReadingLog::FieldIndex("time")), "09:07:00");
    EXPECT_EQ(log.NextRecordNo(), 151);
    EXPECT_EQ(log.RecordCount(), 150);
    EXPECT_TRUE(second.w->LimitAction(static_cast<int>(ReadingLog::LimitEntry::Limitless))->isChecked());
    // The chart holds its points again and shows the last page.
    EXPECT_EQ(second.w->Chart().Series2().data()->size(), points);
    EXPECT_EQ(second.w->Chart().Bt10Caption(), QStringLiteral("2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.w->DBGrid1()->model()->rowCount() == 150; }, 3000));

    second.oak(FrameBuilder().main("7777").second("0001"));
    EXPECT_EQ(log.RowCount(), 151);
    EXPECT_EQ(log.RecordNo(150), 151);
    EXPECT_EQ(JournalCount(dir), 1);
}

// Someone who takes their time over the start-up question: the event loop
// runs while it stays open, as it does under a real message box, and what
// else the window showed meanwhile is noted.
class SlowToAnswer : public ScriptedPrompts {
public:
    explicit SlowToAnswer(int openMs) : openMs_(openMs) {}
    Answer Ask(Kind kind, const std::string& text) override {
        QElapsedTimer open;
        open.start();
        while (open.elapsed() < openMs_) {
            QTest::qWait(50);
            for (QWidget* top : QApplication::topLevelWidgets())
                for (QProgressDialog* box : top->findChildren<QProgressDialog*>())
                    if (box->isVisible()) progressOverQuestion = true;
        }
        return ScriptedPrompts::Ask(kind, text);
    }
    bool progressOverQuestion = false;

private:
    int openMs_;
};

TEST(WindowJournal, NoProgressBoxCoversTheRestoreQuestionHoweverLongItStaysOpen) {
    // Longer than the progress box waits before it shows itself (the
    // toolkit's own fallback included), so that a box left pending would
    // come up over the question and take its clicks and keys.
    constexpr int kQuestionOpenMs = 4600;
    for (const auto answer : {UserPrompts::Answer::Yes, UserPrompts::Answer::No}) {
        SCOPED_TRACE(answer == UserPrompts::Answer::Yes ? "Yes" : "No");
        QTemporaryDir dir;
        {
            WindowRig first(InFolder(dir));
            first.w->StartJournal();
            for (int i = 0; i < 40; ++i)
                first.oak(FrameBuilder().main(std::to_string(1000 + i)).second("0001"));
            first.w->Journal()->WriteNow();
        }  // the window goes without a normal end

        WindowRig second(InFolder(dir));
        second.w->show();
        SlowToAnswer person(kQuestionOpenMs);
        person.answers = {answer};
        second.w->StartJournal(&person);
        ASSERT_EQ(person.Questions(), std::vector<std::string>{LogJournal::RestoreQuestion(40)});
        EXPECT_FALSE(person.progressOverQuestion);
        EXPECT_EQ(second.w->Log().RowCount(), answer == UserPrompts::Answer::Yes ? 40 : 0);
        // Nothing is left behind to come up later either.
        for (QProgressDialog* box : second.w->findChildren<QProgressDialog*>())
            EXPECT_FALSE(box->isVisible());
    }
}

}  // namespace
}  // namespace corvel::test
