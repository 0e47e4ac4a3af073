#include "shell/LimitPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

#include "Assets.h"
#include "shell/FocusMove.h"

namespace corvel {

namespace {

QColor neutral() {
    return QApplication::palette().color(QPalette::ToolTipBase);
}
QColor verdictColor(Verdict v) {
    switch (v) {
        case Verdict::Pass: return QColor::fromRgb(LimitJudge::kPassRgb);
        case Verdict::Fail: return QColor::fromRgb(LimitJudge::kFailRgb);
        case Verdict::None: break;
    }
    return neutral();
}

void setBackground(QWidget* w, const QColor& c, QPalette::ColorRole role) {
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

QLabel* caption(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, 100, 18);
    return l;
}

}  // namespace

BlinkImage::BlinkImage(const QPixmap& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BlinkImage::SetShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    update();
}

void BlinkImage::draw(QPainter& p) const {
    if (!shown_) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture_);
}

void BlinkImage::paintEvent(QPaintEvent* event) {
    if (coversGround_ &&
        kept_.Paint(*this, event->region(), shown_ ? QByteArrayLiteral("on") : QByteArrayLiteral("off"),
                    [this](QPainter& p) { draw(p); }))
        return;
    QPainter p(this);
    draw(p);
}

void Lamp::SetColor(const QColor& c) {
    if (c == color_) return;
    color_ = c;
    update();
}

