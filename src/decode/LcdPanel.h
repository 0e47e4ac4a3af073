#pragma once

#include <QFrame>
#include <array>

#include "decode/LcdMirror.h"

class QLabel;

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

// The on-screen copy of the meter's LCD: digit labels, decimal points and
// annunciators at the meter's own places on a cream panel. It draws what an
// LcdMirror says; Render touches only the elements that changed, so a
// meter streaming at full rate costs next to nothing.
class LcdPanel : public QFrame {
    Q_OBJECT
public:
    explicit LcdPanel(QWidget* parent = nullptr);

    void Render(const LcdMirror& mirror);

    QLabel* DigitLabel(Digit d) const { return digits_[static_cast<int>(d)]; }
    LcdDot* PointShape(Point p) const { return points_[static_cast<int>(p)]; }
    QWidget* AnnunciatorWidget(Annunciator a) const { return annunciators_[static_cast<int>(a)]; }
    QLabel* Label4() const { return label4_; }
    QLabel* Label5() const { return label5_; }

    static constexpr QRect kBounds{3, 40, 398, 257};

private:
    std::array<QLabel*, kDigitCount> digits_{};
    std::array<LcdDot*, kPointCount> points_{};
    std::array<QWidget*, kAnnunciatorCount> annunciators_{};
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    LcdMirror shown_;  // what the widgets show now
    bool first_ = true;
};

}  // namespace corvel
