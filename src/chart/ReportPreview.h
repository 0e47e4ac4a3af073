#pragma once

#include <QDialog>
#include <QWidget>

#include "chart/DataReport.h"

class QComboBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace corvel {

// One page of the report on screen, at a zoom. It paints the page it shows
// and nothing else, straight from the log's rows.
class ReportPageView final : public QWidget {
    Q_OBJECT
public:
    ReportPageView(const DataReport& report, QWidget* parent = nullptr);

    int Page() const { return page_; }
    void SetPage(int page);
    // Screen pixels per millimetre of paper.
    double PixelsPerMm() const { return pixelsPerMm_; }
    void SetPixelsPerMm(double pixels);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect PaperRect() const;

    const DataReport& report_;
    int page_ = 0;
    double pixelsPerMm_ = 96.0 / 25.4;
};

// The report's preview window: page navigation, zoom, and printing with the
// choice of printer and pages. Run it with exec(); the program's message
// loop keeps running meanwhile, so links are still served.
class ReportPreview final : public QDialog {
    Q_OBJECT
public:
    // The zoom entries, in the order of the zoom box.
    enum class Zoom { WholePage, PageWidth, Z50, Z75, Z100, Z150, Z200 };

    // Previews the rows `rows` holds now; rows logged while the window is
    // open are not added to it.
    ReportPreview(const ReadingLogStore& rows, const QDate& printDate, QWidget* parent = nullptr);

    const DataReport& Report() const { return report_; }
    ReportPageView& View() { return *view_; }
    int PageCount() const { return report_.PageCount(); }
    // The page shown, from 0.
    int CurrentPage() const { return view_->Page(); }
    void ShowPage(int page);

    void FirstPage() { ShowPage(0); }
    void PreviousPage() { ShowPage(CurrentPage() - 1); }
    void NextPage() { ShowPage(CurrentPage() + 1); }
    void LastPage() { ShowPage(PageCount() - 1); }
    void SetZoom(Zoom zoom);
    Zoom CurrentZoom() const { return zoom_; }

    // Print: the printer dialog, then the chosen pages.
    void PrintClick();
    // Prints the pages the printer's settings select (all, a range or the
    // current page) with a progress window that can cancel the job. False
    // when cancelled or when the printer fails.
    bool PrintTo(QPrinter& printer);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyZoom();
    void UpdateNavigation();

    DataReport report_;
    Zoom zoom_ = Zoom::Z100;
    ReportPageView* view_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QToolButton* first_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* last_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageTotal_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
};

// Sets a printer up for the report: A4 portrait on the whole sheet (the
// report keeps its own margins), one copy, no duplex, all pages.
void SetUpReportPrinter(QPrinter& printer, int pageCount);

}  // namespace corvel
