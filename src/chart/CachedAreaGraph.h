#pragma once

#include <qcustomplot.h>

#include <QImage>
#include <QVector>

namespace corvel {

// The area series with its fill kept in a picture of its own.
//
// Rasterising the fill is what a redraw of the chart costs: a reading that
// jumps between the axis' ends makes a polygon of a hundred spikes over
// half the plot. Streamed points only add to its right end, so the picture
// is redrawn only from the last point it holds onwards, and the rest is
// copied. Whatever else changes (the axes, the size, the brush, points
// that are not a plain continuation) draws the whole fill again. The copy
// is made only where the fill would have been drawn on a clear buffer of
// its own, so every pixel is the one a direct drawing gives.
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

protected:
    void drawFill(QCPPainter* painter, QVector<QPointF>* lines) const override;

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
        QTransform transform;
        bool antialiased = false;
        bool fillAntialiased = false;
        QCP::AntialiasedElements plotAntialiased;
        QCP::AntialiasedElements plotNotAntialiased;
        bool operator==(const View& o) const {
            return device == o.device && size == o.size && clip == o.clip && keyRange == o.keyRange &&
                   valueRange == o.valueRange && axisRect == o.axisRect && brush == o.brush &&
                   transform == o.transform && antialiased == o.antialiased &&
                   fillAntialiased == o.fillAntialiased && plotAntialiased == o.plotAntialiased &&
                   plotNotAntialiased == o.plotNotAntialiased;
        }
    };

    bool CanCache(const QCPPainter* painter) const;
    // Draws the fill of `lines` from point `first` on into the picture, in
    // `area` only; false when the picture's painter would not draw as the
    // plot's does.
    bool Render(const View& view, const QVector<QPointF>& lines, qsizetype first, const QRect& area) const;
    // The point from which the fill drawn in the columns from `left` on is
    // the same as the whole fill's there.
    static qsizetype FirstPointFor(const QVector<QPointF>& lines, qsizetype last, int left);

    bool caching_ = true;
    mutable QImage picture_;
    mutable QVector<QPointF> drawnLines_;
    mutable View drawnView_;
    mutable bool valid_ = false;
    mutable int fullFills_ = 0;
    mutable int partialFills_ = 0;
};

}  // namespace corvel
