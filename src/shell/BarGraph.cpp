#include "shell/BarGraph.h"

#include <QPainter>
#include <QStyle>

#include "shell/KeptPictures.h"

namespace corvel {

void BarGraph::paintEvent(QPaintEvent* event) {
    QStyleOptionProgressBar opt;
    initStyleOption(&opt);
    const std::optional<QColor> under = PlainGroundUnder(*this);
    if (!under || opt.textVisible || devicePixelRatio() != 1.0) {
        if (testAttribute(Qt::WA_OpaquePaintEvent)) {
            // Nothing was drawn beneath: give the area back to what lies
            // beneath, whose drawing comes first from now on.
            SetCoversItsArea(*this, false);
            return;
        }
        QProgressBar::paintEvent(event);
        return;
    }
    Look look;
    look.size = size();
    look.minimum = opt.minimum;
    look.maximum = opt.maximum;
    look.state = opt.state;
    look.palette = opt.palette.cacheKey();
    look.group = opt.palette.currentColorGroup();
    look.under = *under;
    if (!(look == look_)) {
        pictures_.clear();
        look_ = look;
    }
    auto found = pictures_.find(opt.progress);
    if (found == pictures_.end()) {
        QPixmap picture(size());
        picture.fill(look.under);
        {
            // The state a painter on the widget itself starts in.
            QPainter p(&picture);
            p.setPen(palette().color(foregroundRole()));
            p.setBrush(palette().brush(backgroundRole()));
            p.setFont(font());
            p.setLayoutDirection(layoutDirection());
            style()->drawControl(QStyle::CE_ProgressBar, &opt, &p, this);
        }
        ++drawn_;
        found = pictures_.emplace(opt.progress, std::move(picture)).first;
    }
    // The picture covers the whole bar, ground and all: nothing beneath
    // needs drawing again when the bar moves.
    SetCoversItsArea(*this, true);
    QPainter(this).drawPixmap(0, 0, found->second);
}

}  // namespace corvel
