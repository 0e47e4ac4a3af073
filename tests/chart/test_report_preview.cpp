// The report's preview window as the user drives it: paging, zoom, what it
// paints, and printing a choice of pages.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "Assets.h"
#include "chart/ReportPreview.h"
#include "support/QtAppEnvironment.h"

namespace corvel::test {
namespace {

void Fill(ReadingLogStore& rows, int count) {
    for (int i = 0; i < count; ++i) rows.Append(i + 1, 3600 + i, "1.23", "m|s", "21.5", "#");
}

struct PreviewRig {
    ReadingLogStore rows;
    std::unique_ptr<ReportPreview> preview;
    explicit PreviewRig(int count) {
        RegisterAssetFonts();
        Fill(rows, count);
        preview = std::make_unique<ReportPreview>(rows, QDate(2026, 12, 9));
        preview->show();
    }
    QToolButton* button(const char* name) {
        return preview->findChild<QToolButton*>(QString::fromLatin1(name));
    }
    QSpinBox* pageBox() { return preview->findChild<QSpinBox*>(QStringLiteral("PageNumber")); }
    // What the navigation shows: the page number and which of first,
    // previous, next, last can be pressed.
    std::string state() {
        std::string s = std::to_string(pageBox()->value()) + " ";
        for (const char* b : {"FirstPage", "PreviousPage", "NextPage", "LastPage"})
            s += button(b)->isEnabled() ? "+" : "-";
        return s;
    }
};

TEST(ReportPreview, NavigatesThePagesOfItsSnapshot) {
    enum Step { None, First, Previous, Next, Last, Type4, Type99 };
    static const struct {
        const char* name;
        int rows;
        std::vector<Step> steps;
        int page;           // from 0
        const char* state;  // as PreviewRig::state
    } kCases[] = {
        {"empty log: one page, nowhere to go", 0, {None}, 0, "1 ----"},
        {"opens on the first page", 200, {None}, 0, "1 --++"},
        {"next", 200, {Next, Next}, 2, "3 ++++"},
        {"last", 200, {Last}, 5, "6 ++--"},
        {"next stops at the last page", 200, {Last, Next}, 5, "6 ++--"},
        {"previous from the last", 200, {Last, Previous}, 4, "5 ++++"},
        {"previous stops at the first page", 200, {Previous}, 0, "1 --++"},
        {"first", 200, {Last, First}, 0, "1 --++"},
        {"typed page number", 200, {Type4}, 3, "4 ++++"},
        {"typed number past the end: the last page", 200, {Type99}, 5, "6 ++--"},
        {"a million rows", 1000000, {Last}, 27027, "27028 ++--"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        PreviewRig rig(c.rows);
        for (Step s : c.steps) {
            switch (s) {
                case None: break;
                case First: rig.button("FirstPage")->click(); break;
                case Previous: rig.button("PreviousPage")->click(); break;
                case Next: rig.button("NextPage")->click(); break;
                case Last: rig.button("LastPage")->click(); break;
                case Type4: rig.pageBox()->setValue(4); break;
                case Type99: rig.pageBox()->setValue(99); break;
            }
        }
        EXPECT_EQ(rig.preview->CurrentPage(), c.page);
        EXPECT_EQ(rig.preview->View().Page(), c.page);
        EXPECT_EQ(rig.state(), c.state);
        EXPECT_EQ(rig.preview->findChild<QLabel*>(QStringLiteral("PageTotal"))->text(),
                  QStringLiteral("of %1").arg(rig.preview->PageCount()));
    }
}

TEST(ReportPreview, RowsLoggedWhileItIsOpenDoNotChangeIt) {
    PreviewRig rig(37);
    Fill(rig.rows, 100);
    EXPECT_EQ(rig.preview->PageCount(), 1);
    EXPECT_EQ(rig.preview->Report().RowCount(), 37);
}

TEST(ReportPreview, ZoomSizesThePaper) {
    PreviewRig rig(10);
    rig.preview->resize(900, 800);
    QScrollArea* area = rig.preview->findChild<QScrollArea*>(QStringLiteral("PageArea"));
    const double screenPerMm = rig.preview->logicalDpiX() / 25.4;
    static const struct {
        ReportPreview::Zoom zoom;
        double factor;  // of real size; 0 for the fitting zooms
    } kCases[] = {{ReportPreview::Zoom::Z50, 0.5},
                  {ReportPreview::Zoom::Z100, 1.0},
                  {ReportPreview::Zoom::Z200, 2.0},
                  {ReportPreview::Zoom::WholePage, 0},
                  {ReportPreview::Zoom::PageWidth, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.zoom));
        rig.preview->findChild<QComboBox*>(QStringLiteral("Zoom"))->setCurrentIndex(static_cast<int>(c.zoom));
        EXPECT_EQ(rig.preview->CurrentZoom(), c.zoom);
        const double perMm = rig.preview->View().PixelsPerMm();
        if (c.factor > 0) {
            EXPECT_NEAR(perMm, screenPerMm * c.factor, 1e-9);
        }
        // The page widget is just the paper and its grey border, so the
        // scroll bars appear only when the paper is larger than the window.
        EXPECT_EQ(rig.preview->View().size(), rig.preview->View().sizeHint());
        const QSize viewport = area->viewport()->size();
        if (c.zoom == ReportPreview::Zoom::WholePage) {
            EXPECT_LE(rig.preview->View().height(), viewport.height());
            EXPECT_LE(rig.preview->View().width(), viewport.width());
        }
        if (c.zoom == ReportPreview::Zoom::PageWidth) {
            EXPECT_LE(rig.preview->View().width(), viewport.width());
        }
    }
}

// Counts pixels of a colour close to pure blue (the title's ink).
int BluePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 90 && c.green() < 90) ++n;
        }
    return n;
}

