#pragma once

#include <QFrame>
#include <QPointer>
#include <QRect>
#include <QSharedPointer>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "chart/ChartAxisTarget.h"
#include "chart/ChartControl.h"
#include "chart/ValueAxisFit.h"
#include "record/CatchUpThrottle.h"
#include "record/ReadingLogChart.h"
#include "record/UserPrompts.h"

class QCustomPlot;
class QCPGraph;
class QCPLayer;
class QCPItemStraightLine;

namespace corvel {

class ChartToolbar;

// The trend chart Chtshow: the logged values against their record number,
// one page at a time, as a filled area or as a line. It owns the chart view
// control that pages it and carries the behaviour of the chart toolbar and
// the Graphic menu; the window only places it and forwards its commands.
//
// The state the toolbar and the menu show (BtFill, the menu's Fill mark,
// the page display Bt10, the page-size text, enlarged or not) is held here
// and announced by signals, so the widgets just mirror it.
class TrendChart final : public QFrame, public ReadingLogChart {
    Q_OBJECT
public:
    static constexpr QRect kChartBounds{400, 200, 353, 356};
    static constexpr QPoint kToolbarPlace{403, 159};
    static constexpr QSize kToolbarSize{351, 41};
    static constexpr int kPageSize = 100;

    // Built as the layout has it: the toolbar is made beside the chart, in
    // the same parent.
    explicit TrendChart(UserPrompts& prompts, QWidget* parent = nullptr);
    ~TrendChart() override;

    QCustomPlot& Chtshow() { return *plot_; }
    // Series2, the filled area (index 0), and Series1, the line (index 1).
    QCPGraph& Series2() const { return *series2_; }
    QCPGraph& Series1() const { return *series1_; }
    TChartControl& ChartView() { return *chartView_; }
    const TChartControl& ChartView() const { return *chartView_; }
    ChartToolbar& Toolbar();

    // The left axis runs from -fullScale to +fullScale (unless it fits the
    // readings).
    void SetFullScale(int fullScale);

    // ---- view options, both off unless the user picks them
    // On: the value axis spans the readings of the page shown, with a
    // little room and round ticks, and follows them as the page fills and
    // as the user pages; a page without readings keeps the full scale.
    void SetFitToReadings(bool on);
    bool FitToReadings() const { return fit_; }
    // On: the high and the low limit drawn as dashed lines across the
    // chart, each while it is a number.
    void SetLimitLines(bool on);
    bool LimitLines() const { return limitLinesOn_; }
    // The limits as they stand; nothing for a limit that is no number.
    void SetLimits(std::optional<double> high, std::optional<double> low);
    const QCPItemStraightLine& HighLine() const { return *highLine_; }
    const QCPItemStraightLine& LowLine() const { return *lowLine_; }
    // The shortest time between two redraws for streamed points; 0 redraws
    // for every point. Paging always redraws at once.
    void SetStreamingReplotDelay(int ms) { streamReplot_.SetInterval(ms); }

    // ---- what the reading log drives
    void AddValue(double value) override;
    int Page() const override;
    void SetPageCaption(int page) override;
    void ClearView() override;
    void BtNewClick() override;
    void AddRestoredValues(const std::vector<double>& values) override;

    // ---- control state
    bool BtFillChecked() const { return btFill_; }
    // Checking or unchecking BtFill runs its click event, as a click does.
    void SetBtFillChecked(bool checked);
    bool FillMenuChecked() const { return fillMenu_; }
    // The series being drawn, -1 when none.
    int ActiveSeries() const;
    // The hidden selector ComboBox1 ("atile", "btile"): a series index.
    int ComboBox1ItemIndex() const { return comboIndex_; }
    void SetComboBox1ItemIndex(int index) { comboIndex_ = index; }
    const QString& Bt10Caption() const { return bt10_; }
    const QString& MaxrecordText() const { return maxrecord_; }
    bool Enlarged() const { return enlarged_; }
    bool TbFdVisible() const { return !enlarged_; }
    bool TbSxVisible() const { return enlarged_; }
    // The limit panel and the Quit button make room for the enlarged chart.
    bool Panel4Visible() const { return !enlarged_; }
    bool BitBtn1Visible() const { return !enlarged_; }
    const QRect& ChartSavedBounds() const { return savedBounds_; }
    const QTimer& Timer2() const { return timer2_; }

    // ---- commands
    void ShowSeries(int index);
    void btFillClick();
    void FillClick();
    void ComboBox1Change();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void MaxrecordChange(const QString& text);
    void Timer2Timer();
    // Enlarge or restore, with the outer size of the main window; the
    // overload without it asks the window this chart sits in.
    void TbFdClick(QSize windowSize);
    void TbFdClick();
    void BtSaveClick();
    // The chart at its current size on white, written as a BMP file.
    bool SaveBitmap(const QString& fileName);
    // The same picture as the file's extension asks: ".png" a PNG image,
    // ".svg" a vector drawing, any other a BMP file as SaveBitmap writes.
    bool SavePicture(const QString& fileName);
    static const char* const kPictureFilter;

    static QString NotAPageSizeMessage(const QString& text);

signals:
    void fillChanged();  // BtFill or the menu's Fill mark
    void activeSeriesChanged(int index);
    void pageCaptionChanged(const QString& caption);
    void maxrecordTextChanged(const QString& text);
    void enlargedChanged(bool enlarged);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class PlotTarget;
    class ValueTicks;
    void SetUpLook();
    void SetUpLimitLines();
    // Gathers the extremes of the readings in the record window anew.
    // True when the value axis changed.
    bool RefitPage();
    // A point was appended at `key`; true when the value axis changed.
    bool PointAdded(double key, double value);
    bool ApplyValueAxis();
    void ShowLimitLines();
    bool SaveVector(const QString& fileName);
    void SetFillStates(bool btFill, bool menu);
    void FitPlot();
    void RefreshPageCaption();

    UserPrompts& prompts_;
    QCustomPlot* plot_ = nullptr;
    QCPGraph* series2_ = nullptr;
    QCPGraph* series1_ = nullptr;
    QCPLayer* seriesLayer_ = nullptr;
    QSharedPointer<ValueTicks> valueTicks_;
    QCPItemStraightLine* highLine_ = nullptr;
    QCPItemStraightLine* lowLine_ = nullptr;
    std::unique_ptr<PlotTarget> target_;
    std::unique_ptr<TChartControl> chartView_;
    QPointer<ChartToolbar> toolbar_;

    bool btFill_ = true;
    bool fillMenu_ = true;
    int comboIndex_ = 0;
    QString bt10_ = QStringLiteral("1");
    int captionPage_ = 1;
    QString maxrecord_ = QStringLiteral("100");
    bool enlarged_ = false;
    QRect savedBounds_;
    QTimer timer2_;
    CatchUpThrottle streamReplot_;

    int fullScale_ = 4000;
    bool fit_ = false;
    PageExtremes extremes_;
    bool limitLinesOn_ = false;
    std::optional<double> high_;
    std::optional<double> low_;
};

}  // namespace corvel
