#include "shell/KeptPictures.h"

#include <QFrame>
#include <QPainter>
#include <QRegion>
#include <QVariant>
#include <QWidget>

namespace corvel {

namespace {
// A widget shows only a few looks; a bound keeps a widget whose text runs
// through many values from holding a picture of each.
constexpr qsizetype kMostPictures = 32;

std::optional<QColor> PlainBrush(const QWidget& w) {
    const QBrush b = w.palette().brush(w.backgroundRole());
    if (b.style() != Qt::SolidPattern || !b.isOpaque()) return std::nullopt;
    return b.color();
}
}  // namespace

std::optional<QColor> PlainGroundUnder(const QWidget& w) {
    QRect area = w.geometry();
    for (const QWidget* under = w.parentWidget(); under; under = under->parentWidget()) {
        if (!under->styleSheet().isEmpty() || under->testAttribute(Qt::WA_StyleSheet)) return std::nullopt;
        if (under->autoFillBackground() || under->isWindow()) return PlainBrush(*under);
        // A widget that fills no background of its own paints only what its
        // class draws: a plain widget nothing, a frame only its edge.
        const QMetaObject* kind = under->metaObject();
        const auto* frame = qobject_cast<const QFrame*>(under);
        const bool onlyFrame =
            kind == &QFrame::staticMetaObject || under->property(kDrawsOnlyItsFrame).toBool();
        const bool drawsNothingHere = kind == &QWidget::staticMetaObject ||
                                      (frame && onlyFrame && frame->contentsRect().contains(area));
        if (!drawsNothingHere) return std::nullopt;
        area.translate(under->pos());
    }
    return std::nullopt;
}

void SetCoversItsArea(QWidget& w, bool covers) {
    if (w.testAttribute(Qt::WA_OpaquePaintEvent) == covers) return;
    w.setAttribute(Qt::WA_OpaquePaintEvent, covers);
    // Once it is no longer opaque, what lies beneath must be drawn again.
    if (!covers) w.update();
}

void DrawPicture(QPainter& p, const QPixmap& picture, const QRegion& region) {
    if (region.rectCount() <= 1) {
        p.drawPixmap(0, 0, picture);
        return;
    }
    for (const QRect& r : region) {
        p.setClipRect(r);
        p.drawPixmap(r.topLeft(), picture, r);
    }
}

const QByteArray& FontKey::Of(const QFont& font) {
    if (!font_ || !(*font_ == font)) {
        font_ = font;
        key_ = font.key().toUtf8();
    }
    return key_;
}

QByteArray WidgetLook(const QWidget& w, FontKey& fontKey) {
    QByteArray look;
    const QPalette& pal = w.palette();
    const QPalette::ColorGroup group = !w.isEnabled()       ? QPalette::Disabled
                                       : w.isActiveWindow() ? QPalette::Active
                                                            : QPalette::Inactive;
    look.reserve(8 + QPalette::NColorRoles * 4);
    const auto add = [&look](quint32 v) { look.append(reinterpret_cast<const char*>(&v), sizeof v); };
    add(static_cast<quint32>(group));
    add(static_cast<quint32>(w.hasFocus()) | static_cast<quint32>(w.underMouse()) << 1);
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        add(pal.color(group, static_cast<QPalette::ColorRole>(role)).rgba());
    look.append(fontKey.Of(w.font()));
    return look;
}

void KeptPictures::SetOn(QWidget& w, bool on) {
    on_ = on;
    pictures_.clear();
    SetCoversItsArea(w, false);
    w.update();
}

std::optional<QColor> KeptPictures::Ground(const QWidget& w) {
    if (!on_ || w.devicePixelRatio() != 1.0) return std::nullopt;
    const std::optional<QColor> ground = w.autoFillBackground() ? PlainBrush(w) : PlainGroundUnder(w);
    if (!ground) return std::nullopt;
    // A widget that fills its own background has it in its look already.
    const QRgb under = w.autoFillBackground() ? 0 : ground->rgba();
    if (w.size() != size_ || under != ground_) {
        pictures_.clear();
        size_ = w.size();
        ground_ = under;
    }
    return ground;
}

const QPixmap* KeptPictures::Find(QWidget& w, const QByteArray& look,
                                  const std::function<void(QPainter&)>& draw) {
    const std::optional<QColor> ground = Ground(w);
    if (!ground) return nullptr;
    auto found = pictures_.constFind(look);
    if (found != pictures_.constEnd()) return &*found;
    if (!draw) return nullptr;
    if (pictures_.size() >= kMostPictures) pictures_.clear();
    QPixmap picture(w.size());
    picture.fill(*ground);
    {
        QPainter p(&picture);
        draw(p);
    }
    ++drawn_;
    return &*pictures_.insert(look, picture);
}

void KeptPictures::Prepare(QWidget& w, const QByteArray& look, const std::function<void(QPainter&)>& draw) {
    // A widget not shown yet may not have its style's last touches.
    if (w.isVisible()) Find(w, look, draw);
}

bool KeptPictures::Paint(QWidget& w, const QRegion& region, const QByteArray& look,
                         const std::function<void(QPainter&)>& draw) {
    if (const QPixmap* picture = Find(w, look, draw)) {
        SetCoversItsArea(w, true);
        QPainter p(&w);
        DrawPicture(p, *picture, region);
        return true;
    }
    if (w.testAttribute(Qt::WA_OpaquePaintEvent)) {
        // Nothing was drawn beneath an opaque widget: lay the ground the
        // widgets beneath would have laid, or give the area back to them.
        if (const std::optional<QColor> ground = Ground(w)) {
            QPainter(&w).fillRect(w.rect(), *ground);
        } else {
            SetCoversItsArea(w, false);
        }
    }
    return false;
}

}  // namespace corvel
