#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QSize>
#include <functional>
#include <optional>

class QPainter;
class QRegion;
class QWidget;

namespace corvel {

// A frame whose class draws nothing but its edge carries this property set
// to true.
inline constexpr char kDrawsOnlyItsFrame[] = "drawsOnlyItsFrame";

// The one colour the widgets beneath `w` paint where it stands, or none when
// they may paint more than a plain colour there (a gradient, a picture, the
// edge of a frame, a style sheet, a widget of unknown drawing).
std::optional<QColor> PlainGroundUnder(const QWidget& w);

// Marks `w` as painting every pixel of its area, so that nothing beneath it
// is drawn again when it repaints; turned off, the area beneath is drawn
// again at once.
void SetCoversItsArea(QWidget& w, bool covers);

// Copies `picture` onto the painter's device where `region` asks. A region
// of several rectangles is copied one rectangle at a time: under a clip of
// many rectangles the toolkit blends a picture line by line and hands the
// lines of a large one to worker threads, waking them for a few thousand
// pixels, while a copy under one rectangle is a plain block copy.
void DrawPicture(QPainter& p, const QPixmap& picture, const QRegion& region);

// A font's key, written out again only when the font changes: the key is
// every attribute of the font as text, and a widget asks on every frame.
class FontKey {
public:
    const QByteArray& Of(const QFont& font);

private:
    std::optional<QFont> font_;
    QByteArray key_;
};

// What a widget's drawing depends on besides its own data: its size, its
// state, its font and its palette's colours in the group it draws with.
QByteArray WidgetLook(const QWidget& w, FontKey& fontKey);

// Pictures of a widget's drawing laid over the ground it stands on, one per
// look, for parts of the window that change on every frame between a few
// looks (the lamp, its verdict, the measured value). Drawing the picture
// once and copying it afterwards gives the pixels the widget gives when it
// draws itself on that ground each time, and the widget then covers its
// whole area, so nothing beneath it is drawn again either.
class KeptPictures {
public:
    // Paints the picture kept for `look` on `w` where `region` asks,
    // drawing it with `draw` on the ground first when it is new and `draw`
    // is given. False when there is no picture to paint: the widget then
    // draws itself, and the ground beneath it has been laid already.
    bool Paint(QWidget& w, const QRegion& region, const QByteArray& look,
               const std::function<void(QPainter&)>& draw);
    // Draws the picture for `look` if it is not kept yet, outside a paint.
    void Prepare(QWidget& w, const QByteArray& look, const std::function<void(QPainter&)>& draw);
    // Off: the widget always draws itself (the picture to compare with).
    void SetOn(QWidget& w, bool on);
    // Pictures drawn so far.
    int Drawn() const { return drawn_; }

private:
    // The ground under `w` now; keeps the pictures only while it and the
    // size stay.
    std::optional<QColor> Ground(const QWidget& w);
    const QPixmap* Find(QWidget& w, const QByteArray& look, const std::function<void(QPainter&)>& draw);

    bool on_ = true;
    QSize size_;
    QRgb ground_ = 0;
    QHash<QByteArray, QPixmap> pictures_;
    int drawn_ = 0;
};

}  // namespace corvel
