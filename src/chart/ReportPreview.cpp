#include "chart/ReportPreview.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace corvel {

namespace {

// Grey around the paper, as a print preview shows it.
constexpr int kPaperGap = 12;
constexpr int kShadow = 3;

}  // namespace

// ---- one page on screen

ReportPageView::ReportPageView(const DataReport& report, QWidget* parent) : QWidget(parent), report_(report) {
    setObjectName(QStringLiteral("ReportPage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPageView::SetPage(int page) {
    page = std::clamp(page, 0, report_.PageCount() - 1);
    if (page == page_) return;
    page_ = page;
    update();
}

void ReportPageView::SetPixelsPerMm(double pixels) {
    pixelsPerMm_ = std::clamp(pixels, 0.5, 40.0);
    updateGeometry();
    resize(sizeHint());
    update();
}

QSize ReportPageView::sizeHint() const {
    return {static_cast<int>(DataReport::kPaperWidth * pixelsPerMm_) + 2 * kPaperGap + kShadow,
            static_cast<int>(DataReport::kPaperHeight * pixelsPerMm_) + 2 * kPaperGap + kShadow};
}

QRect ReportPageView::PaperRect() const {
    const int w = static_cast<int>(DataReport::kPaperWidth * pixelsPerMm_);
    const int h = static_cast<int>(DataReport::kPaperHeight * pixelsPerMm_);
    return {std::max(kPaperGap, (width() - w - kShadow) / 2), kPaperGap, w, h};
}

void ReportPageView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::Dark));  // as the scroll area around it
    const QRect paper = PaperRect();
    p.fillRect(paper.translated(kShadow, kShadow), QColor(64, 64, 64));
    p.fillRect(paper, Qt::white);
    const QRect exposed = event->rect() & paper;
    if (exposed.isEmpty()) return;
    p.setClipRect(exposed);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(paper.topLeft());
    const double scale = pixelsPerMm_ / DataReport::kUnitsPerMm;
    p.scale(scale, scale);
    report_.PaintPage(p, page_);
}

// ---- the preview window

void SetUpReportPrinter(QPrinter& printer, int pageCount) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                      QPageLayout::Millimeter));
    // The report draws its own 10 mm margins from the corner of the sheet.
    printer.setFullPage(true);
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(1, pageCount);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDocName(QStringLiteral("TEST DATA REPORT"));
}

ReportPreview::ReportPreview(const ReadingLogStore& rows, const QDate& printDate, QWidget* parent)
    : QDialog(parent), report_(rows, rows.RowCount(), printDate) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setModal(true);

    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 4, 4, 4);
    auto button = [&](const char* name, const QString& hint, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    first_ = button("FirstPage", QStringLiteral("First page"), QStyle::SP_MediaSkipBackward);
    previous_ = button("PreviousPage", QStringLiteral("Previous page"), QStyle::SP_MediaSeekBackward);
    pageBox_ = new QSpinBox(bar);
    pageBox_->setObjectName(QStringLiteral("PageNumber"));
    pageBox_->setRange(1, PageCount());
    pageBox_->setKeyboardTracking(false);
    pageBox_->setMinimumWidth(pageBox_->fontMetrics().horizontalAdvance(QString::number(PageCount())) + 40);
    row->addWidget(pageBox_);
    pageTotal_ = new QLabel(QStringLiteral("of %1").arg(PageCount()), bar);
    pageTotal_->setObjectName(QStringLiteral("PageTotal"));
    row->addWidget(pageTotal_);
    next_ = button("NextPage", QStringLiteral("Next page"), QStyle::SP_MediaSeekForward);
    last_ = button("LastPage", QStringLiteral("Last page"), QStyle::SP_MediaSkipForward);
    row->addSpacing(12);
    zoomBox_ = new QComboBox(bar);
    zoomBox_->setObjectName(QStringLiteral("Zoom"));
    zoomBox_->addItems({QStringLiteral("Whole page"), QStringLiteral("Page width"), QStringLiteral("50%"),
                        QStringLiteral("75%"), QStringLiteral("100%"), QStringLiteral("150%"),
                        QStringLiteral("200%")});
    zoomBox_->setCurrentIndex(static_cast<int>(zoom_));
    row->addWidget(zoomBox_);
    row->addSpacing(12);
    auto* print = new QPushButton(QStringLiteral("Print..."), bar);
    print->setObjectName(QStringLiteral("Print"));
    print->setAutoDefault(false);
    row->addWidget(print);
    row->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Close"), bar);
    close->setObjectName(QStringLiteral("Close"));
    close->setAutoDefault(false);
    row->addWidget(close);

    view_ = new ReportPageView(report_);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("PageArea"));
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setWidget(view_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(scroll_, 1);

    connect(first_, &QToolButton::clicked, this, &ReportPreview::FirstPage);
    connect(previous_, &QToolButton::clicked, this, &ReportPreview::PreviousPage);
    connect(next_, &QToolButton::clicked, this, &ReportPreview::NextPage);
    connect(last_, &QToolButton::clicked, this, &ReportPreview::LastPage);
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int number) { ShowPage(number - 1); });
    connect(zoomBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetZoom(static_cast<Zoom>(index)); });
    connect(print, &QPushButton::clicked, this, &ReportPreview::PrintClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto shortcut = [this](QKeySequence keys, void (ReportPreview::*slot)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_PageDown), &ReportPreview::NextPage);
    shortcut(QKeySequence(Qt::Key_PageUp), &ReportPreview::PreviousPage);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), &ReportPreview::FirstPage);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_End), &ReportPreview::LastPage);
    shortcut(QKeySequence::Print, &ReportPreview::PrintClick);

    resize(960, 900);
    ApplyZoom();
    UpdateNavigation();
}

