// The window's widgets as the layout places them: the top row, the log
// toolbar, the menus and the controls kept out of the user's reach. The
// handlers they call live in TFCOMM.cpp.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "Assets.h"
#include "chart/ChartToolbar.h"
#include "chart/TrendChart.h"
#include "decode/LcdPanel.h"
#include "links/TCComm.h"
#include "links/TCommPortDriver.h"
#include "record/LogTableGrid.h"
#include "record/LogTableModel.h"
#include "record/ReadingLog.h"
#include "shell/HelpWindows.h"
#include "shell/LimitPanel.h"
#include "shell/OutOfReach.h"
#include "shell/TFCOMM.h"

namespace corvel {

namespace {

// A panel the layout uses as a button.
class PanelButton : public QLabel {
public:
    PanelButton(const QString& caption, QWidget* parent, std::function<void()> onClick)
        : QLabel(caption, parent), onClick_(std::move(onClick)) {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setAlignment(Qt::AlignCenter);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (isEnabled() && rect().contains(e->position().toPoint()) && onClick_) onClick_();
    }

private:
    std::function<void()> onClick_;
};

// Clicks on the image panel's enlarge and restore icons.
class ClickImage : public QLabel {
public:
    ClickImage(QWidget* parent, std::function<void()> onClick)
        : QLabel(parent), onClick_(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent*) override {
        if (onClick_) onClick_();
    }

private:
    std::function<void()> onClick_;
};

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

QToolButton* speedButton(QWidget* parent, const char* name, const QString& hint, const QRect& r) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    b->setToolTip(hint);
    b->setIcon(QIcon(AssetPicture(QString::fromLatin1(name))));
    b->setAutoRaise(true);
    return b;
}

// The platform's keys for a standard command. Some platforms bind no key
// to a command (Quit, where windows close by their close box); the
// program's own commands keep their usual key there too.
QList<QKeySequence> StandardKeys(QKeySequence::StandardKey key) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (!keys.isEmpty()) return keys;
    switch (key) {
        case QKeySequence::Save: return {QKeySequence(Qt::CTRL | Qt::Key_S)};
        case QKeySequence::Open: return {QKeySequence(Qt::CTRL | Qt::Key_O)};
        case QKeySequence::Print: return {QKeySequence(Qt::CTRL | Qt::Key_P)};
        case QKeySequence::Quit: return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
        default: return {};
    }
}

// A button's hint, then what it does and the key that does it too.
QString ToolTip(const QString& hint, const QString& doing,
                QKeySequence::StandardKey key = QKeySequence::UnknownKey) {
    QString tip = hint + QLatin1Char('\n') + doing;
    const QList<QKeySequence> keys = StandardKeys(key);
    const QString keyText = keys.isEmpty() ? QString() : keys.front().toString(QKeySequence::NativeText);
    if (!keyText.isEmpty()) tip += QStringLiteral(" (%1)").arg(keyText);
    return tip;
}

// Everything the layout keeps out of the user's reach lies right of the
// client area, where the window clips it.
constexpr int kOutOfReach = TFCOMM::kClientWidth + 8;

}  // namespace

void TFCOMM::buildTopRow() {
    usbCon_ = speedButton(client_, "USBCon", QStringLiteral("USB Connect"), {20, 6, 120, 25});
    usbCon_->setText(QStringLiteral("USB Connect"));
    usbCon_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    usbCon_->setCheckable(true);
    connect(usbCon_, &QToolButton::clicked, this, [this](bool down) {
        connection_->SetDown(ConnectionControl::GroupButton::USBCon, down);
        USBConClick();
    });
    quit_ = new QPushButton(QStringLiteral("Quit"), client_);
    quit_->setObjectName(QStringLiteral("BitBtn1"));
    quit_->setGeometry(20 + 709 - 75, 6, 75, 25);
    connect(quit_, &QPushButton::clicked, this, &TFCOMM::BitBtn1Click);
}

