// The printed report as a reader of the paper sees it: how many pages, what
// stands where on each, in which font. Positions are read back from PDFs
// the real code writes (poppler's pdftotext and pdffonts), not from the
// painter calls.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "Assets.h"
#include "chart/DataReport.h"
#include "support/QtAppEnvironment.h"

namespace corvel::test {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
// How far a word may stand from where the report puts it: a quarter of a
// millimetre, about the width of a printed full stop.
constexpr double kToleranceMm = 0.25;

// A word on a page of a PDF, in millimetres from the sheet's top-left.
struct Word {
    QString text;
    double left, top, right, bottom;
};
using Page = std::vector<Word>;

QString RunTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << tool.toStdString()
                      << " failed (poppler-utils installed?): " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The words of every page, as pdftotext lays them out.
std::vector<Page> ReadWords(const QString& pdf) {
    const QString xhtml = RunTool(QStringLiteral("pdftotext"), {"-bbox-layout", pdf, "-"});
    std::vector<Page> pages;
    QXmlStreamReader xml(xhtml);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"page") pages.emplace_back();
        if (xml.name() != u"word" || pages.empty()) continue;
        const auto mm = [&](const char* a) {
            return xml.attributes().value(QLatin1String(a)).toDouble() / kPointsPerMm;
        };
        Word w{{}, mm("xMin"), mm("yMin"), mm("xMax"), mm("yMax")};
        w.text = xml.readElementText();
        pages.back().push_back(w);
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return pages;
}

// The word `text` whose left edge and top are nearest to (left, top).
std::optional<Word> Nearest(const Page& page, const QString& text, double left, double top) {
    std::optional<Word> best;
    for (const Word& w : page) {
        if (w.text != text) continue;
        if (!best || std::hypot(w.left - left, w.top - top) < std::hypot(best->left - left, best->top - top))
            best = w;
    }
    return best;
}

// Expects `text` with its left edge at `left` and its top at `top`
// (millimetres on the sheet).
void ExpectWordAt(const Page& page, int pageNo, const QString& text, double left, double top) {
    const auto w = Nearest(page, text, left, top);
    ASSERT_TRUE(w) << "page " << pageNo << ": no \"" << text.toStdString() << "\"";
    EXPECT_NEAR(w->left, left, kToleranceMm) << "page " << pageNo << " \"" << text.toStdString() << "\" left";
    EXPECT_NEAR(w->top, top, kToleranceMm) << "page " << pageNo << " \"" << text.toStdString() << "\" top";
}

// Rows as a meter logs them: a number, a time, a value in m/s and a
// temperature in the second row with its unit in the seven-segment font.
void FillLog(ReadingLogStore& rows, int count) {
    static const char* kUnits2[] = {"#", "$", "%RH"};
    for (int i = 0; i < count; ++i) {
        const std::string value = std::to_string(i % 40) + "." + std::to_string(10 + i % 90);
        const std::string value2 = std::to_string(20 + i % 7) + ".5";
        rows.Append(i + 1, 8 * 3600 + i, value, "m|s", value2, kUnits2[i % 3]);
    }
}

struct Rendered {
    QTemporaryDir dir;
    QString file;
    std::vector<Page> pages;
    QString fonts;
};
const QDate kPrintDate(2026, 12, 9);

std::unique_ptr<Rendered> Render(const ReadingLogStore& rows) {
    auto r = std::make_unique<Rendered>();
    r->file = r->dir.filePath(QStringLiteral("report.pdf"));
    QString error;
    EXPECT_TRUE(WriteReportPdf(rows, r->file, kPrintDate, &error)) << error.toStdString();
    r->pages = ReadWords(r->file);
    r->fonts = RunTool(QStringLiteral("pdffonts"), {r->file});
    return r;
}

// Millimetres on the sheet of a band element: its left and top in its band
// plus the band's own place.
double X(double left) {
    return DataReport::kMargin + left;
}

