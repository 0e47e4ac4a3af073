#include "decode/LcdPanel.h"

#include <QLabel>
#include <QPainter>
#include <QPalette>

#include "Assets.h"

namespace corvel {

namespace {

using A = Annunciator;

// The LCD's cream, the colour the layout calls clCream.
const QColor kCream(255, 251, 240);

QFont lcdFont(const char* family, int pixelSize, bool bold = false) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void styleLabel(QLabel* l, const QRect& r, const QFont& font) {
    l->setGeometry(r);
    // A digit changes on every frame. A label of fixed size and plain text
    // asks nothing of its parent's layout when its text changes, and does
    // not look its text over for markup.
    l->setFixedSize(r.size());
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
}

QLabel* textLabel(QWidget* parent, const QRect& r, const QString& caption, const QFont& font) {
    auto* l = new QLabel(caption, parent);
    l->setGeometry(r);
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
    return l;
}

struct WordSpec {
    A element;
    QRect bounds;
    const char* caption;
    int height;
};
struct PictureSpec {
    A element;
    QRect bounds;
    const char* picture;
};
struct SymbolSpec {
    A element;
    QRect bounds;
    const char* caption;
    const char* family;
    int height;
};

const WordSpec kWords[] = {
    {A::AVE, {6, 5, 31, 17}, "AVE", 16},
    {A::MAX, {94, 5, 38, 17}, "MAX", 16},
    {A::PH, {142, 5, 25, 17}, "PH", 16},
    {A::MIN, {174, 5, 32, 17}, "MIN", 16},
    {A::NO, {310, 5, 30, 17}, "NO.", 16},
    {A::usb, {342, 3, 43, 21}, "USB", 19},
    {A::ESC, {6, 25, 38, 22}, "ESC", 20},
    {A::NODATA, {46, 25, 75, 22}, "NOdata", 20},
    {A::VEL, {46, 57, 32, 22}, "VEL", 20},
    {A::FLOW, {6, 81, 59, 22}, "FLOW", 20},
    {A::KEY, {14, 121, 59, 17}, "KEY  IN", 16},
    {A::TEMP, {86, 121, 44, 17}, "TEMP", 16},
    {A::loadNO, {134, 119, 76, 17}, "LOAD NO", 16},
    {A::LOAD, {222, 119, 45, 17}, "LOAD", 16},
    {A::TIMER, {318, 113, 73, 22}, "h:mm:s", 20},
    {A::CFM, {278, 153, 46, 22}, "CFM", 20},
    {A::CMM, {334, 153, 51, 22}, "CMM", 20},
    {A::knots, {318, 177, 73, 22}, "KNOTS", 20},
    {A::mph, {270, 201, 47, 22}, "MPH", 20},
    {A::X1, {270, 225, 20, 22}, "x1", 20},
    {A::Z0, {294, 225, 9, 22}, "0", 20},
    {A::Z1, {310, 225, 9, 22}, "0", 20},
};

const PictureSpec kPictures[] = {
    {A::V23, {48, 5, 49, 21}, "V23"},        {A::READ, {216, 5, 49, 21}, "READ"},
    {A::rec, {272, 5, 33, 18}, "rec"},       {A::power, {8, 52, 32, 29}, "power"},
    {A::frame, {80, 56, 25, 25}, "frame"},   {A::t_p, {96, 80, 25, 33}, "t_p"},
    {A::RH, {328, 82, 57, 15}, "RH"},        {A::time_l, {272, 120, 49, 18}, "time_l"},
    {A::p_off, {-8, 159, 33, 34}, "p_off"},  {A::ms, {272, 175, 49, 18}, "ms"},
    {A::ftmin, {320, 199, 73, 18}, "ftmin"}, {A::kmh, {344, 225, 49, 18}, "kmh"},
};

const SymbolSpec kSymbols[] = {
    {A::LCDHold, {72, 70, 19, 39}, "\"", "KORA-A2", 35},
    {A::LcdFH, {109, 16, 26, 68}, "-", "KORA-A3", 100},
    {A::c, {328, 51, 18, 27}, "#", "KORA-A2", 24},
    {A::f, {360, 49, 23, 36}, "?", "KORA-A2", 32},
};

struct DigitSpec {
    QRect bounds;
    int height;
};
const DigitSpec kDigits[kDigitCount] = {
    {{24, 132, 43, 126}, 113},  {{88, 132, 43, 126}, 113}, {{152, 132, 43, 126}, 113},
    {{216, 132, 43, 126}, 113}, {{136, 16, 35, 104}, 93},  {{184, 16, 35, 104}, 93},
    {{232, 16, 35, 104}, 93},   {{280, 16, 35, 104}, 93},
};

const QRect kPoints[kPointCount] = {
    {73, 225, 7, 8}, {136, 225, 9, 7}, {200, 225, 7, 8}, {176, 89, 7, 8}, {224, 89, 7, 8}, {272, 89, 9, 8},
};

// Whether a shown sibling lower in the stack reaches into `w`'s area.
bool OverlapsWidgetBeneath(const QWidget& w) {
    for (const QObject* o : w.parentWidget()->children()) {
        if (o == &w) return false;
        const auto* sibling = qobject_cast<const QWidget*>(o);
        if (sibling && sibling->isVisible() && sibling->geometry().intersects(w.geometry())) return true;
    }
    return false;
}

}  // namespace

LcdDot::LcdDot(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LcdDot::SetShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    update();
}

void LcdDot::paintEvent(QPaintEvent*) {
    // A dot stands on the panel's plain ground and nothing else: painting
    // that ground itself when the dot is off spares the panel a repaint
    // beneath it each time the point moves.
    const QWidget* panel = parentWidget();
    const QBrush ground = panel ? panel->palette().brush(panel->backgroundRole()) : QBrush();
    const bool plainGround = panel && panel->autoFillBackground() && ground.style() == Qt::SolidPattern &&
                             ground.isOpaque() && panel->contentsRect().contains(geometry()) &&
                             !OverlapsWidgetBeneath(*this);
    if (plainGround != testAttribute(Qt::WA_OpaquePaintEvent)) {
        setAttribute(Qt::WA_OpaquePaintEvent, plainGround);
        if (!plainGround) {
            // Nothing was drawn beneath this time: let the panel draw it.
            update();
            return;
        }
    }
    // A rectangle drawn with a 5-pixel pen is a solid dot at this size.
    if (shown_) {
        QPainter(this).fillRect(rect(), Qt::black);
    } else if (plainGround) {
        QPainter(this).fillRect(rect(), ground.color());
    }
}

void LcdDigit::SetCaching(bool on) {
    caching_ = on;
    pictures_.clear();
    opaque_.clear();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

const QPixmap& LcdDigit::Ground() {
    QWidget* panel = parentWidget();
    if (!panel || !panel->autoFillBackground()) {
        ground_ = QPixmap();
        return ground_;
    }
    const qint64 palette = panel->palette().cacheKey();
    if (!ground_.isNull() && groundGeometry_ == geometry() && groundPalette_ == palette &&
        groundPanelSize_ == panel->size())
        return ground_;
    opaque_.clear();
    groundGeometry_ = geometry();
    groundPalette_ = palette;
    groundPanelSize_ = panel->size();
    // The panel's background and frame, without the elements on it.
    ground_ = QPixmap(size());
    ground_.fill(Qt::transparent);
    panel->render(&ground_, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    return ground_;
}

void LcdDigit::ShowText(const QString& text) {
    if (text != this->text()) setText(text);
    if (!caching_ || devicePixelRatio() != 1.0) return;
    if (pictureSize_ != size()) {
        pictures_.clear();
        opaque_.clear();
        pictureSize_ = size();
    }
    if (!pictures_.contains(text)) {
        QPixmap picture(size());
        picture.fill(Qt::transparent);
        drawingPicture_ = true;
        render(&picture, QPoint(), QRegion(), QWidget::RenderFlags());
        drawingPicture_ = false;
        pictures_.insert(text, picture);
    }
    // Only once the panel is shown: before that its look is not final.
    if (!opaque_.contains(text) && parentWidget() && parentWidget()->isVisible()) {
        const QPixmap& ground = Ground();
        if (ground.isNull()) return;
        QPixmap laid = ground;
        QPainter(&laid).drawPixmap(0, 0, pictures_.value(text));
        // The panel's drawing covers every pixel the digit shows: kept
        // without an alpha channel, the picture is copied, not blended.
        opaque_.insert(text, QPixmap::fromImage(laid.toImage().convertToFormat(QImage::Format_RGB32)));
    }
    if (opaque_.contains(text)) setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void LcdDigit::paintEvent(QPaintEvent* event) {
    const auto found = pictures_.constFind(text());
    const bool kept = caching_ && !drawingPicture_ && found != pictures_.constEnd() && pictureSize_ == size();
    if (kept && testAttribute(Qt::WA_OpaquePaintEvent)) {
        const QPixmap& ground = Ground();  // may drop the laid pictures
        const auto laid = opaque_.constFind(text());
        if (!ground.isNull() && laid != opaque_.constEnd()) {
            QPainter(this).drawPixmap(0, 0, *laid);
            return;
        }
    }
    if (testAttribute(Qt::WA_OpaquePaintEvent) && !drawingPicture_) {
        // The panel drew nothing beneath: lay its drawing first, or give
        // the area back to it.
        const QPixmap& ground = Ground();
        if (!ground.isNull()) {
            QPainter(this).drawPixmap(0, 0, ground);
        } else {
            setAttribute(Qt::WA_OpaquePaintEvent, false);
            update();
        }
    }
    if (!kept) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter(this).drawPixmap(0, 0, *found);
}

LcdPanel::LcdPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("LcdPanel"));
    setGeometry(kBounds);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kCream);
    setPalette(pal);

    for (int i = 0; i < kDigitCount; ++i) {
        digits_[i] = new LcdDigit(QString::fromStdString(shown_.digits[i]), this);
        styleLabel(digits_[i], kDigits[i].bounds, lcdFont("KORA-A3", kDigits[i].height));
        digits_[i]->setObjectName(QString::fromLatin1(DigitName(static_cast<Digit>(i)).data()));
    }
    for (int i = 0; i < kPointCount; ++i) {
        auto* dot = new LcdDot(this);
        dot->setGeometry(kPoints[i]);
        dot->setObjectName(QString::fromLatin1(PointName(static_cast<Point>(i)).data()));
        points_[i] = dot;
    }
    for (const WordSpec& w : kWords)
        annunciators_[static_cast<int>(w.element)] =
            textLabel(this, w.bounds, QString::fromLatin1(w.caption), lcdFont("KORA-A3", w.height, true));
    for (const SymbolSpec& s : kSymbols)
        annunciators_[static_cast<int>(s.element)] =
            textLabel(this, s.bounds, QString::fromLatin1(s.caption), lcdFont(s.family, s.height));
    for (const PictureSpec& p : kPictures) {
        auto* l = new QLabel(this);
        l->setGeometry(p.bounds);
        l->setScaledContents(true);
        l->setPixmap(AssetPicture(QString::fromLatin1(p.picture)));
        annunciators_[static_cast<int>(p.element)] = l;
    }
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        annunciators_[i]->setObjectName(QString::fromLatin1(AnnunciatorName(static_cast<A>(i)).data()));
        annunciators_[i]->hide();
    }
    label4_ = textLabel(this, {325, 27, 32, 26}, QStringLiteral("^"), lcdFont("Corvel7SegFont", 21));
    label4_->setObjectName(QStringLiteral("Label4"));
    label5_ = textLabel(this, {355, 22, 28, 29}, QStringLiteral(">"), lcdFont("Corvel7SegFont", 27, true));
    label5_->setObjectName(QStringLiteral("Label5"));
}

void LcdPanel::Render(const LcdMirror& m) {
    for (int i = 0; i < kDigitCount; ++i) {
        if (first_ || m.digits[i] != shown_.digits[i])
            digits_[i]->ShowText(QString::fromStdString(m.digits[i]));
    }
    for (int i = 0; i < kPointCount; ++i) {
        if (first_ || m.points[i] != shown_.points[i]) points_[i]->SetShown(m.points[i]);
    }
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        if (first_ || m.annunciators[i] != shown_.annunciators[i])
            annunciators_[i]->setVisible(m.annunciators[i]);
    }
    if (first_ || m.label4 != shown_.label4) label4_->setText(QString::fromStdString(m.label4));
    if (first_ || m.label5 != shown_.label5) label5_->setText(QString::fromStdString(m.label5));
    shown_.digits = m.digits;
    shown_.points = m.points;
    shown_.annunciators = m.annunciators;
    shown_.label4 = m.label4;
    shown_.label5 = m.label5;
    first_ = false;
}

}  // namespace corvel
