#pragma once

#include <QFrame>

#include "record/LimitJudge.h"

class QLabel;
class QLineEdit;

namespace corvel {

// The round Pass/Fail lamp.
class Lamp : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetColor(const QColor& c);
    QColor Color() const { return color_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_;
};

// A picture that is shown or not by painting it or not. The activity
// blinker changes on every frame; hiding and showing real widgets that often
// makes the toolkit look for the mouse pointer each time, a round trip to
// the display server.
class BlinkImage : public QWidget {
    Q_OBJECT
public:
    BlinkImage(const QPixmap& picture, QWidget* parent);
    void SetShown(bool shown);
    bool Shown() const { return shown_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap picture_;
    bool shown_ = false;
};

// The limit panel: high and low limit edits, the measured value, the lamp
// with its verdict, and the activity blinker pair. Edits forward their
// events to the LimitJudge; Render shows what the judge holds.
class LimitPanel : public QFrame {
    Q_OBJECT
public:
    LimitPanel(LimitJudge& judge, QWidget* parent = nullptr);

    void Render(bool image1Visible, bool image2Visible);

    QLineEdit* T1HI() const { return high_; }
    QLineEdit* T1LO() const { return low_; }
    QLineEdit* T1VALUE() const { return value_; }
    QLabel* judgeLabel() const { return verdict_; }
    Lamp* Shape1() const { return lamp_; }
    BlinkImage* Image1() const { return image1_; }
    BlinkImage* Image2() const { return image2_; }

    static constexpr QRect kBounds{402, 41, 351, 116};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setEditText(LimitJudge::Edit edit, const std::string& text);

    LimitJudge& judge_;
    QLineEdit* high_;
    QLineEdit* low_;
    QLineEdit* value_;
    QLabel* verdict_;
    Lamp* lamp_;
    BlinkImage* image1_;
    BlinkImage* image2_;
    Verdict shownVerdict_ = Verdict::None;
};

}  // namespace corvel