void Lamp::draw(QPainter& p) const {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(color_);
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

void Lamp::paintEvent(QPaintEvent* event) {
    const QRgb rgba = color_.rgba();
    const QByteArray look(reinterpret_cast<const char*>(&rgba), sizeof rgba);
    if (kept_.Paint(*this, event->region(), look, [this](QPainter& p) { draw(p); })) return;
    QPainter p(this);
    draw(p);
}

LimitPanel::LimitPanel(LimitJudge& judge, QWidget* parent) : QFrame(parent), judge_(judge) {
    setObjectName(QStringLiteral("Panel4"));
    setGeometry(kBounds);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    // The panel lets the window's ground show through inside its edge.
    setProperty(kDrawsOnlyItsFrame, true);

    caption(this, QStringLiteral("Set High Limit:"), 8, 11)->setObjectName(QStringLiteral("T1_HI"));
    caption(this, QStringLiteral("Measure Value:"), 8, 47)->setObjectName(QStringLiteral("T1_Value"));
    caption(this, QStringLiteral("Set Low Limit:"), 8, 87)->setObjectName(QStringLiteral("T1_LO"));

    const QString hint = QStringLiteral("Please enter a number here.");
    high_ = new QLineEdit(QString::fromStdString(judge.HighText()), this);
    high_->setObjectName(QStringLiteral("T1HI"));
    high_->setGeometry(108, 7, 104, 24);
    high_->setToolTip(hint);
    low_ = new QLineEdit(QString::fromStdString(judge.LowText()), this);
    low_->setObjectName(QStringLiteral("T1LO"));
    low_->setGeometry(108, 83, 104, 24);
    low_->setToolTip(hint);

    value_ = new ValueBox(QString::fromStdString(judge.ValueText()), this);
    value_->setObjectName(QStringLiteral("T1VALUE"));
    value_->setGeometry(108, 37, 104, 40);
    value_->setReadOnly(true);
    value_->setFocusPolicy(Qt::NoFocus);
    QFont valueFont(QStringLiteral("Arial"));
    valueFont.setPixelSize(21);
    valueFont.setBold(true);
    value_->setFont(valueFont);
    setBackground(value_, neutral(), QPalette::Base);

    lamp_ = new Lamp(this);
    lamp_->setObjectName(QStringLiteral("Shape1"));
    lamp_->setGeometry(218, 12, 92, 92);
    lamp_->SetColor(neutral());
    verdict_ = new VerdictLabel(this);
    verdict_->setObjectName(QStringLiteral("judge"));
    verdict_->setGeometry(232, 44, 64, 28);
    // The verdict changes on every frame at a limit: as a digit of the
    // mirror, its size is fixed and its text plain.
    verdict_->setFixedSize(verdict_->size());
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setAlignment(Qt::AlignCenter);
    QFont verdictFont(QStringLiteral("MS Sans Serif"));
    verdictFont.setPixelSize(24);
    verdictFont.setBold(true);
    verdict_->setFont(verdictFont);
    verdict_->setAutoFillBackground(true);
    setBackground(verdict_, neutral(), QPalette::Window);

    image1_ = new BlinkImage(AssetPicture(QStringLiteral("Image1")), this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(310, 13, 25, 24);
    image1_->SetCoversGround(true);
    image2_ = new BlinkImage(AssetPicture(QStringLiteral("Image2")), this);
    image2_->setObjectName(QStringLiteral("Image2"));
    image2_->setGeometry(310, 13, 25, 24);
    image2_->SetShown(true);

    for (QLineEdit* e : {high_, low_}) e->installEventFilter(this);
    connect(high_, &QLineEdit::textChanged, this,
            [this](const QString& t) { judge_.T1HIChange(t.toStdString()); });
    connect(low_, &QLineEdit::textChanged, this,
            [this](const QString& t) { judge_.T1LOChange(t.toStdString()); });
    judge_.onEditTextSet = [this](LimitJudge::Edit edit, const std::string& text) {
        setEditText(edit, text);
    };
}

void LimitPanel::setEditText(LimitJudge::Edit edit, const std::string& text) {
    // The judge runs its own change rule for the text it puts back.
    QLineEdit* e = edit == LimitJudge::Edit::T1HI ? high_ : low_;
    const QSignalBlocker block(e);
    e->setText(QString::fromStdString(text));
}

bool LimitPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool isHigh = watched == high_;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Keys that type nothing (arrows, Delete, Tab) and control chords
        // such as Ctrl+V are the edit's own business.
        if (text.size() == 1) {
            const QChar ch = text.front();
            if (ch.unicode() == 8 || ch.unicode() >= 32) {
                if (ch.unicode() == 127) return false;
                const char c = ch.unicode() < 128 ? static_cast<char>(ch.unicode()) : '\x01';
                const bool passes = isHigh ? judge_.T1HIKeyPress(c) : judge_.T1LOKeyPress(c);
                if (!passes) return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut &&
               // Only when the user really leaves the edit: a menu, a message
               // box or another window must not put the old text back under
               // the cursor.
               FocusMovesToAnotherControl(static_cast<QWidget*>(watched),
                                          *static_cast<QFocusEvent*>(event))) {
        if (isHigh) {
            judge_.T1HIExit();
        } else {
            judge_.T1LOExit();
        }
    }
    return QFrame::eventFilter(watched, event);
}

void LimitPanel::Render(bool image1Visible, bool image2Visible) {
    const Verdict v = judge_.CurrentVerdict();
    if (v != shownVerdict_) {
        const QColor c = verdictColor(v);
        setBackground(value_, c, QPalette::Base);
        lamp_->SetColor(c);
        setBackground(verdict_, c, QPalette::Window);
        verdict_->Show(v == Verdict::Pass   ? QStringLiteral("Pass")
                       : v == Verdict::Fail ? QStringLiteral("Fail")
                                            : QString());
        shownVerdict_ = v;
    }
    // After the colours: the picture is drawn for the look it will show.
    value_->Show(QString::fromStdString(judge_.ValueText()));
    image1_->SetShown(image1Visible);
    image2_->SetShown(image2Visible);
}

void LimitPanel::SetPictureCaching(bool on) {
    lamp_->SetCaching(on);
    image1_->SetCoversGround(on);
    value_->SetCaching(on);
    verdict_->SetCaching(on);
}

}  // namespace corvel
