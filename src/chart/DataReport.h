#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <string>

#include "record/ReadingLogStore.h"

class QFont;
class QPagedPaintDevice;
class QPainter;

namespace corvel {

// The printed log, "TEST DATA REPORT": A4 portrait with 10 mm margins, a
// page header and a column header at the top of every page, one detail line
// per row, and a page footer at the foot of every page.
//
// Nothing is laid out ahead: where a row falls is plain arithmetic on its
// index, and a page is painted only when it is shown or printed, so a log of
// millions of rows previews and prints in the memory of one page.
//
// PaintPage draws in hundredths of a millimetre from the paper's top-left
// corner; ScaleFor gives the painter scale that maps those units onto a
// device.
class DataReport {
public:
    static constexpr double kUnitsPerMm = 100.0;

    // Paper and bands, in millimetres.
    static constexpr double kPaperWidth = 210.0;
    static constexpr double kPaperHeight = 297.0;
    static constexpr double kMargin = 10.0;
    static constexpr double kBandWidth = 190.0;
    static constexpr double kTitleHeight = 10.58;         // program_title
    static constexpr double kColumnHeaderHeight = 10.58;  // grid_header_title
    static constexpr double kDetailHeight = 6.61;         // data_detial
    static constexpr double kFooterHeight = 10.58;        // page_footer

    // Tops of the bands on the paper.
    static constexpr double kTitleTop = kMargin;
    static constexpr double kColumnHeaderTop = kTitleTop + kTitleHeight;
    static constexpr double kFirstDetailTop = kColumnHeaderTop + kColumnHeaderHeight;
    static constexpr double kFooterTop = kPaperHeight - kMargin - kFooterHeight;
    // Detail lines that fit between the column header and the footer.
    static constexpr int kRowsPerPage = static_cast<int>((kFooterTop - kFirstDetailTop) / kDetailHeight);
    static_assert(kRowsPerPage == 37);

    // Pages for a log of `rows` rows; an empty log still prints one page.
    static int PageCount(int rows);
    // The first row on page `page` (from 0) and how many rows it carries.
    static int FirstRowOf(int page) { return page * kRowsPerPage; }
    static int RowsOnPage(int rows, int page);
    // Top of the detail line of row `row` on its page, in millimetres.
    static double DetailTop(int row) { return kFirstDetailTop + (row % kRowsPerPage) * kDetailHeight; }

    // Painter scale from hundredths of a millimetre to a device of this
    // resolution (dots per inch).
    static double ScaleFor(double dpi) { return dpi / 25.4 / kUnitsPerMm; }

    // The report of the first `rowCount` rows of `rows` (clamped to what
    // the store holds). Rows keep their place in the store, so rows appended
    // later do not move these pages. `rows` must outlive the report.
    DataReport(const ReadingLogStore& rows, int rowCount, QDate printDate);

    int RowCount() const { return rowCount_; }
    int PageCount() const { return PageCount(rowCount_); }
    QDate PrintDate() const { return printDate_; }
    // The date as the page header prints it: the system's short format.
    QString PrintDateText() const;

    // Paints page `page` (from 0). The painter's coordinates must be
    // hundredths of a millimetre from the paper's top-left corner.
    void PaintPage(QPainter& painter, int page) const;

    // Paints pages `first` to `last` (from 0, inclusive) onto a paged device
    // (a printer or a PDF writer whose page is the whole A4 sheet), one
    // after another. `progress(done, total)` is called after each page; when
    // it returns false printing stops and the result is false. False also
    // when the painter cannot start on the device.
    bool Print(QPagedPaintDevice& device, int first, int last,
               const std::function<bool(int done, int total)>& progress = {}) const;

    // The page footer of page `page` (from 0), in the units of PaintPage.
    // It depends on nothing but the page number.
    static void PaintFooter(QPainter& p, int page);

private:
    void PaintTitle(QPainter& p) const;
    void PaintColumnHeader(QPainter& p) const;
    void PaintDetail(QPainter& p, int row, std::string& text) const;

    const ReadingLogStore& rows_;
    int rowCount_;
    QDate printDate_;
};

// Renders the whole report of `rows` (every row it holds) to a PDF file.
// The file is replaced only when the whole report has been written; on
// failure `error` (when given) says why and any old file is left as it was.
// Needs a QGuiApplication (the offscreen platform will do), no window.
bool WriteReportPdf(const ReadingLogStore& rows, const QString& fileName, const QDate& printDate,
                    QString* error);

}  // namespace corvel