void ExpectPageFrame(const Page& page, int pageNo, const QString& date) {
    // Page header: the title centred across the 190 mm band.
    const auto test = Nearest(page, QStringLiteral("TEST"), 0, 0);
    const auto report = Nearest(page, QStringLiteral("REPORT"), 0, 0);
    ASSERT_TRUE(test && report) << "page " << pageNo << ": no title";
    EXPECT_NEAR((test->left + report->right) / 2, X(DataReport::kBandWidth / 2), 0.5) << "page " << pageNo;
    EXPECT_NEAR(test->top, DataReport::kTitleTop + 2.12, kToleranceMm) << "page " << pageNo;
    ExpectWordAt(page, pageNo, QStringLiteral("Print"), X(158.75), DataReport::kTitleTop + 5.29);
    ExpectWordAt(page, pageNo, date.section(QLatin1Char(' '), 0, 0), X(171.45), DataReport::kTitleTop + 5.29);

    // Column header.
    static const struct {
        const char* caption;
        double left;
    } kHeader[] = {{"No", 12.70},   {"Time", 33.87},    {"Value", 66.41},
                   {"Unit", 86.78}, {"Value2", 109.01}, {"Unit2", 131.23}};
    for (const auto& h : kHeader)
        ExpectWordAt(page, pageNo, QString::fromLatin1(h.caption), X(h.left),
                     DataReport::kColumnHeaderTop + 4.23);

    // Footer, at the foot of the sheet whatever the page holds.
    const double footer = DataReport::kPaperHeight - DataReport::kMargin - DataReport::kFooterHeight + 4.23;
    ExpectWordAt(page, pageNo, QStringLiteral("The"), X(8.47), footer);
    ExpectWordAt(page, pageNo, QString::number(pageNo), X(24.34), footer);
    ExpectWordAt(page, pageNo, QStringLiteral("Of"), X(31.75), footer);
    ExpectWordAt(page, pageNo, QStringLiteral("Allpage"), X(37.04), footer);
}

TEST(DataReportLayout, PagesFollowFromTheRowCount) {
    static const struct {
        int rows;
        int pages;
        int lastPageRows;
    } kCases[] = {
        {0, 1, 0},  // an empty log still prints its one page
        {1, 1, 1},
        {36, 1, 36},
        {37, 1, 37},
        {38, 2, 1},
        {200, 6, 15},  // 5 full pages of 37, then 15
        {1000000, 27028, 1000000 - 27027 * 37},
        {10000000, 270271, 10000000 - 270270 * 37},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.rows);
        EXPECT_EQ(DataReport::PageCount(c.rows), c.pages);
        EXPECT_EQ(DataReport::RowsOnPage(c.rows, c.pages - 1), c.lastPageRows);
        EXPECT_EQ(DataReport::RowsOnPage(c.rows, c.pages), 0);  // past the end
        EXPECT_EQ(DataReport::RowsOnPage(c.rows, -1), 0);
        if (c.pages > 1) {
            EXPECT_EQ(DataReport::RowsOnPage(c.rows, 0), 37);
        }
    }
    // The detail lines of a page end above its footer.
    EXPECT_LE(DataReport::DetailTop(36) + DataReport::kDetailHeight,
              DataReport::kPaperHeight - DataReport::kMargin - DataReport::kFooterHeight);
    EXPECT_EQ(DataReport::DetailTop(37), DataReport::DetailTop(0));
}

TEST(DataReportLayout, ArialIsTheMetricCompatibleLiberationSans) {
    QFont arial(QStringLiteral("Arial"));
    EXPECT_EQ(QFontInfo(arial).family(), QStringLiteral("Liberation Sans"));
    const QString match = RunTool(QStringLiteral("fc-match"), {QStringLiteral("Arial")});
    EXPECT_TRUE(match.contains(QStringLiteral("Liberation Sans"))) << match.toStdString();
}

