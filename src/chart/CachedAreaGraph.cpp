#include "chart/CachedAreaGraph.h"

#include <algorithm>
#include <cmath>

namespace corvel {

namespace {
// Pixels left of the last kept point that are drawn again with the new
// points: the closing edge of the old fill sat on that point, and the old
// line ended there; their smoothed edges, and the line's end cap, reach
// into the pixels beside it.
constexpr int kSeamMargin = 4;
}  // namespace

bool CachedAreaGraph::CanCache(const QCPPainter* painter) const {
    const QPaintDevice* device = painter->device();
    // Exports draw with no caching, and a picture of another scale would
    // not copy pixel for pixel.
    if (!device || painter->modes() != QCPPainter::pmDefault) return false;
    if (keyAxis()->orientation() != Qt::Horizontal) return false;
    if (device->devType() != QInternal::Pixmap && device->devType() != QInternal::Image) return false;
    return device->devicePixelRatio() == 1.0 &&
           painter->compositionMode() == QPainter::CompositionMode_SourceOver;
}

qsizetype CachedAreaGraph::FirstPointFor(const QVector<QPointF>& lines, qsizetype last, int left) {
    // The fill is the area between the line and the base, so its pixels
    // right of a point depend only on the line from that point on: what
    // lies left of it adds up to the same cover on every pixel row. Start
    // a point clear of the area, so the edge the shortened fill closes
    // with stays outside it too.
    for (qsizetype i = last; i > 0; --i) {
        if (lines[i - 1].x() > lines[i].x()) return 0;  // not a line from left to right
        if (lines[i].x() <= left - kSeamMargin) return i;
    }
    return 0;
}

bool CachedAreaGraph::Render(const View& view, const QVector<QPointF>& lines, qsizetype first,
                             const QRect& area) const {
    QCPPainter p(&picture_);
    p.setModes(QCPPainter::pmDefault);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(area, Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The same steps the layer takes before it asks a series to draw.
    p.setClipRect(area);
    applyDefaultAntialiasingHint(&p);
    // A painter in another state would draw other pixels.
    if (p.transform() != view.transform || p.testRenderHint(QPainter::Antialiasing) != view.antialiased)
        return false;
    p.setBrush(view.brush);
    p.setPen(Qt::NoPen);
    QVector<QPointF> part(lines.cbegin() + first, lines.cend());
    QCPGraph::drawFill(&p, &part);
    if (view.pen.style() != Qt::NoPen && !part.isEmpty()) {
        // The line goes over the fill, as the series draws it. A smoothed
        // line cut by the clip is drawn from where it is cut, which rounds
        // its pixels differently; so it is clipped where the series clips
        // it, and only left of its first point, where no segment crosses.
        // The pixels it draws there, left of the area, are put back.
        const int from = std::min(area.left(), static_cast<int>(std::floor(part.front().x())) - kSeamMargin);
        const QRect lineClip = view.clip & QRect(QPoint(from, view.clip.top()), view.clip.bottomRight());
        const QRect outside = lineClip & QRect(QPoint(lineClip.left(), view.clip.top()),
                                               QPoint(area.left() - 1, view.clip.bottom()));
        const QImage before = outside.isEmpty() ? QImage() : picture_.copy(outside);
        // Set as the layer sets it, before the smoothing painter's half
        // pixel shift.
        const QTransform shift = p.transform();
        p.resetTransform();
        p.setClipRect(lineClip);
        p.setTransform(shift);
        p.setPen(view.pen);
        p.setBrush(Qt::NoBrush);
        QCPGraph::drawLinePlot(&p, part);
        if (!outside.isEmpty()) {
            // Pixel for pixel: the smoothing painter draws half a pixel off.
            p.resetTransform();
            p.setClipping(false);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(outside.topLeft(), before);
        }
    }
    return true;
}

bool CachedAreaGraph::FirstOnItsOwnLayer() const {
    if (!layer() || layer()->mode() != QCPLayer::lmBuffered) return false;
    for (QCPLayerable* drawn : layer()->children())
        if (drawn->realVisibility()) return drawn == this;
    return false;
}

void CachedAreaGraph::drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const {
    if (lineDrawn_) {
        lineDrawn_ = false;
        return;
    }
    QCPGraph::drawLinePlot(painter, lines);
}

void CachedAreaGraph::drawFill(QCPPainter* painter, QVector<QPointF>* lines) const {
    lineDrawn_ = false;
    if (!caching_ || !lines || !CanCache(painter) || painter->brush().style() == Qt::NoBrush) {
        QCPGraph::drawFill(painter, lines);
        return;
    }
    View view;
    view.device = painter->device();
    view.size = QSize(view.device->width(), view.device->height());
    view.clip = clipRect().translated(0, -1) & QRect(QPoint(0, 0), view.size);
    view.keyRange = keyAxis()->range();
    view.valueRange = valueAxis()->range();
    view.axisRect = keyAxis()->axisRect()->rect();
    view.brush = painter->brush();
    // The line can join the picture only when the series draws it plainly
    // after the fill, on the same clear layer.
    const bool plainLine =
        lineStyle() == lsLine && scatterStyle().isNone() && selection().isEmpty() && FirstOnItsOwnLayer();
    view.pen = plainLine ? pen() : QPen(Qt::NoPen);
    view.transform = painter->transform();
    view.antialiased = painter->testRenderHint(QPainter::Antialiasing);
    view.fillAntialiased = antialiasedFill();
    view.plotAntialiased = mParentPlot->antialiasedElements();
    view.plotNotAntialiased = mParentPlot->notAntialiasedElements();
    if (view.clip.isEmpty()) return;

    const bool sameView = valid_ && drawnView_ == view && picture_.size() == view.size;
    const qsizetype kept = drawnLines_.size();
    const bool continues = sameView && kept > 0 && lines->size() >= kept &&
                           std::equal(drawnLines_.cbegin(), drawnLines_.cend(), lines->cbegin());
    bool drawn = true;
    if (continues && lines->size() == kept) {
        // Nothing new: the picture stands.
    } else if (continues) {
        const int left = static_cast<int>(std::floor(drawnLines_.back().x())) - kSeamMargin;
        const QRect area = view.clip & QRect(QPoint(left, view.clip.top()), view.clip.bottomRight());
        if (!area.isEmpty()) drawn = Render(view, *lines, FirstPointFor(*lines, kept - 1, left), area);
        ++partialFills_;
    } else {
        if (picture_.size() != view.size) picture_ = QImage(view.size, QImage::Format_ARGB32_Premultiplied);
        picture_.fill(Qt::transparent);
        drawn = Render(view, *lines, 0, view.clip);
        ++fullFills_;
    }
    if (!drawn) {
        valid_ = false;
        QCPGraph::drawFill(painter, lines);
        return;
    }
    drawnLines_ = *lines;
    drawnView_ = view;
    valid_ = true;
    lineDrawn_ = view.pen.style() != Qt::NoPen;
    painter->save();
    painter->resetTransform();
    painter->drawImage(view.clip.topLeft(), picture_, view.clip);
    painter->restore();
}

}  // namespace corvel
