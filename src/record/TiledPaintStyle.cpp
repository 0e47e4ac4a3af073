#include "record/TiledPaintStyle.h"

#include <QImage>
#include <QPainter>
#include <QStyleOptionComplex>
#include <algorithm>

namespace corvel {

TiledPaintStyle::TiledPaintStyle(QObject* parent) {
    setParent(parent);
}

void TiledPaintStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                          QPainter* painter, const QWidget* widget) const {
    const QRect area = option->rect;
    const qreal ratio = painter && painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const int tile = std::max(1, static_cast<int>(kTile / ratio));
    if (!painter || (area.height() <= tile && area.width() <= tile)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    for (int top = area.top(); top <= area.bottom(); top += tile) {
        for (int left = area.left(); left <= area.right(); left += tile) {
            const QRect piece(left, top, std::min(tile, area.right() - left + 1), std::min(tile, area.bottom() - top + 1));
            QImage image(piece.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::transparent);
            {
                QPainter p(&image);
                p.setRenderHints(painter->renderHints());
                p.setFont(painter->font());
                p.setPen(painter->pen());
                p.setBrush(painter->brush());
                p.translate(-piece.topLeft());
                // Without a clip of its own the painter passes lines that
                // run past the image on whole, and the pool gets them.
                p.setClipRect(piece);
                QProxyStyle::drawComplexControl(control, option, &p, widget);
            }
            painter->drawImage(piece.topLeft(), image);
        }
    }
}

}  // namespace corvel
