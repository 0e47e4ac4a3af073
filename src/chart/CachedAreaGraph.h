#pragma once

#include <qcustomplot.h>

#include <QImage>
#include <QVector>

namespace corvel {

// The area series with its fill and its line kept in a picture of their
// own.
//
// Rasterising the fill is what a redraw of the chart costs: a reading that
// jumps between the axis' ends makes a polygon of a hundred spikes over
// half the plot, and a smoothed line of a hundred spikes around it.
// Streamed points only add to its right end, so the picture is redrawn only
// from the last point it holds onwards, and the rest is copied. Whatever
// else changes (the axes, the size, the brush, the pen, points that are not
// a plain continuation) draws the whole picture again. The series draws on
// a clear layer of its own, fill first and line over it, and the picture is
// made the same way, so every pixel is the one a direct drawing gives.
class CachedAreaGraph final : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // Off: the fill is drawn directly every time, as a plain graph does
    // (the picture to compare with).
    void SetCaching(bool on) {
        caching_ = on;
        valid_ = false;
    }
    // How often the fill was drawn whole, and from its last point on.
    int FullFills() const { return fullFills_; }
    int PartialFills() const { return partialFills_; }
    // Whether the picture holds the line as well as the fill.
    bool KeepsLine() const { return valid_ && drawnView_.pen.style() != Qt::NoPen; }

protected:
    void drawFill(QCPPainter* painter, QVector<QPointF>* lines) const override;
    // The line is in the picture already when the fill was drawn from it.
    void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override;

private:
    // What the picture was drawn for besides the points.
    struct View {
        const QPaintDevice* device = nullptr;
        QSize size;
        QRect clip;
        QCPRange keyRange;
        QCPRange valueRange;
        QRect axisRect;
        QBrush brush;
        QPen pen;  // the line's; no pen when the line is drawn apart
        QTransform transform;
        bool antialiased = false;
        bool fillAntialiased = false;
        QCP::AntialiasedElements plotAntialiased;
        QCP::AntialiasedElements plotNotAntialiased;
        bool operator==(const View& o) const {
            return device == o.device && size == o.size && clip == o.clip && keyRange == o.keyRange &&
                   valueRange == o.valueRange && axisRect == o.axisRect && brush == o.brush && pen == o.pen &&
                   transform == o.transform && antialiased == o.antialiased &&
                   fillAntialiased == o.fillAntialiased && plotAntialiased == o.plotAntialiased &&
                   plotNotAntialiased == o.plotNotAntialiased;
        }
    };

    bool CanCache(const QCPPainter* painter) const;
    // Drawn first on a buffered layer, that is on clear ground.
    bool FirstOnItsOwnLayer() const;
    // Draws the fill of `lines` from point `first` on, and the line over it,
    // into the picture, in `area` only; false when the picture's painter
    // would not draw as the plot's does.
    bool Render(const View& view, const QVector<QPointF>& lines, qsizetype first, const QRect& area) const;
    // The point from which the fill drawn in the columns from `left` on is
    // the same as the whole fill's there.
    static qsizetype FirstPointFor(const QVector<QPointF>& lines, qsizetype last, int left);

    bool caching_ = true;
    mutable QImage picture_;
    mutable QVector<QPointF> drawnLines_;
    mutable View drawnView_;
    mutable bool valid_ = false;
    // Set by drawFill when the picture it painted holds this pass's line.
    mutable bool lineDrawn_ = false;
    mutable int fullFills_ = 0;
    mutable int partialFills_ = 0;
};

}  // namespace corvel