TEST(DataReportPdf, PagesAndBandsStandWhereTheyBelong) {
    RegisterAssetFonts();
    const QString date = QLocale::system().toString(kPrintDate, QLocale::ShortFormat);
    for (const int count : {0, 1, 200}) {
        SCOPED_TRACE(testing::Message() << count << " rows");
        ReadingLogStore rows;
        FillLog(rows, count);
        const auto r = Render(rows);
        ASSERT_EQ(static_cast<int>(r->pages.size()), DataReport::PageCount(count));
        int row = 0;
        for (int p = 0; p < static_cast<int>(r->pages.size()); ++p) {
            const Page& page = r->pages[p];
            ExpectPageFrame(page, p + 1, date);
            const int onPage = DataReport::RowsOnPage(count, p);
            for (int i = 0; i < onPage; ++i, ++row) {
                SCOPED_TRACE(testing::Message() << "row " << row);
                const double top = DataReport::kFirstDetailTop + i * DataReport::kDetailHeight + 2.12;
                ExpectWordAt(page, p + 1, QString::fromStdString(rows.Text(row, ReadingLogStore::No)),
                             X(12.70), top);
                ExpectWordAt(page, p + 1, QString::fromStdString(rows.Text(row, ReadingLogStore::Time)),
                             X(33.87), top);
                ExpectWordAt(page, p + 1, QString::fromStdString(rows.Text(row, ReadingLogStore::Value)),
                             X(65.62), top);
                ExpectWordAt(page, p + 1, QStringLiteral("m|s"), X(86.78), top);
                ExpectWordAt(page, p + 1, QString::fromStdString(rows.Text(row, ReadingLogStore::Value2)),
                             X(109.01), top);
                ExpectWordAt(page, p + 1, QString::fromStdString(rows.Text(row, ReadingLogStore::Unit2)),
                             X(131.23), top);
            }
            // Nothing but the bands: title 3 words, "Print Date:" and the
            // date, header 6, footer 5, six fields a row.
            const int dateWords = date.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
            EXPECT_EQ(static_cast<int>(page.size()), 3 + 2 + dateWords + 6 + 5 + 6 * onPage)
                << "page " << p + 1;
        }
        EXPECT_EQ(row, count);
    }
}

// The footer's texts stand where they always did while the page number has
// up to four digits; from five on, the number pushes "Of" and "Allpage"
// right, and no two texts touch for any page number a log can reach.
TEST(DataReportPdf, FooterTextsNeverOverlap) {
    RegisterAssetFonts();
    const int lastPage = DataReport::PageCount(INT_MAX);
    static const struct {
        int page;
        bool fixedPlaces;  // four digits at most: the places never move
    } kCases[] = {{1, true},       {9, true},       {10, true},       {888, true},
                  {8888, true},    {9999, true},    {10000, false},   {88888, false},
                  {100000, false}, {270271, false}, {8888888, false}, {lastPage, false}};
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("footers.pdf"));
    {
        QPdfWriter pdf(file);
        pdf.setResolution(1200);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                      QPageLayout::Millimeter));
        QPainter painter(&pdf);
        const double scale = DataReport::ScaleFor(pdf.logicalDpiX());
        for (const auto& c : kCases) {
            if (&c != kCases) pdf.newPage();
            painter.resetTransform();
            painter.scale(scale, scale);
            DataReport::PaintFooter(painter, c.page - 1);
        }
    }
    const std::vector<Page> pages = ReadWords(file);
    ASSERT_EQ(pages.size(), std::size(kCases));
    const double footer = DataReport::kFooterTop + 4.23;
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const auto& c = kCases[i];
        SCOPED_TRACE(testing::Message() << "page number " << c.page);
        const Page& page = pages[i];
        ExpectWordAt(page, c.page, QStringLiteral("The"), X(8.47), footer);
        ExpectWordAt(page, c.page, QString::number(c.page), X(24.34), footer);
        if (c.fixedPlaces) {
            ExpectWordAt(page, c.page, QStringLiteral("Of"), X(31.75), footer);
            ExpectWordAt(page, c.page, QStringLiteral("Allpage"), X(37.04), footer);
        }
        // Left to right, each word ends before the next begins.
        const QString order[] = {QStringLiteral("The"), QStringLiteral("Page"), QString::number(c.page),
                                 QStringLiteral("Of"), QStringLiteral("Allpage")};
        ASSERT_EQ(page.size(), std::size(order));
        for (std::size_t w = 0; w < page.size(); ++w) {
            EXPECT_EQ(page[w].text, order[w]);
            if (w > 0) {
                EXPECT_LT(page[w - 1].right, page[w].left)
                    << page[w - 1].text.toStdString() << " runs into " << page[w].text.toStdString();
            }
        }
        EXPECT_LE(page.back().right, X(DataReport::kBandWidth));
    }
}

