#include "chart/TrendChart.h"

#include <qcustomplot.h>

#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>

#include "chart/CachedAreaGraph.h"
#include "chart/ChartToolbar.h"
#include "record/NumberText.h"

namespace corvel {

namespace {
// Any single value serves for the point each series holds after New.
constexpr double kPlaceholderValue = 0.0;

// The limit lines: high in red above, low in blue below, both dashed so
// that they never read as a series.
const QColor kHighLineColor(220, 0, 0);
const QColor kLowLineColor(0, 0, 220);
}  // namespace

// The value axis always splits a tick interval into five. A fitted axis
// has its ends on ticks, so it is ticked at the step it was fitted with.
class TrendChart::ValueTicks final : public QCPAxisTicker {
public:
    double fixedStep = 0;  // 0: the ticker's own choice

protected:
    double getTickStep(const QCPRange& range) override {
        return fixedStep > 0 ? fixedStep : QCPAxisTicker::getTickStep(range);
    }
    int getSubTickCount(double) override { return 4; }
};

// The control's view of the plot. Both series draw one shared data
// container, so a value is stored once however many series show it.
class TrendChart::PlotTarget final : public ChartAxisTarget {
public:
    PlotTarget(TrendChart& chart, QSharedPointer<QCPGraphDataContainer> data)
        : chart_(chart), plot_(*chart.plot_), data_(std::move(data)), streamReplot_(chart.streamReplot_) {}

    // While the log adds a value, drawing goes through the streaming
    // throttle.
    bool streaming = false;

    int PointCount() const override { return data_->size(); }
    void AppendToEverySeries(double value) override {
        const double key = data_->size();
        data_->add(QCPGraphData(key, value));
        replot(chart_.PointAdded(key, value));
    }
    void AppendManyToEverySeries(const double* values, std::size_t count) override {
        // Built whole and handed over shared, not copied: ten million points
        // are 160 MB.
        QVector<QCPGraphData> points;
        points.reserve(data_->size() + static_cast<qsizetype>(count));
        for (auto it = data_->constBegin(); it != data_->constEnd(); ++it) points.append(*it);
        const double first = points.size();
        for (std::size_t i = 0; i < count; ++i) points.append({first + static_cast<double>(i), values[i]});
        data_->set(points, true);
        replot(chart_.RefitPage());
    }
    void ClearEverySeries() override {
        data_->clear();
        data_->squeeze(true, true);
        chart_.RefitPage();
        ReplotNow();
    }
    std::optional<std::pair<double, double>> ActiveXRange() const override {
        bool drawn = false;
        for (int i = 0; i < plot_.graphCount(); ++i) drawn = drawn || plot_.graph(i)->visible();
        if (!drawn || data_->isEmpty()) return std::nullopt;
        return std::pair(data_->constBegin()->key, (data_->constEnd() - 1)->key);
    }
    double BottomMin() const override { return plot_.xAxis->range().lower; }
    double BottomMax() const override { return plot_.xAxis->range().upper; }
    void SetBottomRange(double min, double max) override {
        plot_.xAxis->setRange(min, max);
        chart_.RefitPage();
        replot(true);
    }

    void SetPlaceholder() {
        data_->clear();
        data_->squeeze(true, true);
        data_->add(QCPGraphData(0, kPlaceholderValue));
        chart_.RefitPage();
        ReplotNow();
    }

    // What a streamed catch-up redraws: the whole plot after the axis
    // moved, else only the series' own layer.
    void CatchUp(QCPLayer& seriesLayer) {
        if (axisMoved_) {
            axisMoved_ = false;
            plot_.replot(QCustomPlot::rpQueuedReplot);
        } else {
            seriesLayer.replot();
        }
    }

    // Redraws the whole plot in the next pass of the event loop; whatever a
    // streamed catch-up was waiting to show goes with it.
    void ReplotNow() {
        streamReplot_.Cancel();
        axisMoved_ = false;
        plot_.replot(QCustomPlot::rpQueuedReplot);
    }

private:
    void replot(bool axisMoved) {
        if (!streaming) {
            ReplotNow();
        } else {
            axisMoved_ = axisMoved_ || axisMoved;
            streamReplot_.Changed();
        }
    }

    bool axisMoved_ = false;