void TFCOMM::buildLogToolbar() {
    auto* bar = new QWidget(client_);
    bar->setObjectName(QStringLiteral("LogToolbar"));
    bar->setGeometry(3, 312, 398, 21);
    repeatSet_ = new QCheckBox(QStringLiteral("Repeat"), bar);
    repeatSet_->setObjectName(QStringLiteral("RepeatSet"));
    repeatSet_->setToolTip(QStringLiteral("Repeage Record"));
    repeatSet_->setGeometry(2, 1, 66, 19);
    recordSI_ = new QCheckBox(QStringLiteral("Sampling Interval                 'S"), bar);
    recordSI_->setObjectName(QStringLiteral("RecordSI"));
    recordSI_->setGeometry(72, 1, 206, 19);
    recordSITime_ = new QLineEdit(bar);
    recordSITime_->setObjectName(QStringLiteral("RecordSITime"));
    // Over the blank stretch of the check box's caption, before the 'S.
    recordSITime_->setGeometry(
        72 + 18 + recordSI_->fontMetrics().horizontalAdvance(QStringLiteral("Sampling Interval ")), 1, 44,
        19);
    recordSITime_->installEventFilter(new DigitKeyFilter(recordSITime_));

    connect(repeatSet_, &QCheckBox::clicked, this, [this](bool checked) {
        log_->SetRepeatSetChecked(checked);
        btFillClick();
    });
    connect(recordSI_, &QCheckBox::toggled, this,
            [this](bool checked) { log_->SetRecordSIChecked(checked); });
    connect(recordSITime_, &QLineEdit::textChanged, this,
            [this](const QString& t) { log_->RecordSITimeChange(t.toStdString()); });

    // The icon-only buttons' hints, each with a line on what it does.
    auto* recordNew =
        speedButton(bar, "RecordNew",
                    ToolTip(QStringLiteral("Close Data"),
                            QStringLiteral("Empties the log and the chart for a new record (Record -> New)")),
                    {302, 0, 22, 21});
    connect(recordNew, &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    // Data files: open old ones, save the log.
    openDataFiles_ = speedButton(
        bar, "OpenDataFiles",
        ToolTip(QStringLiteral("Open old data files"),
                QStringLiteral("Loads a saved log into the grid and the chart"), QKeySequence::Open),
        {326, 0, 22, 21});
    connect(openDataFiles_, &QToolButton::clicked, this, &TFCOMM::SpeedButton2Click);
    connect(speedButton(bar, "saveas",
                        ToolTip(QStringLiteral("Save data files"),
                                QStringLiteral("Saves the log as a text table or an XML data packet"),
                                QKeySequence::Save),
                        {350, 0, 22, 21}),
            &QToolButton::clicked, this, &TFCOMM::saveasClick);
    // ---- printed report
    btPrint_ = speedButton(
        bar, "BtPrint",
        ToolTip(QStringLiteral("Print"), QStringLiteral("Shows the log as the printed report, to print it"),
                QKeySequence::Print),
        {374, 0, 22, 21});
    connect(btPrint_, &QToolButton::clicked, this, &TFCOMM::BtPrintClick);
}

void TFCOMM::buildMenus() {
    QMenu* connectMenu = menuBar()->addMenu(QStringLiteral("Connect"));
    connectMenu->setObjectName(QStringLiteral("Connect1"));
    start1_ = connectMenu->addAction(QStringLiteral("START"), this, &TFCOMM::BTCon1Click);
    start1_->setObjectName(QStringLiteral("START1"));
    start1_->setCheckable(true);
    stop1_ = connectMenu->addAction(QStringLiteral("STOP"), this, &TFCOMM::BtDiscon1Click);
    stop1_->setObjectName(QStringLiteral("STOP1"));
    stop1_->setCheckable(true);
    stop1_->setEnabled(false);
    connectMenu->addSeparator();
    serialPort1_ = connectMenu->addAction(QStringLiteral("Serial Port..."), this, &TFCOMM::SerialPort1Click);
    serialPort1_->setObjectName(QStringLiteral("SerialPort1"));

    QMenu* graphic = menuBar()->addMenu(QStringLiteral("Graphic"));
    graphic->setObjectName(QStringLiteral("Graphic"));
    graphic->addAction(QStringLiteral("First"), this, &TFCOMM::BtFirstClick)
        ->setObjectName(QStringLiteral("First"));
    graphic->addAction(QStringLiteral("Previous"), this, &TFCOMM::BTPreviousClick)
        ->setObjectName(QStringLiteral("Previous"));
    graphic->addAction(QStringLiteral("Next"), this, &TFCOMM::BtNextClick)
        ->setObjectName(QStringLiteral("Next"));
    graphic->addAction(QStringLiteral("Last"), this, &TFCOMM::BTlastClick)
        ->setObjectName(QStringLiteral("Last"));
    graphic->addSeparator()->setObjectName(QStringLiteral("N1"));
    graphic->addAction(QStringLiteral("New"), this, &TFCOMM::BtNewClick)
        ->setObjectName(QStringLiteral("New"));
    graphic->addAction(QStringLiteral("Save"), this, &TFCOMM::BtSaveClick)
        ->setObjectName(QStringLiteral("Save"));
    graphic->addSeparator()->setObjectName(QStringLiteral("N2"));
    fill_ = graphic->addAction(QStringLiteral("Fill"), this, &TFCOMM::FillClick);
    fill_->setObjectName(QStringLiteral("Fill"));
    fill_->setCheckable(true);
    fill_->setChecked(true);
    // View options of the chart, off unless the user chose them in an
    // earlier run.
    fitToReadings_ = graphic->addAction(QStringLiteral("Fit to Readings"), this, &TFCOMM::FitToReadingsClick);
    fitToReadings_->setObjectName(QStringLiteral("FitToReadings"));
    fitToReadings_->setCheckable(true);
    fitToReadings_->setChecked(chartSettings_.Read(ChartViewSettings::kFitToReadings));
    chart_->SetFitToReadings(fitToReadings_->isChecked());
    limitLines_ = graphic->addAction(QStringLiteral("Limit Lines"), this, &TFCOMM::LimitLinesClick);
    limitLines_->setObjectName(QStringLiteral("LimitLines"));
    limitLines_->setCheckable(true);
    limitLines_->setChecked(chartSettings_.Read(ChartViewSettings::kLimitLines));
    chart_->SetLimitLines(limitLines_->isChecked());

    QMenu* record = menuBar()->addMenu(QStringLiteral("Record"));
    record->setObjectName(QStringLiteral("Record1"));
    record->addAction(QStringLiteral("New"), this, &TFCOMM::RecordNewClick)
        ->setObjectName(QStringLiteral("New1"));
    QAction* save1 = record->addAction(QStringLiteral("Save"), this, &TFCOMM::saveasClick);
    save1->setObjectName(QStringLiteral("Save1"));
    save1->setShortcuts(StandardKeys(QKeySequence::Save));
    record->addSeparator()->setObjectName(QStringLiteral("N3"));
    static const char* kNames[6] = {"N10001", "N50001", "N100001", "N500001", "N1000001", "limitess"};
    for (int i = 0; i < 6; ++i) {
        const auto entry = static_cast<ReadingLog::LimitEntry>(i);
        QAction* a = record->addAction(QString::fromLatin1(ReadingLog::LimitCaption(entry).data(),
                                                           int(ReadingLog::LimitCaption(entry).size())));
        a->setObjectName(QString::fromLatin1(kNames[i]));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, entry] {
            log_->SetLimit(entry);
            // Qt has already toggled the mark; choosing the checked entry
            // again changes nothing in the log, so put the marks back here.
            renderLogControls();
        });
        limitActions_[i] = a;
    }
    renderLogControls();
}

