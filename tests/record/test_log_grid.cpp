// The grid DBGrid1 and the model it reads the log through.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include "record/LogTableGrid.h"
#include "record/TiledPaintStyle.h"
#include "record/test_log_support.h"
#include "support/QtAppEnvironment.h"

namespace corvel::test {
namespace {

struct GridRig : LogRig {
    LogTableModel model{log};
    LogGrid grid{model};

    GridRig() {
        grid.resize(420, 300);
        grid.show();
        QApplication::processEvents();
    }
    void Rows(int count) {
        for (int i = 0; i < count; ++i) Read(std::to_string(i), "m|s");
        QApplication::processEvents();
    }
};

struct ColumnCase {
    int column;
    const char* title;
    int width;
    Qt::Alignment alignment;
    const char* fontFamily;  // empty: the grid's font
};

class GridColumns : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(GridColumns, HaveTheirTitleWidthAlignmentAndFont) {
    const ColumnCase& c = GetParam();
    GridRig rig;
    rig.Read("1.23", "m|s", "25.1", "C");
    const QModelIndex cell = rig.model.index(0, c.column);
    EXPECT_EQ(rig.model.headerData(c.column, Qt::Horizontal).toString(), c.title);
    EXPECT_EQ(rig.grid.columnWidth(c.column), c.width);
    EXPECT_EQ(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              c.alignment);
    const QVariant font = cell.data(Qt::FontRole);
    if (*c.fontFamily) {
        ASSERT_TRUE(font.isValid());
        EXPECT_EQ(font.value<QFont>().family(), c.fontFamily);
        EXPECT_EQ(font.value<QFont>().pixelSize(), 12);
    } else {
        EXPECT_FALSE(font.isValid());
    }
    EXPECT_FALSE(rig.model.flags(cell) & Qt::ItemIsEditable);
}

INSTANTIATE_TEST_SUITE_P(Layout, GridColumns,
                         ::testing::Values(ColumnCase{0, "No", 45, Qt::AlignLeft, ""},
                                           ColumnCase{1, "time", 75, Qt::AlignHCenter, ""},
                                           ColumnCase{2, "Value", 74, Qt::AlignRight, ""},
                                           ColumnCase{3, "Unit", 51, Qt::AlignRight, "KORA-A2"},
                                           ColumnCase{4, "Value2", 69, Qt::AlignLeft, ""},
                                           ColumnCase{5, "Unit2", 64, Qt::AlignLeft, "Corvel7SegFont"}));

TEST(LogGrid, IsAReadOnlySilverGridInArial) {
    GridRig rig;
    EXPECT_EQ(rig.grid.objectName(), "DBGrid1");
    EXPECT_EQ(rig.grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(rig.grid.palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_EQ(rig.grid.font().family(), "Arial");
    EXPECT_EQ(rig.grid.font().pixelSize(), 12);
    EXPECT_EQ(rig.grid.horizontalHeader()->font().family(), "MS Sans Serif");
    EXPECT_EQ(rig.grid.horizontalHeader()->font().pixelSize(), 11);
    EXPECT_TRUE(rig.grid.tabKeyNavigation());
    EXPECT_TRUE(rig.grid.verticalHeader()->isVisible()) << "the row indicator";
}

TEST(LogGrid, ShowsWhatTheLogHoldsAndFollowsTheNewestRow) {
    GridRig rig;
    rig.clock.now = QTime(9, 7, 3);
    rig.Rows(30);
    EXPECT_EQ(rig.model.rowCount(), 30);
    EXPECT_EQ(rig.model.index(29, 0).data().toString(), "30");
    EXPECT_EQ(rig.model.index(29, 1).data().toString(), "09:07:03");
    EXPECT_EQ(rig.model.index(29, 2).data().toString(), "29");
    EXPECT_EQ(rig.grid.currentIndex().row(), 29);
    const QRect newest = rig.grid.visualRect(rig.model.index(29, 0));
    EXPECT_TRUE(rig.grid.viewport()->rect().contains(newest)) << "the newest row is in view";
}

// The newest row is shown whole after every append, also after the burst
// that first brings the scroll bars (at the grid's layout size the vertical
// bar leaves too little width for the columns, so the horizontal bar comes
// with it).
TEST(LogGrid, TheNewestRowIsWhollyInViewAfterEveryBurst) {
    const struct {
        const char* name;
        std::vector<int> bursts;
    } cases[] = {
        {"OneBurstBringsBothBars", {30}},
        {"BarsComeWithTheTwelfthRow", {11, 1, 1}},
        {"RowByRow", std::vector<int>(25, 1)},
        {"SmallThenLarge", {3, 8, 40, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogRig rig;
        LogTableModel model{rig.log};
        LogGrid grid{model};
        grid.resize(398, 220);
        grid.show();
        QApplication::processEvents();
        int total = 0;
        for (int burst : c.bursts) {
            for (int i = 0; i < burst; ++i) rig.Read(std::to_string(total + i), "m|s");
            total += burst;
            // Everything the event loop has to do about it, the scroll bars
            // included.
            for (int turn = 0; turn < 5; ++turn) QApplication::processEvents();
            const QModelIndex newest = model.index(total - 1, 0);
            const QRect row = grid.visualRect(newest);
            EXPECT_TRUE(grid.viewport()->rect().contains(row))
                << "row " << total << " at " << row.y() << ".." << row.bottom() << " in a viewport of "
                << grid.viewport()->height();
        }
        EXPECT_TRUE(grid.horizontalScrollBar()->isVisible() || total < 11);
    }
}

TEST(LogGrid, EmptiesWithTheLog) {
    GridRig rig;
    rig.Rows(5);
    rig.prompts.answers.push_back(UserPrompts::Answer::Yes);
    rig.log.RecordNewClick();
    QApplication::processEvents();
    EXPECT_EQ(rig.model.rowCount(), 0);
    rig.Rows(1);
    EXPECT_EQ(rig.model.index(0, 0).data().toString(), "1");
    EXPECT_EQ(rig.grid.currentIndex().row(), 0);
}

TEST(LogGrid, ABatchOfLoadedRowsArrivesAsOneInsertion) {
    GridRig rig;
    rig.Rows(2);
    std::vector<std::pair<int, int>> inserted;
    QObject::connect(&rig.model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    {
        ReadingLog::AppendBatch batch(rig.log);
        for (int no = 1; no <= 500; ++no) rig.log.AppendRow(no, "10:00:01", "1.5", "C", "", "");
        EXPECT_EQ(rig.model.rowCount(), 2) << "nothing is announced before the batch ends";
    }
    QApplication::processEvents();
    EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{2, 501}}));
    EXPECT_EQ(rig.model.index(501, 1).data().toString(), "10:00:01");
    EXPECT_EQ(rig.grid.currentIndex().row(), 501);
}

TEST(LogGrid, AStreamIsToldToTheGridInGatheredInsertionsAndNoRowIsLeftOut) {
    GridRig rig;
    rig.model.SetAnnounceDelay(100);
    std::int64_t now = 0;
    rig.model.AnnounceThrottle().SetClock([&] { return now; });
    std::vector<std::pair<int, int>> inserted;
    QObject::connect(&rig.model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    // Seventeen readings a second for a little over half a second.
    for (int i = 0; i < 10; ++i) {
        rig.Read(std::to_string(i), "m|s");
        now += 59;
    }
    // The stream stops; what waits is told by the throttle's own timer.
    QElapsedTimer waited;
    waited.start();
    while (rig.model.rowCount() < 10 && waited.elapsed() < 2000) QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(rig.model.rowCount(), 10);
    EXPECT_LT(inserted.size(), 10u) << "each row was told on its own";
    int next = 0;
    for (const auto& [first, last] : inserted) {
        EXPECT_EQ(first, next) << "a gap or an overlap in the insertions";
        next = last + 1;
    }
    EXPECT_EQ(next, 10);
    EXPECT_EQ(rig.grid.currentIndex().row(), 9);
}

// What the window shows, read back from its backing store: only that holds
// what partial repaints left behind (a widget's grab() draws it afresh).
QImage OnScreen(QWidget& w) {
    QApplication::processEvents();
    return w.screen()->grabWindow(w.winId()).toImage();
}

struct StreamCase {
    const char* name;
    int rowsBefore;
    int batches;
    int rowsPerBatch;
};

class GridStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(GridStream, RepaintingOnlyTheNewRowsLeavesThePictureAFullRepaintGives) {
    const StreamCase& c = GetParam();
    GridRig rig;
    rig.Rows(c.rowsBefore);
    OnScreen(rig.grid);
    int n = c.rowsBefore;
    for (int b = 0; b < c.batches; ++b) {
        {
            ReadingLog::AppendBatch batch(rig.log);
            for (int i = 0; i < c.rowsPerBatch; ++i, ++n)
                rig.log.AppendRow(n + 1, "10:00:01", std::to_string(n * 7 % 1000), "m|s", "", "");
        }
        OnScreen(rig.grid);
    }
    EXPECT_EQ(rig.grid.currentIndex().row(), n - 1);
    const QImage streamed = OnScreen(rig.grid);
    rig.grid.viewport()->update();
    rig.grid.verticalHeader()->viewport()->update();
    const QImage full = OnScreen(rig.grid);
    ASSERT_FALSE(full.isNull());
    EXPECT_EQ(streamed, full);
}

INSTANTIATE_TEST_SUITE_P(Appends, GridStream,
                         ::testing::Values(StreamCase{"IntoTheFreeSpaceBelow", 2, 3, 1},
                                           StreamCase{"PastTheBottomOneByOne", 5, 14, 1},
                                           StreamCase{"PastTheBottomInBatches", 1, 6, 4},
                                           StreamCase{"MoreThanAScreenAtOnce", 3, 2, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BarCase {
    const char* name;
    Qt::Orientation orientation;
    QSize size;
};

class TiledBars : public ::testing::TestWithParam<BarCase> {};

TEST_P(TiledBars, LookAsTheyDoUntiled) {
    const BarCase& c = GetParam();
    const auto picture = [&](bool inTiles) {
        QScrollBar bar(c.orientation);
        if (inTiles) bar.setStyle(new TiledPaintStyle(&bar));
        bar.resize(c.size);
        bar.setRange(0, 977);
        bar.setPageStep(10);
        bar.setValue(611);
        QImage image(c.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        bar.render(&image);
        return image;
    };
    const QImage tiled = picture(true);
    const QImage plain = picture(false);
    ASSERT_EQ(tiled.size(), plain.size());
    // Antialiased edges may round a shade apart; anything drawn twice or
    // left out is far more.
    int worst = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb a = tiled.pixel(x, y);
            const QRgb b = plain.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
        }
    }
    EXPECT_LE(worst, 2);
}

INSTANTIATE_TEST_SUITE_P(Grid, TiledBars,
                         ::testing::Values(BarCase{"Vertical", Qt::Vertical, {14, 204}},
                                           BarCase{"Horizontal", Qt::Horizontal, {382, 14}},
                                           BarCase{"ExactlyTwoTilesTall", Qt::Vertical, {16, 128}},
                                           BarCase{"OneTile", Qt::Vertical, {14, 60}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct WheelCase {
    const char* name;
    QPoint angle;
    int rowAfter;  // from row 10
};

class GridWheel : public ::testing::TestWithParam<WheelCase> {};

TEST_P(GridWheel, MovesTheCurrentRowOneRecordAnEvent) {
    GridRig rig;
    rig.Rows(40);
    rig.grid.setCurrentIndex(rig.model.index(10, 2));
    const QPointF at(50, 50);
    QWheelEvent wheel(at, rig.grid.viewport()->mapToGlobal(at), QPoint(), GetParam().angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(rig.grid.viewport(), &wheel);
    QApplication::processEvents();
    EXPECT_EQ(rig.grid.currentIndex().row(), GetParam().rowAfter);
    EXPECT_EQ(rig.grid.currentIndex().column(), 2);
}

INSTANTIATE_TEST_SUITE_P(Turns, GridWheel,
                         ::testing::Values(WheelCase{"ForwardNotch", {0, 120}, 9},
                                           WheelCase{"BackwardNotch", {0, -120}, 11},
                                           WheelCase{"ForwardThreeNotches", {0, 360}, 9},
                                           WheelCase{"BackwardThreeNotches", {0, -360}, 11},
                                           WheelCase{"FineForward", {0, 1}, 9},
                                           WheelCase{"FineBackward", {0, -1}, 11},
                                           WheelCase{"NoTurnCountsAsBackward", {0, 0}, 11}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LogGrid, WheelStopsAtTheFirstRow) {
    GridRig rig;
    rig.Rows(3);
    rig.grid.setCurrentIndex(rig.model.index(0, 0));
    const QPointF at(50, 50);
    QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(rig.grid.viewport(), &wheel);
    EXPECT_EQ(rig.grid.currentIndex().row(), 0);
}

}  // namespace
}  // namespace corvel::test
