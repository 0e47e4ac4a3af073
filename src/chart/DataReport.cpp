#include "chart/DataReport.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <string>

#include "Assets.h"

namespace corvel {

namespace {

constexpr double U = DataReport::kUnitsPerMm;

// A font of the report at a printer's point size, sized in the painter's
// units (hundredths of a millimetre) so that it scales with the page on
// every device alike.
QFont ReportFont(const char* family, double points, bool bold = false, bool underline = false) {
    QFont f{QString::fromLatin1(family)};
    f.setPixelSize(static_cast<int>(std::lround(points * 25.4 / 72.0 * U)));
    f.setBold(bold);
    f.setUnderline(underline);
    // Hinting would fit the outlines to a grid of these tiny units; the
    // page must look the same on screen, paper and PDF.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The report's fonts: Arial throughout, the second unit in the program's
// seven-segment font.
struct Fonts {
    QFont body = ReportFont("Arial", 10);               // 13 pixels
    QFont title = ReportFont("Arial", 14, true, true);  // 19 pixels
    QFont small = ReportFont("Arial", 7);               // 9 pixels
    QFont pageNumber = ReportFont("Arial", 8);          // 11 pixels
    QFont allPage = ReportFont("Arial", 9);             // 12 pixels
    QFont unit2 = ReportFont("Corvel7SegFont", 10);     // 13 pixels
};
const Fonts& ReportFonts() {
    static const Fonts fonts;
    return fonts;
}

QRectF Band(double top, double height) {
    return {DataReport::kMargin * U, top * U, DataReport::kBandWidth * U, height * U};
}

// A label sized to its text at (left, top) in its band: it grows to the
// right and wraps only at the band's right edge; what would spill out of
// the band is cut off.
void Label(QPainter& p, const QRectF& band, double left, double top, const QString& text) {
    const QRectF box(band.left() + left * U, band.top() + top * U, band.width() - left * U,
                     band.height() - top * U);
    const QFontMetricsF metrics(p.font(), p.device());
    // Nearly every text is a short number or unit that fits on one line:
    // those skip the wrapping layout.
    if (text.size() * metrics.maxWidth() <= box.width()) {
        p.drawText(QPointF(box.left(), box.top() + metrics.ascent()), text);
        return;
    }
    p.save();
    p.setClipRect(band, Qt::IntersectClip);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    p.restore();
}

}  // namespace

int DataReport::PageCount(int rows) {
    if (rows <= 0) return 1;
    return (rows - 1) / kRowsPerPage + 1;
}

int DataReport::RowsOnPage(int rows, int page) {
    if (page < 0 || page >= PageCount(rows)) return 0;
    return std::min(kRowsPerPage, std::max(0, rows - FirstRowOf(page)));
}

DataReport::DataReport(const ReadingLogStore& rows, int rowCount, QDate printDate)
    : rows_(rows), rowCount_(std::clamp(rowCount, 0, rows.RowCount())), printDate_(printDate) {}

QString DataReport::PrintDateText() const {
    return QLocale::system().toString(printDate_, QLocale::ShortFormat);
}

void DataReport::PaintPage(QPainter& p, int page) const {
    if (page < 0 || page >= PageCount()) return;
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::black);
    PaintTitle(p);
    PaintColumnHeader(p);
    p.setFont(ReportFonts().body);
    const int first = FirstRowOf(page);
    const int count = RowsOnPage(rowCount_, page);
    // A row the store no longer holds (the log was emptied meanwhile) is
    // left blank rather than read out of range.
    const int present = std::min(count, rows_.RowCount() - first);
    std::string text;  // one buffer for every field of the page
    for (int i = 0; i < present; ++i) PaintDetail(p, first + i, text);
    PaintFooter(p, page);
    p.restore();
}

void DataReport::PaintTitle(QPainter& p) const {
    const Fonts& f = ReportFonts();
    const QRectF band = Band(kTitleTop, kTitleHeight);
    p.fillRect(band, Qt::white);
    p.setFont(f.title);
    p.setPen(Qt::blue);
    const QRectF title(band.left(), band.top() + 2.12 * U, band.width(), 6.61 * U);
    p.drawText(title, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, QStringLiteral("TEST DATA REPORT"));
    p.setFont(f.small);
    p.setPen(Qt::black);
    Label(p, band, 158.75, 5.29, QStringLiteral("Print Date:"));
    Label(p, band, 171.45, 5.29, PrintDateText());
}

void DataReport::PaintColumnHeader(QPainter& p) const {
    const QRectF band = Band(kColumnHeaderTop, kColumnHeaderHeight);
    p.fillRect(band, Qt::white);
    p.setFont(ReportFonts().body);
    p.setPen(Qt::black);
    static const struct {
        double left;
        const char* caption;
    } kColumns[] = {{12.70, "No"},   {33.87, "Time"},    {66.41, "Value"},
                    {86.78, "Unit"}, {109.01, "Value2"}, {131.23, "Unit2"}};
    for (const auto& c : kColumns) Label(p, band, c.left, 4.23, QString::fromLatin1(c.caption));
}

void DataReport::PaintDetail(QPainter& p, int row, std::string& text) const {
    static constexpr struct {
        ReadingLogStore::Field field;
        double left;
    } kFields[] = {{ReadingLogStore::No, 12.70},
                   {ReadingLogStore::Time, 33.87},
                   {ReadingLogStore::Value, 65.62},
                   {ReadingLogStore::Unit, 86.78},
                   {ReadingLogStore::Value2, 109.01}};
    const QRectF band = Band(DetailTop(row), kDetailHeight);
    p.fillRect(band, Qt::white);
    for (const auto& f : kFields) {
        text.clear();
        rows_.AppendText(row, f.field, text);
        Label(p, band, f.left, 2.12, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    text.clear();
    rows_.AppendText(row, ReadingLogStore::Unit2, text);
    if (text.empty()) return;
    p.setFont(ReportFonts().unit2);
    Label(p, band, 131.23, 2.12, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    p.setFont(ReportFonts().body);
}

void DataReport::PaintFooter(QPainter& p, int page) {
    const Fonts& f = ReportFonts();
    const QRectF band = Band(kFooterTop, kFooterHeight);
    p.fillRect(band, Qt::white);
    p.setFont(f.body);
    // The system's tooltip text colour, as the caption was set up.
    const QColor tipText = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                               ? QGuiApplication::palette().color(QPalette::ToolTipText)
                               : QColor(Qt::black);
    p.setPen(tipText);
    Label(p, band, 8.47, 4.23, QStringLiteral("The Page"));
    p.setFont(f.pageNumber);
    p.setPen(Qt::blue);
    const QString number = QString::number(page + 1);
    Label(p, band, 24.34, 4.23, number);
    // "Of" and "Allpage" stand where they always did while the number has
    // up to four digits; a longer number pushes them right by what it
    // takes beyond four of the widest digit, so they never run into it.
    const QFontMetricsF metrics(f.pageNumber, p.device());
    qreal widestDigit = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widestDigit = std::max(widestDigit, metrics.horizontalAdvance(QLatin1Char(digit)));
    const double shift = std::max(0.0, metrics.horizontalAdvance(number) - 4 * widestDigit) / U;
    p.setFont(f.body);
    p.setPen(Qt::black);
    Label(p, band, 31.75 + shift, 4.23, QStringLiteral("Of"));
    // A fixed caption: the report never printed its page total.
    p.setFont(f.allPage);
    p.setPen(Qt::blue);
    Label(p, band, 37.04 + shift, 4.23, QStringLiteral("Allpage"));
}

bool DataReport::Print(QPagedPaintDevice& device, int first, int last,
                       const std::function<bool(int, int)>& progress) const {
    first = std::max(first, 0);
    last = std::min(last, PageCount() - 1);
    if (first > last) return false;
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const double scale = ScaleFor(device.logicalDpiX());
    const int total = last - first + 1;
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage()) return false;
        painter.resetTransform();
        painter.scale(scale, scale);
        PaintPage(painter, page);
        if (progress && !progress(page - first + 1, total)) return false;
    }
    return painter.end();
}

bool WriteReportPdf(const ReadingLogStore& rows, const QString& fileName, const QDate& printDate,
                    QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return fail(QStringLiteral("Printing needs a QGuiApplication"));
    RegisterAssetFonts();  // the second unit's font is the program's own
    // Written beside the old file and renamed over it only when complete,
    // so a failed run never leaves half a report in its place.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    const DataReport report(rows, rows.RowCount(), printDate);
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("TEST DATA REPORT"));
        pdf.setCreator(QStringLiteral("Corvel interface program"));
        pdf.setResolution(1200);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                      QPageLayout::Millimeter));
        if (!report.Print(pdf, 0, report.PageCount() - 1)) {
            file.cancelWriting();
            return fail(QStringLiteral("Could not render the report"));
        }
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

}  // namespace corvel
