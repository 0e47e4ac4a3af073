#include "chart/ChartToolbar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "chart/TrendChart.h"
#include "record/ReadingLog.h"

namespace corvel {

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.isEmpty()) return false;  // arrows, Delete and the like are no characters
    const QChar c = text.front();
    // Control characters other than Backspace are shortcuts (copy, paste):
    // they reach the edit untouched.
    if (c.unicode() < 32 && c.unicode() != 8) return false;
    char key = c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x7f';
    return !ReadingLog::RecordSITimeKeyPress(key);
}

namespace {

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& hint, QStyle::StandardPixmap icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    button->setFixedSize(28, 28);
    return button;
}

// The icon-only buttons' hints, each with a line on what it does.
QString Tip(const char* hint, const char* doing) {
    return QString::fromLatin1(hint) + QLatin1Char('\n') + QString::fromLatin1(doing);
}

}  // namespace

ChartToolbar::ChartToolbar(TrendChart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
    setObjectName(QStringLiteral("ChartToolbar"));
    // The enlarged chart moves the toolbar over the window's top row: it
    // paints its own background so that nothing below shows through.
    setAutoFillBackground(true);

    btFill_ = new QCheckBox(QStringLiteral("Fill"), this);
    btFill_->setObjectName(QStringLiteral("BtFill"));
    btFill_->setToolTip(QStringLiteral("Graphic Fill"));
    maxrecord_ = new QLineEdit(chart_.MaxrecordText(), this);
    maxrecord_->setObjectName(QStringLiteral("Maxrecord"));
    maxrecord_->setFixedWidth(40);
    maxrecord_->installEventFilter(new DigitKeyFilter(maxrecord_));
    btSave_ = MakeButton(this, "BtSave", Tip("Save", "Saves the chart as a bitmap picture"),
                         QStyle::SP_DialogSaveButton);
    btFirst_ = MakeButton(this, "BtFirst", Tip("First", "Shows the chart's first page"),
                          QStyle::SP_MediaSkipBackward);
    btPrevious_ = MakeButton(this, "BTPrevious", Tip("Previous", "Shows the chart's previous page"),
                             QStyle::SP_MediaSeekBackward);
    bt10_ = new QToolButton(this);
    bt10_->setObjectName(QStringLiteral("Bt10"));
    bt10_->setToolTip(QStringLiteral("Page No."));
    bt10_->setMinimumSize(40, 28);
    QPalette blue = bt10_->palette();
    blue.setColor(QPalette::ButtonText, Qt::blue);
    bt10_->setPalette(blue);
    btNext_ =
        MakeButton(this, "BtNext", Tip("Next", "Shows the chart's next page"), QStyle::SP_MediaSeekForward);
    btLast_ =
        MakeButton(this, "BTlast", Tip("last", "Shows the chart's last page"), QStyle::SP_MediaSkipForward);
    tbFd_ = MakeButton(this, "TbFd", Tip("Graphic Enlarge", "Enlarges the chart over the window"),
                       QStyle::SP_TitleBarMaxButton);
    tbSx_ = MakeButton(this, "TbSx", Tip("Graphic Restore", "Puts the chart back in its place"),
                       QStyle::SP_TitleBarNormalButton);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    for (QWidget* w : std::initializer_list<QWidget*>{btFill_, maxrecord_, btSave_, btFirst_, btPrevious_,
                                                      bt10_, btNext_, btLast_, tbFd_, tbSx_})
        row->addWidget(w);
    row->addStretch();

    connect(btFill_, &QCheckBox::clicked, &chart_,
            [this](bool checked) { chart_.SetBtFillChecked(checked); });
    connect(maxrecord_, &QLineEdit::textChanged, &chart_,
            [this](const QString& text) { chart_.MaxrecordChange(text); });
    connect(btSave_, &QToolButton::clicked, &chart_, [this] { chart_.BtSaveClick(); });
    connect(btFirst_, &QToolButton::clicked, &chart_, [this] { chart_.BtFirstClick(); });
    connect(btPrevious_, &QToolButton::clicked, &chart_, [this] { chart_.BTPreviousClick(); });
    connect(btNext_, &QToolButton::clicked, &chart_, [this] { chart_.BtNextClick(); });
    connect(btLast_, &QToolButton::clicked, &chart_, [this] { chart_.BTlastClick(); });
    connect(tbFd_, &QToolButton::clicked, &chart_, [this] { chart_.TbFdClick(); });
    connect(tbSx_, &QToolButton::clicked, &chart_, [this] { chart_.TbFdClick(); });

    connect(&chart_, &TrendChart::fillChanged, this, &ChartToolbar::Mirror);
    connect(&chart_, &TrendChart::pageCaptionChanged, this, &ChartToolbar::Mirror);
    connect(&chart_, &TrendChart::enlargedChanged, this, &ChartToolbar::Mirror);
    connect(&chart_, &TrendChart::maxrecordTextChanged, this, &ChartToolbar::Mirror);
    Mirror();
}

void ChartToolbar::Mirror() {
    btFill_->setChecked(chart_.BtFillChecked());
    bt10_->setText(chart_.Bt10Caption());
    tbFd_->setVisible(chart_.TbFdVisible());
    tbSx_->setVisible(chart_.TbSxVisible());
    if (maxrecord_->text() != chart_.MaxrecordText()) {
        const QSignalBlocker quiet(maxrecord_);
        maxrecord_->setText(chart_.MaxrecordText());
    }
}

}  // namespace corvel