void ReportPreview::ShowPage(int page) {
    view_->SetPage(std::clamp(page, 0, PageCount() - 1));
    UpdateNavigation();
}

void ReportPreview::UpdateNavigation() {
    const int page = CurrentPage();
    first_->setEnabled(page > 0);
    previous_->setEnabled(page > 0);
    next_->setEnabled(page + 1 < PageCount());
    last_->setEnabled(page + 1 < PageCount());
    const QSignalBlocker quiet(pageBox_);
    pageBox_->setValue(page + 1);
}

void ReportPreview::SetZoom(Zoom zoom) {
    zoom_ = zoom;
    {
        const QSignalBlocker quiet(zoomBox_);
        zoomBox_->setCurrentIndex(static_cast<int>(zoom));
    }
    ApplyZoom();
}

void ReportPreview::ApplyZoom() {
    const QSize room = scroll_->viewport()->size() - QSize(2 * kPaperGap + kShadow, 2 * kPaperGap + kShadow);
    const double screenPerMm = logicalDpiX() / 25.4;
    double pixels = screenPerMm;
    switch (zoom_) {
        case Zoom::WholePage:
            pixels =
                std::min(room.width() / DataReport::kPaperWidth, room.height() / DataReport::kPaperHeight);
            break;
        case Zoom::PageWidth:
            // Leave room for the vertical scroll bar this zoom brings.
            pixels =
                (room.width() - scroll_->verticalScrollBar()->sizeHint().width()) / DataReport::kPaperWidth;
            break;
        case Zoom::Z50: pixels = screenPerMm * 0.5; break;
        case Zoom::Z75: pixels = screenPerMm * 0.75; break;
        case Zoom::Z100: pixels = screenPerMm; break;
        case Zoom::Z150: pixels = screenPerMm * 1.5; break;
        case Zoom::Z200: pixels = screenPerMm * 2.0; break;
    }
    view_->SetPixelsPerMm(pixels);
}

void ReportPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (zoom_ == Zoom::WholePage || zoom_ == Zoom::PageWidth) ApplyZoom();
}

void ReportPreview::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, PageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, PageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dialog.exec() != QDialog::Accepted) return;
    PrintTo(printer);
}

bool ReportPreview::PrintTo(QPrinter& printer) {
    int first = 0, last = PageCount() - 1;
    switch (printer.printRange()) {
        case QPrinter::PageRange:
            first = printer.fromPage() - 1;
            last = printer.toPage() - 1;
            break;
        case QPrinter::CurrentPage: first = last = CurrentPage(); break;
        case QPrinter::AllPages:
        case QPrinter::Selection: break;
    }
    first = std::clamp(first, 0, PageCount() - 1);
    last = std::clamp(last, first, PageCount() - 1);
    // Thousands of pages take a while: the progress window keeps the
    // program's message loop turning between pages (the links are still
    // served) and lets the user give up.
    QProgressDialog progress(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, last - first + 1,
                             this);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowTitle(QStringLiteral("Print"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const bool printed = report_.Print(printer, first, last, [&](int done, int total) {
        progress.setLabelText(QStringLiteral("Printing page %1 of %2").arg(done).arg(total));
        progress.setValue(done);
        if (!progress.wasCanceled()) return true;
        // An engine that can abort drops the job; Qt's PDF and CUPS
        // engines cannot, and deliver the pages printed before Cancel.
        printer.abort();
        return false;
    });
    return printed;
}

}  // namespace corvel