TEST(ReportPreview, PaintsTheShownPage) {
    PreviewRig rig(200);
    rig.preview->SetZoom(ReportPreview::Zoom::Z100);
    const QImage first = rig.preview->View().grab().toImage();
    EXPECT_GT(BluePixels(first), 100);  // the title and the page number
    rig.preview->LastPage();
    const QImage last = rig.preview->View().grab().toImage();
    EXPECT_NE(first, last);  // other rows, another page number
}

QString PdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000));
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(ReportPreview, PrintsTheChosenPages) {
    static const struct {
        const char* name;
        QPrinter::PrintRange range;
        int from, to;  // a range's page numbers
        int shown;     // the page shown, from 0
        std::vector<int> pages;
    } kCases[] = {
        {"all pages", QPrinter::AllPages, 0, 0, 2, {1, 2, 3, 4, 5, 6}},
        {"a range", QPrinter::PageRange, 2, 3, 0, {2, 3}},
        {"a range past the end is cut", QPrinter::PageRange, 5, 40, 0, {5, 6}},
        {"the current page", QPrinter::CurrentPage, 0, 0, 3, {4}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        PreviewRig rig(200);
        rig.preview->ShowPage(c.shown);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        SetUpReportPrinter(printer, rig.preview->PageCount());
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        printer.setPrintRange(c.range);
        if (c.range == QPrinter::PageRange) printer.setFromTo(c.from, c.to);
        ASSERT_TRUE(rig.preview->PrintTo(printer));
        const QStringList pages =
            PdfText(printer.outputFileName()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        ASSERT_EQ(pages.size(), static_cast<qsizetype>(c.pages.size()));
        for (std::size_t i = 0; i < c.pages.size(); ++i) {
            EXPECT_TRUE(
                pages[i].contains(QRegularExpression(QStringLiteral("The Page\\s+%1\\s").arg(c.pages[i]))))
                << pages[i].toStdString();
            // The page's first row number is its own.
            EXPECT_TRUE(pages[i].contains(QString::number((c.pages[i] - 1) * 37 + 1)));
        }
    }
}

TEST(ReportPreview, ALongPrintKeepsTheLoopTurningAndCanBeCancelled) {
    PreviewRig rig(1000000);  // 27,028 pages
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, rig.preview->PageCount());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("long.pdf")));
    // A timer of the program's loop fires while pages are printed (the
    // links would be served the same way) and presses Cancel.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks < 3) return;
        if (auto* progress = rig.preview->findChild<QProgressDialog*>(QStringLiteral("PrintProgress")))
            progress->cancel();
    });
    tick.start(20);
    EXPECT_FALSE(rig.preview->PrintTo(printer));
    EXPECT_GE(ticks, 3);
    // Qt's PDF and CUPS engines cannot abort a job: what was printed before
    // Cancel is delivered, and nothing after it.
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {printer.outputFileName()});
    ASSERT_TRUE(info.waitForFinished(60000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
    ASSERT_TRUE(pages.hasMatch()) << out.toStdString();
    EXPECT_LT(pages.captured(1).toInt(), rig.preview->PageCount());
}

}  // namespace
}  // namespace corvel::test
