#pragma once

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QPixmap>
#include <array>

#include "decode/LcdMirror.h"

namespace corvel {

// A decimal point of the mirror: a solid black dot that is shown or not by
// painting it or not. A meter that auto-ranges moves its point on every
// frame; hiding and showing real widgets that often makes the toolkit look
// for the mouse pointer each time, a round trip to the display server.
class LcdDot : public QWidget {
    Q_OBJECT
public:
    explicit LcdDot(QWidget* parent);
    void SetShown(bool shown);
    bool Shown() const { return shown_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool shown_ = false;
};

// A digit of the mirror: a label whose picture is kept for each text it has
// shown. The digits are drawn in fonts too large for the toolkit's glyph
// cache, so each repaint turns their outlines into paths and fills them;
// a reading that changes every digit on every frame paid that four times a
// frame. The picture is the label's own drawing on a clear ground, and the
// text is black, so laying it over the panel gives the pixels the label
// itself gives. It is kept laid over the panel's own drawing as well, so a
// new digit is one copy, with nothing drawn beneath it.
class LcdDigit : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // Shows `text`, drawing its picture first if it is new.
    void ShowText(const QString& text);
    // Off: the label draws itself every time (the picture to compare with).
    void SetCaching(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The panel's own drawing where this digit stands, or an empty picture
    // when it cannot be had; drawn again when the panel's look changes.
    const QPixmap& Ground();

    bool caching_ = true;
    bool drawingPicture_ = false;
    QSize pictureSize_;
    QHash<QString, QPixmap> pictures_;
    // The pictures laid over the ground: with them the digit covers its
    // whole area, and the panel is not drawn again beneath it.
    QHash<QString, QPixmap> opaque_;
    QPixmap ground_;
    QRect groundGeometry_;
    qint64 groundPalette_ = 0;
    QSize groundPanelSize_;
};

// The on-screen copy of the meter's LCD: digit labels, decimal points and
// annunciators at the meter's own places on a cream panel. It draws what an
// LcdMirror says; Render touches only the elements that changed, so a
// meter streaming at full rate costs next to nothing.
class LcdPanel : public QFrame {
    Q_OBJECT
public:
    explicit LcdPanel(QWidget* parent = nullptr);

    void Render(const LcdMirror& mirror);

    LcdDigit* DigitLabel(Digit d) const { return digits_[static_cast<int>(d)]; }
    LcdDot* PointShape(Point p) const { return points_[static_cast<int>(p)]; }
    QWidget* AnnunciatorWidget(Annunciator a) const { return annunciators_[static_cast<int>(a)]; }
    QLabel* Label4() const { return label4_; }
    QLabel* Label5() const { return label5_; }

    static constexpr QRect kBounds{3, 40, 398, 257};

private:
    std::array<LcdDigit*, kDigitCount> digits_{};
    std::array<LcdDot*, kPointCount> points_{};
    std::array<QWidget*, kAnnunciatorCount> annunciators_{};
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    LcdMirror shown_;  // what the widgets show now
    bool first_ = true;
};

}  // namespace corvel