TEST(DataReportPdf, ArialForTextAndTheSevenSegmentFontForTheSecondUnit) {
    RegisterAssetFonts();
    static const struct {
        int rows;
        bool sevenSegment;
    } kCases[] = {{0, false}, {200, true}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.rows);
        ReadingLogStore rows;
        FillLog(rows, c.rows);
        const auto r = Render(rows);
        // pdffonts: two heading lines, then one line a font: name first,
        // "yes" in the embedded column.
        QStringList names;
        const QStringList lines = r->fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2);
        for (int i = 2; i < lines.size(); ++i) {
            const QStringList cols = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            ASSERT_GE(cols.size(), 5);
            names << cols[0].section(QLatin1Char('+'), -1);  // drop the subset tag
            EXPECT_TRUE(lines[i].contains(QStringLiteral(" yes ")))
                << "not embedded: " << lines[i].toStdString();
        }
        names.removeDuplicates();
        names.sort();
        QStringList expected{QStringLiteral("LiberationSans"), QStringLiteral("LiberationSans-Bold")};
        // The program's own seven-segment font is drawn bold only.
        if (c.sevenSegment) expected.prepend(QStringLiteral("Corvel7SegFont-Bold"));
        EXPECT_EQ(names.join(QLatin1Char(',')).toStdString(), expected.join(QLatin1Char(',')).toStdString())
            << r->fonts.toStdString();
    }
}

TEST(DataReportPdf, AFailedWriteSaysWhyAndLeavesNoFile) {
    ReadingLogStore rows;
    FillLog(rows, 3);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("missing/report.pdf"));
    QString error;
    EXPECT_FALSE(WriteReportPdf(rows, file, kPrintDate, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(file));
}

TEST(DataReportPaint, ShowsTheRowsOfItsSnapshotOnly) {
    ReadingLogStore rows;
    FillLog(rows, 40);
    const DataReport report(rows, rows.RowCount(), kPrintDate);
    FillLog(rows, 100);  // logged while the preview is open
    EXPECT_EQ(report.RowCount(), 40);
    EXPECT_EQ(report.PageCount(), 2);
    // A snapshot larger than the log is cut to what the log holds.
    EXPECT_EQ(DataReport(rows, 1 << 30, kPrintDate).RowCount(), 140);
    EXPECT_EQ(DataReport(rows, -5, kPrintDate).PageCount(), 1);
}

// Paints a page onto an image at 4 pixels a millimetre.
QImage PaintToImage(const DataReport& report, int page) {
    QImage image(840, 1188, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.scale(4.0 / DataReport::kUnitsPerMm, 4.0 / DataReport::kUnitsPerMm);
    report.PaintPage(p, page);
    return image;
}
bool Inked(const QImage& image, double topMm, double bottomMm) {
    for (int y = static_cast<int>(topMm * 4); y < static_cast<int>(bottomMm * 4); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) return true;
    return false;
}

TEST(DataReportPaint, AnEmptiedLogLeavesItsLinesBlankInsteadOfReadingPastTheEnd) {
    ReadingLogStore rows;
    FillLog(rows, 50);
    const DataReport report(rows, rows.RowCount(), kPrintDate);
    rows.Clear();
    const QImage page = PaintToImage(report, 1);
    EXPECT_TRUE(Inked(page, DataReport::kTitleTop, DataReport::kFirstDetailTop));    // the bands are there
    EXPECT_FALSE(Inked(page, DataReport::kFirstDetailTop, DataReport::kFooterTop));  // no detail lines
    // Pages that do not exist paint nothing.
    const QImage none = PaintToImage(report, 7);
    EXPECT_FALSE(Inked(none, 0, DataReport::kPaperHeight));
}

}  // namespace
}  // namespace corvel::test
