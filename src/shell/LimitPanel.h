#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>

#include "record/LimitJudge.h"
#include "shell/KeptPictures.h"

namespace corvel {

// The round Pass/Fail lamp. A reading that hovers at a limit changes its
// colour on every frame, and a smoothed circle is costly to draw: each
// colour is drawn once and kept as a picture.
class Lamp : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void SetColor(const QColor& c);
    QColor Color() const { return color_; }
    // Off: the lamp draws itself every time (the picture to compare with).
    void SetCaching(bool on) { kept_.SetOn(*this, on); }
    int PicturesDrawn() const { return kept_.Drawn(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void draw(QPainter& p) const;

    QColor color_;
    KeptPictures kept_;
};

// A line edit or a label whose drawing is kept as a picture for each text
// and look it shows: the measured value and the verdict change on every
// frame between a few texts, and laying out and drawing a large bold text
// with the style's frame around it costs more than copying its pixels.
template <class Base>
class KeptTextWidget : public Base {
public:
    using Base::Base;
    // Shows `text`, drawing the picture of its present look first if new.
    void Show(const QString& text) {
        // Called for every frame: the same text in the same colours has its
        // picture already.
        const qint64 palette = this->palette().cacheKey();
        if (text == this->text() && palette == preparedPalette_) return;
        if (text != this->text()) this->setText(text);
        preparedPalette_ = this->isVisible() ? palette : 0;  // nothing is drawn while hidden
        kept_.Prepare(*this, look(), [this](QPainter& p) {
            drawingPicture_ = true;
            this->render(&p, QPoint(), QRegion(), QWidget::RenderFlags());
            drawingPicture_ = false;
        });
    }
    // Off: the widget draws itself every time (the picture to compare with).
    void SetCaching(bool on) { kept_.SetOn(*this, on); }
    int PicturesDrawn() const { return kept_.Drawn(); }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (drawingPicture_ || !kept_.Paint(*this, event->region(), look(), {})) Base::paintEvent(event);
    }

private:
    QByteArray look() { return this->text().toUtf8() + '\0' + WidgetLook(*this, fontKey_); }

    KeptPictures kept_;
    FontKey fontKey_;
    bool drawingPicture_ = false;
    qint64 preparedPalette_ = 0;
};
using ValueBox = KeptTextWidget<QLineEdit>;
using VerdictLabel = KeptTextWidget<QLabel>;

// A picture that is shown or not by painting it or not. The activity
// blinker changes on every frame; hiding and showing real widgets that often
// makes the toolkit look for the mouse pointer each time, a round trip to
// the display server. The lower of the blinker's pair keeps both of its
// looks laid over the ground beneath, so a blink draws nothing under it.
class BlinkImage : public QWidget {
    Q_OBJECT
public:
    BlinkImage(const QPixmap& picture, QWidget* parent);
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    // On: the image covers its area with its kept looks (nothing else may
    // lie beneath it that should show through).
    void SetCoversGround(bool on) {
        coversGround_ = on;
        kept_.SetOn(*this, on);
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void draw(QPainter& p) const;

    QPixmap picture_;
    bool shown_ = false;
    bool coversGround_ = false;
    KeptPictures kept_;
};

// The limit panel: high and low limit edits, the measured value, the lamp
// with its verdict, and the activity blinker pair. Edits forward their
// events to the LimitJudge; Render shows what the judge holds.
class LimitPanel : public QFrame {
    Q_OBJECT
public:
    LimitPanel(LimitJudge& judge, QWidget* parent = nullptr);

    void Render(bool image1Visible, bool image2Visible);
    // Off: the lamp, the verdict and the measured value draw themselves
    // every time (the pictures to compare with).
    void SetPictureCaching(bool on);

    QLineEdit* T1HI() const { return high_; }
    QLineEdit* T1LO() const { return low_; }
    ValueBox* T1VALUE() const { return value_; }
    VerdictLabel* judgeLabel() const { return verdict_; }
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
    ValueBox* value_;
    VerdictLabel* verdict_;
    Lamp* lamp_;
    BlinkImage* image1_;
    BlinkImage* image2_;
    Verdict shownVerdict_ = Verdict::None;
};

}  // namespace corvel