    TrendChart& chart_;
    QCustomPlot& plot_;
    QSharedPointer<QCPGraphDataContainer> data_;
    CatchUpThrottle& streamReplot_;
};

TrendChart::TrendChart(UserPrompts& prompts, QWidget* parent)
    : QFrame(parent), prompts_(prompts), streamReplot_([this] { target_->CatchUp(*seriesLayer_); }) {
    setObjectName(QStringLiteral("ChtshowPanel"));
    setGeometry(kChartBounds);
    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("Chtshow"));
    // A replot draws the plot's layers and then lets the window paint them
    // with everything else that changed, instead of painting and sending
    // the plot to the display on its own.
    plot_->setPlottingHint(QCP::phImmediateRefresh, false);
    SetUpLook();

    auto data = QSharedPointer<QCPGraphDataContainer>::create();
    // The area keeps its fill as a picture that streamed points only add to.
    series2_ = new CachedAreaGraph(plot_->xAxis, plot_->yAxis);
    series1_ = plot_->addGraph();
    series2_->setName(QStringLiteral("Series2"));
    series1_->setName(QStringLiteral("Series1"));
    series2_->setData(data);
    series1_->setData(data);
    series2_->setPen(QPen(QColor(0, 128, 255)));
    series2_->setBrush(QColor(255, 255, 128));
    series1_->setPen(QPen(QColor(128, 255, 0)));
    series1_->setBrush(Qt::NoBrush);
    for (QCPGraph* g : {series2_, series1_}) {
        g->setLineStyle(QCPGraph::lsLine);
        g->setScatterStyle(QCPScatterStyle::ssNone);
    }
    series1_->removeFromLegend();
    // The series draw into a buffer of their own, so that a streamed point
    // redraws them alone while the axes, grid and legend stay as drawn.
    plot_->addLayer(QStringLiteral("series"), plot_->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    seriesLayer_ = plot_->layer(QStringLiteral("series"));
    seriesLayer_->setMode(QCPLayer::lmBuffered);
    for (QCPGraph* g : {series2_, series1_}) g->setLayer(seriesLayer_);

    SetUpLimitLines();
    target_ = std::make_unique<PlotTarget>(*this, data);
    chartView_ = std::make_unique<TChartControl>(*target_, kPageSize);

    toolbar_ = new ChartToolbar(*this, parent);
    toolbar_->setGeometry(QRect(kToolbarPlace, kToolbarSize));

    // Start-up prepares the chart as Graphic -> New does.
    BtNewClick();
    SetFullScale(4000);

    // The page-size edit is applied one second after its last change; the
    // timer also runs once after start-up.
    timer2_.setInterval(1000);
    connect(&timer2_, &QTimer::timeout, this, &TrendChart::Timer2Timer);
    timer2_.start();
    FitPlot();
}

TrendChart::~TrendChart() {
    // A toolbar without a parent is ours to delete.
    if (toolbar_ && !toolbar_->parent()) delete toolbar_.data();
}

ChartToolbar& TrendChart::Toolbar() {
    return *toolbar_;
}

void TrendChart::SetUpLook() {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(192, 221, 248));
    setPalette(p);
    setAutoFillBackground(true);

    plot_->setInteractions(QCP::Interactions());
    plot_->legend->setVisible(false);
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setColorAt(0, QColor(192, 192, 192));
    gradient.setColorAt(1, Qt::white);
    plot_->setBackground(QBrush(gradient));
    plot_->axisRect()->setBackground(Qt::white);
    plot_->plotLayout()->setMargins(QMargins(3, 0, 3, 3));

    // A title of two blanks: nothing to read, but it keeps its line.
    auto* title = new QCPTextElement(plot_, QStringLiteral("  "));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(13);
    title->setFont(titleFont);
    title->setTextColor(Qt::blue);
    auto* layout = plot_->plotLayout();
    layout->insertRow(0);
    layout->addElement(0, 0, title);

    // The value axis' title reads across, at the left edge beside the
    // axis; the axis keeps the room for it as padding.
    QFont labelFont = plot_->yAxis->labelFont();
    auto* valueTitle = new QCPItemText(plot_);
    valueTitle->setText(QStringLiteral("Value"));
    valueTitle->setFont(labelFont);
    valueTitle->setClipToAxisRect(false);
    valueTitle->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    valueTitle->position->setTypeX(QCPItemPosition::ptAbsolute);
    valueTitle->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    valueTitle->position->setCoords(4, 0.5);
    plot_->yAxis->setPadding(QFontMetrics(labelFont).horizontalAdvance(valueTitle->text()) + 8);

    QCPAxis* left = plot_->yAxis;
    left->setBasePen(QPen(QColor(0, 64, 128), 1, Qt::DashLine));
    valueTicks_ = QSharedPointer<ValueTicks>::create();
    left->setTicker(valueTicks_);
    left->setSubTicks(true);
    left->setTickLength(0, 3);
    left->setSubTickLength(0, 3);
    QCPAxis* bottom = plot_->xAxis;
    bottom->setLabel(QStringLiteral("Record Number"));
    bottom->setTickLength(0, 3);
    bottom->setSubTickLength(0, 3);
}

