#include "shell/TFCOMM.h"

#include <QLabel>
#include <QProgressBar>

#include "Assets.h"
#include "decode/LcdPanel.h"
#include "shell/LimitPanel.h"

namespace corvel {

namespace {

QLabel* pictureLabel(QWidget* parent, const char* name, const QRect& r) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    l->setScaledContents(true);
    l->setPixmap(AssetPicture(QString::fromLatin1(name)));
    return l;
}

QLabel* fontLabel(QWidget* parent, const char* name, const QString& text, const QRect& r, const char* family,
                  int pixels, bool bold, bool italic = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    l->setFont(f);
    return l;
}

}  // namespace

TFCOMM::TFCOMM(WindowPlatform platform, QWidget* parent)
    : QMainWindow(parent), platform_(std::move(platform)), core_(*this, platform_.beeper, platform_.prompts) {
    setObjectName(QStringLiteral("FCOMM"));
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    windowFont.setBold(true);
    setFont(windowFont);

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setFixedSize(kClientWidth, kClientHeight);
    client_->setAutoFillBackground(true);
    QPalette white = client_->palette();
    white.setColor(QPalette::Window, Qt::white);
    client_->setPalette(white);
    setCentralWidget(client_);

    lcdPanel_ = new LcdPanel(client_);
    bar_ = new QProgressBar(client_);
    bar_->setObjectName(QStringLiteral("PBar2"));
    bar_->setGeometry(3, 297, 398, 12);
    bar_->setRange(0, 60);
    bar_->setValue(30);
    bar_->setTextVisible(false);
    limitPanel_ = new LimitPanel(core_.Judge(), client_);

    // The image panel lies right of the client area, out of the user's
    // reach, as the layout has it; the code still drives what it holds.
    kd_ = new QFrame(client_);
    kd_->setObjectName(QStringLiteral("KD"));
    kd_->setGeometry(kClientWidth + 8, 40, 335, 305);
    conOk_ = pictureLabel(kd_, "CONok", {8, 8, 120, 90});
    conOk_->hide();
    conOkN_ = pictureLabel(kd_, "CONokN", {8, 8, 120, 90});
    olText_ = new QFrame(kd_);
    olText_->setObjectName(QStringLiteral("oltext"));
    olText_->setGeometry(140, 8, 185, 60);
    olText_->setAutoFillBackground(true);
    QPalette grey = olText_->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    olText_->setPalette(grey);
    auto* olCaption = fontLabel(olText_, "oltextCaption", QStringLiteral("OL !!"), olText_->rect(), "Arial", 35, true);
    olCaption->setAlignment(Qt::AlignCenter);
    olCaption->setStyleSheet(QStringLiteral("color: white;"));
    olText_->hide();

    panel3_ = new QFrame(client_);
    panel3_->setObjectName(QStringLiteral("Panel3"));
    panel3_->setGeometry(3, 336, 398, 24);
    fontLabel(panel3_, "Label11", QStringLiteral("MIN: "), {4, 4, 40, 16}, "KORA-A2", 12, true);
    minText_ = fontLabel(panel3_, "MinText", QStringLiteral("00.00"), {44, 2, 70, 20}, "Arial", 14, false, true);
    minTextU_ = fontLabel(panel3_, "MinTextU", QString(), {116, 4, 60, 18}, "KORA-A2", 14, false);
    fontLabel(panel3_, "Label12", QStringLiteral("MAX: "), {200, 4, 40, 16}, "KORA-A2", 12, true);
    maxText_ = fontLabel(panel3_, "MaxText", QStringLiteral("30.00"), {240, 2, 70, 20}, "Arial", 14, false, true);
    maxTextU_ = fontLabel(panel3_, "MaxTextU", QString(), {312, 4, 60, 18}, "KORA-A2", 14, false);
    panel3_->hide();

    core_.afterDecode = [this](std::string_view) { renderMirror(); };
    FormCreate();
    setFixedSize(sizeHint());
}

TFCOMM::~TFCOMM() = default;

void TFCOMM::FormCreate() {
    core_.SetDecimalSeparator(platform_.decimalSeparator);
    core_.SetRange(RangeValuesFor("4"));
    // The layout shows the two second-row symbols until start-up clears them.
    core_.Mirror().label4.clear();
    core_.Mirror().label5.clear();
    setWindowTitle(QStringLiteral("Corvel Interface Program Ver:2.02") +
                   (platform_.host64 ? QStringLiteral("(x64)") : QStringLiteral("(x86)")));
    renderMirror();
}

void TFCOMM::renderMirror() {
    const LcdMirror& m = core_.Mirror();
    lcdPanel_->Render(m);
    limitPanel_->Render(m.image1Visible, m.image2Visible);
    if (bar_->value() != m.pbar2Position) bar_->setValue(m.pbar2Position);
    if (olText_->isVisibleTo(kd_) != core_.Judge().AlarmShown()) olText_->setVisible(core_.Judge().AlarmShown());
    if (conOk_->isVisibleTo(kd_) != m.conOkVisible) conOk_->setVisible(m.conOkVisible);
    if (conOkN_->isVisibleTo(kd_) != m.conOkNVisible) conOkN_->setVisible(m.conOkNVisible);
    auto setText = [](QLabel* l, const std::string& s) {
        const QString t = QString::fromStdString(s);
        if (l->text() != t) l->setText(t);
    };
    setText(minText_, m.minText);
    setText(maxText_, m.maxText);
    setText(minTextU_, m.minTextU);
    setText(maxTextU_, m.maxTextU);
}

void TFCOMM::HOakRData(void*, const std::uint8_t* data, std::int32_t size) { core_.Frames().HOakRData(data, size); }
void TFCOMM::HBirchRData(void*, const std::uint8_t* data, std::int32_t size) {
    core_.Frames().HBirchRData(data, size);
}
void TFCOMM::CComm1ReceiveData(const std::uint8_t* buffer, std::uint32_t length) {
    core_.Frames().CComm1ReceiveData(buffer, length);
}
void TFCOMM::HidDataToFrame(void*, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
    core_.Frames().HidDataToFrame(data, size);
}

void TFCOMM::LcdDisplayOak() {
    core_.Decoders().LcdDisplayOak(core_.Frames().CurrentFrame());
    renderMirror();
}
void TFCOMM::LcdDisplayPine() {
    core_.Decoders().LcdDisplayPine(core_.Frames().CurrentFrame());
    renderMirror();
}
void TFCOMM::LcdDisplayBirch() {
    core_.Decoders().LcdDisplayBirch(core_.Frames().CurrentFrame());
    renderMirror();
}

}  // namespace corvel
