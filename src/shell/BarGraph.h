#pragma once

#include <QPixmap>
#include <QProgressBar>
#include <QStyleOptionProgressBar>
#include <map>

namespace corvel {

// The bar graph PBar2, drawn as the style draws a progress bar but kept as
// one picture a position. A reading that jumps between the scale's ends
// moves the bar on every frame, and the style's rounded, shaded bar costs
// more to draw than everything else the frame changes. A picture is drawn
// over the colour of the panel beneath, so it is the pixels a direct
// drawing gives; where nothing plain and opaque lies beneath, the bar draws
// itself directly. A bar drawn from its pictures covers its whole area, so the
// panel beneath is not drawn again when it moves.
class BarGraph final : public QProgressBar {
    Q_OBJECT
public:
    using QProgressBar::QProgressBar;

    // Pictures drawn so far (each position is drawn once).
    int PicturesDrawn() const { return drawn_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QSize size;
        int minimum = 0;
        int maximum = 0;
        QStyle::State state;
        qint64 palette = 0;
        QPalette::ColorGroup group = QPalette::Active;
        QColor under;
        bool operator==(const Look& o) const {
            return size == o.size && minimum == o.minimum && maximum == o.maximum && state == o.state &&
                   palette == o.palette && group == o.group && under == o.under;
        }
    };

    Look look_;
    std::map<int, QPixmap> pictures_;
    int drawn_ = 0;
};

}  // namespace corvel