void TFCOMM::buildHelpMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* contents = help->addAction(QString::fromLatin1(kHelpCaption), this, &TFCOMM::HelpContentsClick);
    contents->setObjectName(QStringLiteral("HelpContents1"));
    contents->setShortcut(QKeySequence::HelpContents);
    help->addAction(QString::fromLatin1(kAboutCaption), this, &TFCOMM::AboutClick)
        ->setObjectName(QStringLiteral("About1"));
}

void TFCOMM::buildShortcuts() {
    // The keys every desktop program has, for the commands that are only
    // buttons: each clicks its button, so that it runs exactly what the
    // button runs (Quit asks its question). Save is the Record menu's.
    const std::pair<QKeySequence::StandardKey, QAbstractButton*> keys[] = {
        {QKeySequence::Open, openDataFiles_}, {QKeySequence::Print, btPrint_}, {QKeySequence::Quit, quit_}};
    for (const auto& [key, button] : keys) {
        auto* action = new QAction(this);
        action->setObjectName(button->objectName() + QStringLiteral("Key"));
        action->setShortcuts(StandardKeys(key));
        connect(action, &QAction::triggered, button, &QAbstractButton::click);
        addAction(action);
    }
}

void TFCOMM::buildOutOfReach() {
    kd_ = new QFrame(client_);
    kd_->setObjectName(QStringLiteral("KD"));
    kd_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    kd_->setAutoFillBackground(true);
    kd_->setGeometry(kOutOfReach, 200, 353, 356);
    kd1_ = pictureLabel(kd_, "KD1", {2, 2, 349, 352});
    conOk_ = pictureLabel(kd_, "CONok", {10, 10, 120, 90});
    conOk_->hide();
    conOkN_ = pictureLabel(kd_, "CONokN", {10, 10, 120, 90});
    olText_ = new QFrame(kd_);
    olText_->setObjectName(QStringLiteral("oltext"));
    olText_->setGeometry(140, 10, 180, 60);
    olText_->setAutoFillBackground(true);
    QPalette grey = olText_->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    olText_->setPalette(grey);
    auto* olCaption =
        fontLabel(olText_, "oltextCaption", QStringLiteral("OL !!"), olText_->rect(), "Arial", 35, true);
    olCaption->setAlignment(Qt::AlignCenter);
    olCaption->setStyleSheet(QStringLiteral("color: white;"));
    olText_->hide();
    auto* kdFd = new ClickImage(kd_, [this] { KdFdClick(); });
    kdFd->setObjectName(QStringLiteral("KdFd"));
    kdFd->setPixmap(AssetPicture(QStringLiteral("TbFd")));
    kdFd->setScaledContents(true);
    kdFd->hide();
    kdFd_ = kdFd;
    auto* kdSx = new ClickImage(kd_, [this] { KdFdClick(); });
    kdSx->setObjectName(QStringLiteral("KdSx"));
    kdSx->setPixmap(AssetPicture(QStringLiteral("TbSx")));
    kdSx->setScaledContents(true);
    kdSx->hide();
    kdSx_ = kdSx;
    KDResize();

    panel3_ = new QFrame(client_);
    panel3_->setObjectName(QStringLiteral("Panel3"));
    panel3_->setGeometry(kOutOfReach, 40, 398, 24);
    fontLabel(panel3_, "Label11", QStringLiteral("MIN: "), {4, 4, 40, 16}, "KORA-A2", 12, true);
    minText_ =
        fontLabel(panel3_, "MinText", QStringLiteral("00.00"), {44, 2, 70, 20}, "Arial", 14, false, true);
    minTextU_ = fontLabel(panel3_, "MinTextU", QString(), {116, 4, 60, 18}, "KORA-A2", 14, false);
    fontLabel(panel3_, "Label12", QStringLiteral("MAX: "), {200, 4, 40, 16}, "KORA-A2", 12, true);
    maxText_ =
        fontLabel(panel3_, "MaxText", QStringLiteral("30.00"), {240, 2, 70, 20}, "Arial", 14, false, true);
    maxTextU_ = fontLabel(panel3_, "MaxTextU", QString(), {312, 4, 60, 18}, "KORA-A2", 14, false);
    panel3_->hide();

    auto* links = new QWidget(client_);
    links->setObjectName(QStringLiteral("LinkPanels"));
    links->setGeometry(kOutOfReach, 70, 400, 120);
    btCon_ = new PanelButton(QStringLiteral("Connect"), links, [this] { BTCon1Click(); });
    btCon_->setObjectName(QStringLiteral("BTCon"));
    btCon_->setGeometry(0, 0, 80, 24);
    btDiscon_ = new PanelButton(QStringLiteral("Disconnect"), links, [this] { BtDiscon1Click(); });
    btDiscon_->setObjectName(QStringLiteral("BtDiscon"));
    btDiscon_->setGeometry(0, 0, 80, 24);
    btDiscon_->hide();
    btExit_ = new PanelButton(QStringLiteral("Exit"), links, [this] { BtExit1Click(); });
    btExit_->setObjectName(QStringLiteral("BtExit"));
    btExit_->setGeometry(90, 0, 60, 24);
    const std::function<void()> cycle[4] = {[this] { COM21Click(); }, [this] { COM31Click(); },
                                            [this] { COM41Click(); }, [this] { COM11Click(); }};
    for (int i = 0; i < 4; ++i) {
        btCom_[i] = new PanelButton(QStringLiteral("COM %1").arg(i + 1), links, cycle[i]);
        btCom_[i]->setObjectName(QStringLiteral("BtCOM%1").arg(i + 1));
        btCom_[i]->setGeometry(160, 0, 60, 24);
        btCom_[i]->setVisible(i == 0);
    }
    comCon_ = speedButton(links, "COMCon", QStringLiteral("COM Connect"), {230, 0, 110, 24});
    comCon_->setText(QStringLiteral("COM Connect"));
    comCon_->setCheckable(true);
    connect(comCon_, &QToolButton::clicked, this, [this](bool down) {
        connection_->SetDown(ConnectionControl::GroupButton::COMCon, down);
        COMConClick();
    });
    readBtn_ = new QToolButton(links);
    readBtn_->setObjectName(QStringLiteral("ReadBtn"));
    readBtn_->setText(QStringLiteral("Read"));
    readBtn_->setCheckable(true);
    readBtn_->setGeometry(0, 30, 60, 24);
    // USB bridge controls: out of reach, and kept out of the focus chain;
    // USB Connect runs Read and SetFeature, the lists mirror the bridge's.
    connect(readBtn_, &QToolButton::clicked, this, [this](bool down) {
        connection_->SetDown(ConnectionControl::GroupButton::ReadBtn, down);
        ReadBtnClick();
    });
    readBtn_->setFocusPolicy(Qt::NoFocus);
    const std::pair<const char*, void (TFCOMM::*)()> bridgeButtons[] = {
        {"SetFeature", &TFCOMM::SetFeatureClick},
        {"ClearBtn", &TFCOMM::ClearBtnClick},
        {"InfoBtn", &TFCOMM::InfoBtnClick}};
    int x = 70;
    for (const auto& [name, handler] : bridgeButtons) {
        QString caption = QString::fromLatin1(name);
        if (caption.endsWith(QLatin1String("Btn"))) caption.chop(3);
        auto* b = new QPushButton(caption, links);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 30, 70, 24);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, handler);
        x += 75;
    }
    devListBox_ = new QListWidget(links);
    devListBox_->setObjectName(QStringLiteral("DevListBox"));
    devListBox_->setGeometry(0, 60, 190, 56);
    devListBox_->setFocusPolicy(Qt::NoFocus);
    historyListBox_ = new QListWidget(links);
    historyListBox_->setObjectName(QStringLiteral("HistoryListBox"));
    historyListBox_->setGeometry(200, 60, 190, 56);
    historyListBox_->setFocusPolicy(Qt::NoFocus);

    auto* alarm = new QWidget(client_);
    alarm->setObjectName(QStringLiteral("AlarmPanel"));
    alarm->setGeometry(kOutOfReach, 360, 300, 60);
    setMaxB_ = new QCheckBox(QStringLiteral("SetMax:"), alarm);
    setMaxB_->setObjectName(QStringLiteral("SetMaxB"));
    setMaxB_->setGeometry(0, 0, 80, 24);
    setmax_ = new QLineEdit(QStringLiteral("3000"), alarm);
    setmax_->setObjectName(QStringLiteral("Setmax"));
    setmax_->setGeometry(84, 0, 70, 24);
    setMinB_ = new QCheckBox(QStringLiteral("SetMin: "), alarm);
    setMinB_->setObjectName(QStringLiteral("SetMinB"));
    setMinB_->setGeometry(0, 30, 80, 24);
    setmin_ = new QLineEdit(QStringLiteral("-3000"), alarm);
    setmin_->setObjectName(QStringLiteral("SetMin"));
    setmin_->setGeometry(84, 30, 70, 24);
    connect(setMaxB_, &QCheckBox::toggled, this, [this](bool on) { core_.Judge().SetMaxB = on; });
    connect(setMinB_, &QCheckBox::toggled, this, [this](bool on) { core_.Judge().SetMinB = on; });
    // The threshold edits take digits and signs only.
    class SetmaxKeys : public QObject {
    public:
        using QObject::QObject;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() != QEvent::KeyPress) return false;
            const QString t = static_cast<QKeyEvent*>(e)->text();
            if (t.size() != 1 || (t[0].unicode() < 32 && t[0].unicode() != 8) || t[0].unicode() == 127)
                return false;
            return !LimitJudge::SetmaxKeyPress(t[0].unicode() < 128 ? char(t[0].unicode()) : '\x01');
        }
    };
    setmax_->installEventFilter(new SetmaxKeys(setmax_));
    setmin_->installEventFilter(new SetmaxKeys(setmin_));

    // The profile switches: read once at start-up, never reachable.
    auto* switches = new QWidget(client_);
    switches->setObjectName(QStringLiteral("ProfileSwitches"));
    switches->setGeometry(kOutOfReach, 430, 300, 120);
    int y = 0;
    for (ProfileSwitch s :
         {ProfileSwitch::IFAlder, ProfileSwitch::Holly, ProfileSwitch::IFBirch, ProfileSwitch::IFCedar,
          ProfileSwitch::IFHazel, ProfileSwitch::IFLarch, ProfileSwitch::IFMaple}) {
        const QString name =
            QString::fromLatin1(ProfileSwitchName(s).data(), int(ProfileSwitchName(s).size()));
        auto* box = new QCheckBox(name, switches);
        box->setObjectName(name);
        box->setChecked(platform_.profile.count(s) > 0);
        box->setEnabled(false);
        box->setGeometry(0, y, 120, 16);
        y += 16;
    }

    // ---- out of the user's reach: no key reaches these either
    for (QWidget* area : std::initializer_list<QWidget*>{kd_, panel3_, links, alarm, switches})
        OutOfReach::Keep(area);
}

}  // namespace corvel