void TrendChart::SetFullScale(int fullScale) {
    fullScale_ = fullScale;
    ApplyValueAxis();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

// ---- the fitted value axis

void TrendChart::SetFitToReadings(bool on) {
    if (on == fit_) return;
    fit_ = on;
    if (!RefitPage()) ApplyValueAxis();
    target_->ReplotNow();
}

bool TrendChart::RefitPage() {
    if (!fit_) return false;
    extremes_.Clear();
    // The record window holds a page's worth of points at most, so this
    // costs a page, and it runs only when the window or the points change
    // other than by a streamed point.
    const QCPRange window = plot_->xAxis->range();
    const QCPGraphDataContainer& data = *series2_->data();
    for (auto it = data.findBegin(window.lower, false); it != data.constEnd() && it->key <= window.upper;
         ++it) {
        if (it->key >= window.lower) extremes_.Add(it->value);
    }
    return ApplyValueAxis();
}

bool TrendChart::PointAdded(double key, double value) {
    if (!fit_) return false;
    const QCPRange window = plot_->xAxis->range();
    if (key < window.lower || key > window.upper) return false;
    const bool wasEmpty = extremes_.Empty();
    const double min = extremes_.Min();
    const double max = extremes_.Max();
    extremes_.Add(value);
    // A reading within the page's extremes leaves the axis as it is, and
    // so does a new extreme that the fitted axis already shows clear of its
    // ends: a meter wandering about a value would otherwise move the axis
    // (and redraw the whole chart) every few points at the start of each
    // page. A page shown anew is fitted exactly.
    if (!wasEmpty && extremes_.Min() == min && extremes_.Max() == max) return false;
    const QCPRange shown = plot_->yAxis->range();
    if (!wasEmpty && valueTicks_->fixedStep > 0 && extremes_.Min() > shown.lower &&
        extremes_.Max() < shown.upper)
        return false;
    return ApplyValueAxis();
}

bool TrendChart::ApplyValueAxis() {
    QCPRange range(-static_cast<double>(fullScale_), static_cast<double>(fullScale_));
    double step = 0;
    if (fit_ && !extremes_.Empty()) {
        if (const auto axis = FitValueAxis(extremes_.Min(), extremes_.Max())) {
            range = QCPRange(axis->lower, axis->upper);
            step = axis->tickStep;
        }
    }
    QCPAxis* left = plot_->yAxis;
    if (left->range() == range && valueTicks_->fixedStep == step) return false;
    valueTicks_->fixedStep = step;
    left->setRange(range);
    return true;
}

// ---- limit lines

void TrendChart::SetUpLimitLines() {
    // Above the series, below the axes; logical, so that it shares the
    // axes' buffer and a streamed point never redraws it.
    plot_->addLayer(QStringLiteral("limits"), seriesLayer_, QCustomPlot::limAbove);
    QCPLayer* layer = plot_->layer(QStringLiteral("limits"));
    layer->setMode(QCPLayer::lmLogical);
    const auto make = [&](const QColor& color, const QString& name) {
        auto* line = new QCPItemStraightLine(plot_);
        line->setObjectName(name);
        line->setLayer(layer);
        line->setPen(QPen(color, 1, Qt::DashLine));
        line->setSelectable(false);
        line->setVisible(false);
        return line;
    };
    highLine_ = make(kHighLineColor, QStringLiteral("HighLimitLine"));
    lowLine_ = make(kLowLineColor, QStringLiteral("LowLimitLine"));
}

void TrendChart::SetLimitLines(bool on) {
    if (on == limitLinesOn_) return;
    limitLinesOn_ = on;
    ShowLimitLines();
}

void TrendChart::SetLimits(std::optional<double> high, std::optional<double> low) {
    if (high == high_ && low == low_) return;
    high_ = high;
    low_ = low;
    if (limitLinesOn_) ShowLimitLines();
}

void TrendChart::ShowLimitLines() {
    const auto place = [&](QCPItemStraightLine& line, const std::optional<double>& value) {
        const bool shown = limitLinesOn_ && value && std::isfinite(*value);
        line.setVisible(shown);
        if (!shown) return;
        line.point1->setCoords(0, *value);
        line.point2->setCoords(1, *value);
    };
    place(*highLine_, high_);
    place(*lowLine_, low_);
    target_->ReplotNow();
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitPlot();
}

void TrendChart::FitPlot() {
    plot_->setGeometry(contentsRect());
}

// ---- what the reading log drives

void TrendChart::AddValue(double value) {
    target_->streaming = true;
    chartView_->AddValue(value);
    target_->streaming = false;
}

int TrendChart::Page() const {
    return chartView_->Page();
}

void TrendChart::SetPageCaption(int page) {
    // Called for every logged row: only a new number costs a new text.
    if (page == captionPage_) return;
    captionPage_ = page;
    bt10_ = QString::number(page);
    emit pageCaptionChanged(bt10_);
}

void TrendChart::RefreshPageCaption() {
    SetPageCaption(chartView_->Page());
}

void TrendChart::AddRestoredValues(const std::vector<double>& values) {
    // Not streamed: the chart is drawn once, when everything is in.
    chartView_->AddValues(values.data(), values.size());
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendChart::ClearView() {
    chartView_->Clear();
}

void TrendChart::BtNewClick() {
    target_->SetPlaceholder();
    comboIndex_ = 0;
    ShowSeries(0);
    ShowSeries(btFill_ ? 0 : 1);
}

// ---- fill and series

int TrendChart::ActiveSeries() const {
    for (int i = 0; i < plot_->graphCount(); ++i)
        if (plot_->graph(i)->visible()) return i;
    return -1;
}

void TrendChart::ShowSeries(int index) {
    const int before = ActiveSeries();
    // Only the two series exist; another index leaves none drawn. The
    // decoder asks for a series whenever the unit or the point moves, which
    // a meter hovering at a range boundary does on every frame: when the
    // same series stays drawn the picture is the same, and redrawing it
    // would cost a whole replot a frame.
    bool changed = false;
    for (int i = 0; i < plot_->graphCount(); ++i) {
        const bool shown = i == index;
        if (plot_->graph(i)->visible() == shown) continue;
        plot_->graph(i)->setVisible(shown);
        changed = true;
    }
    if (!changed) return;
    target_->ReplotNow();
    if (ActiveSeries() != before) emit activeSeriesChanged(ActiveSeries());
}

void TrendChart::SetFillStates(bool btFill, bool menu) {
    if (btFill == btFill_ && menu == fillMenu_) return;
    btFill_ = btFill;
    fillMenu_ = menu;
    emit fillChanged();
}

void TrendChart::SetBtFillChecked(bool checked) {
    if (checked == btFill_) return;
    SetFillStates(checked, fillMenu_);
    btFillClick();
}

void TrendChart::btFillClick() {
    SetFillStates(btFill_, btFill_);
    ShowSeries(btFill_ ? 0 : 1);
}

void TrendChart::FillClick() {
    if (btFill_) {
        SetFillStates(btFill_, false);
        SetBtFillChecked(false);
        ShowSeries(1);
    } else {
        SetFillStates(btFill_, true);
        SetBtFillChecked(true);
        ShowSeries(0);
    }
}

void TrendChart::ComboBox1Change() {
    ShowSeries(comboIndex_);
}

// ---- paging

void TrendChart::BtFirstClick() {
    chartView_->FirstPage();
    RefreshPageCaption();
}

void TrendChart::BTPreviousClick() {
    chartView_->PreviousPage();
    RefreshPageCaption();
}

void TrendChart::BtNextClick() {
    chartView_->NextPage();
    RefreshPageCaption();
}

void TrendChart::BTlastClick() {
    chartView_->LastPage();
    RefreshPageCaption();
}

QString TrendChart::NotAPageSizeMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid page size").arg(text);
}

void TrendChart::MaxrecordChange(const QString& text) {
    if (text != maxrecord_) {
        maxrecord_ = text;
        emit maxrecordTextChanged(maxrecord_);
    }
    timer2_.stop();
    timer2_.start();
}

void TrendChart::Timer2Timer() {
    timer2_.stop();
    const std::string text = maxrecord_.toStdString();
    const auto n = ReadInt32(text);
    if (!n) {
        prompts_.Message(UserPrompts::Kind::Error, NotAnIntegerMessage(text));
        return;
    }
    // A page holds at least one point; 0 would leave nothing to page by.
    if (*n < 1) {
        prompts_.Message(UserPrompts::Kind::Error, NotAPageSizeMessage(maxrecord_).toStdString());
        return;
    }
    chartView_->SetPageSize(*n);
    RefreshPageCaption();
}

// ---- enlarge and restore

void TrendChart::TbFdClick() {
    const QWidget* w = window();
    TbFdClick(w && w != this ? w->frameGeometry().size() : size());
}

void TrendChart::TbFdClick(QSize windowSize) {
    if (geometry().top() > 50) {
        savedBounds_ = geometry();
        enlarged_ = true;
        setGeometry(2, 28, windowSize.width() - 12, windowSize.height() - 85);
        if (toolbar_) toolbar_->move(2, 2);
        raise();
        if (toolbar_) toolbar_->raise();
    } else {
        enlarged_ = false;
        setGeometry(savedBounds_);
        if (toolbar_) toolbar_->move(kToolbarPlace);
    }
    FitPlot();
    emit enlargedChanged(enlarged_);
}

// ---- save as bitmap

bool TrendChart::SaveBitmap(const QString& fileName) {
    const QSize chartSize = size();
    if (chartSize.isEmpty()) return false;
    QImage image(chartSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QCPPainter painter(&image);
        plot_->toPainter(&painter, chartSize.width(), chartSize.height());
    }
    return image.save(fileName, "BMP");
}

const char* const TrendChart::kPictureFilter = "Bitmaps (*.bmp);;PNG images (*.png);;SVG drawings (*.svg)";

bool TrendChart::SavePicture(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("svg")) return SaveVector(fileName);
    if (suffix != QLatin1String("png")) return SaveBitmap(fileName);
    const QSize chartSize = size();
    if (chartSize.isEmpty()) return false;
    QImage image(chartSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QCPPainter painter(&image);
        plot_->toPainter(&painter, chartSize.width(), chartSize.height());
    }
    // Written aside and put in place whole: a failed save leaves an older
    // picture of that name as it was.
    QSaveFile file(fileName);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

bool TrendChart::SaveVector(const QString& fileName) {
    const QSize chartSize = size();
    if (chartSize.isEmpty()) return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(chartSize);
    // A pixel of the chart is a CSS pixel of the drawing, so that viewers
    // show it at the size the window does.
    svg.setResolution(96);
    svg.setViewBox(QRect(QPoint(0, 0), chartSize));
    svg.setTitle(QStringLiteral("Chart"));
    QCPPainter painter;
    if (!painter.begin(&svg)) return false;
    // Lines and text as shapes, not pixels, and pens as drawn at this size
    // whatever the drawing is scaled to.
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic);
    const QRectF whole(QPointF(0, 0), chartSize);
    painter.fillRect(whole, Qt::white);
    plot_->toPainter(&painter, chartSize.width(), chartSize.height());

    // Qt's SVG writer leaves clipping out, so the series reach past the
    // plot area where the window clips them (the area's fill runs down to
    // zero, the placeholder lies left of the axis). The ground around the
    // plot area is laid again over them, and the axes and texts drawn
    // again on it.
    QPainterPath around;
    around.addRect(whole);
    QPainterPath area;
    area.addRect(plot_->axisRect()->rect());
    around = around.subtracted(area);
    painter.fillPath(around, Qt::white);
    painter.fillPath(around, plot_->background());
    // Viewers that round the drawing's size up show a sliver past its
    // edge: that too is covered.
    QPainterPath beyond;
    beyond.addRect(whole.adjusted(-whole.width(), -whole.height(), whole.width(), whole.height()));
    QPainterPath inside;
    inside.addRect(whole);
    painter.fillPath(beyond.subtracted(inside), Qt::white);

    const QBrush plotBackground = plot_->background();
    const QBrush areaBackground = plot_->axisRect()->backgroundBrush();
    QList<QCPLayerable*> hidden;
    for (QCPLayerable* l : std::initializer_list<QCPLayerable*>{series2_, series1_, highLine_, lowLine_,
                                                                plot_->xAxis->grid(), plot_->yAxis->grid()}) {
        if (!l->visible()) continue;
        l->setVisible(false);
        hidden.append(l);
    }
    plot_->setBackground(Qt::NoBrush);
    plot_->axisRect()->setBackground(Qt::NoBrush);
    plot_->toPainter(&painter, chartSize.width(), chartSize.height());
    plot_->setBackground(plotBackground);
    plot_->axisRect()->setBackground(areaBackground);
    for (QCPLayerable* l : hidden) l->setVisible(true);
    painter.end();
    return file.error() == QFileDevice::NoError && file.commit();
}

void TrendChart::BtSaveClick() {
    const std::string fileName = prompts_.SaveFileName("Save Picture As", kPictureFilter, "bmp");
    if (fileName.empty()) return;
    if (!SavePicture(QString::fromStdString(fileName))) {
        prompts_.Message(UserPrompts::Kind::Error, "Cannot create file \"" + fileName + "\"");
        return;
    }
    prompts_.Message(UserPrompts::Kind::Information, "Graphic has saved on " + fileName);
}

}  // namespace corvel
