#pragma once

#include <QProxyStyle>

namespace corvel {

// Draws a complex control in tiles no larger than kTile x kTile device
// pixels.
//
// Qt's raster painter hands any fill of 96 spans or more to its global
// thread pool in pieces and waits for them; a rectangle gives a span a
// line, an antialiased line about one a pixel. On a widget repainted
// several times a second, such as the grid's scroll bars while a meter
// streams, each repaint then wakes the pool's threads a dozen times for a
// few microseconds of drawing, and those wake-ups cost more than the
// drawing itself. Drawn through clips of fewer pixels each way, the same
// fills stay on the GUI thread. Each tile is drawn into an image of its own
// and laid onto the painter: a style may set clips of its own while it
// draws, but it cannot draw beyond the image. The picture is the same.
class TiledPaintStyle final : public QProxyStyle {
public:
    static constexpr int kTile = 64;

    // Follows the application's style; owned by `parent` when one is given.
    explicit TiledPaintStyle(QObject* parent = nullptr);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
};

}  // namespace corvel
