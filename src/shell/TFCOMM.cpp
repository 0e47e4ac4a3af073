#include "shell/TFCOMM.h"

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
#include "shell/LimitPanel.h"

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
    ClickImage(QWidget* parent, std::function<void()> onClick) : QLabel(parent), onClick_(std::move(onClick)) {}

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

// Everything the layout keeps out of the user's reach lies right of the
// client area, where the window clips it.
constexpr int kOutOfReach = TFCOMM::kClientWidth + 8;
constexpr int kStreamingDisplayMs = 300;

}  // namespace

// Shows the log's control states (menu check marks, check boxes) when the
// log changes them.
class LogControlsObserver final : public ReadingLog::Observer {
public:
    explicit LogControlsObserver(std::function<void()> f) : f_(std::move(f)) {}
    void ControlsChanged() override { f_(); }

private:
    std::function<void()> f_;
};

TFCOMM::TFCOMM(WindowPlatform platform, QWidget* parent)
    : QMainWindow(parent),
      platform_(std::move(platform)),
      ownClock_(platform_.clock ? nullptr : std::make_unique<SystemClock>()),
      core_(*this, platform_.beeper, platform_.prompts) {
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

    buildTopRow();
    lcdPanel_ = new LcdPanel(client_);
    bar_ = new QProgressBar(client_);
    bar_->setObjectName(QStringLiteral("PBar2"));
    bar_->setGeometry(3, 297, 398, 12);
    bar_->setRange(0, 60);
    bar_->setValue(30);
    bar_->setTextVisible(false);
    limitPanel_ = new LimitPanel(core_.Judge(), client_);

    chart_ = new TrendChart(platform_.prompts, client_);
    log_ = std::make_unique<ReadingLog>(core_.CurrentReading(), core_.Mirror(), *chart_, platform_.prompts,
                                        platform_.clock ? *platform_.clock : *ownClock_);
    logModel_ = std::make_unique<LogTableModel>(*log_);
    grid_ = new LogGrid(*logModel_, client_);
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    grid_->setGeometry(3, 336, 398, 220);
    // Rows and points arrive up to many times a second; the grid and the
    // chart catch up three times a second, the mirror at once.
    logModel_->SetAnnounceDelay(kStreamingDisplayMs);
    chart_->SetStreamingReplotDelay(kStreamingDisplayMs);
    buildLogToolbar();
    buildOutOfReach();
    buildMenus();
    wireLinks();

    core_.afterDecode = [this](std::string_view) { renderMirror(); };
    connect(chart_, &TrendChart::enlargedChanged, this, [this](bool enlarged) {
        limitPanel_->setVisible(!enlarged);
        quit_->setVisible(!enlarged);
    });
    connect(chart_, &TrendChart::fillChanged, this, [this] { fill_->setChecked(chart_->FillMenuChecked()); });

    FormCreate();
    setFixedSize(sizeHint());
    // A fixed single border: system menu, minimise and close boxes only.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
}

TFCOMM::~TFCOMM() {
    // The links stop before the objects they deliver to go away.
    if (comm2_) comm2_->SetOnReceiveData({});
    if (ccomm1_) ccomm1_->SetOnReceiveData({});
    log_->RemoveObserver(logObserver_.get());
}

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
    recordSITime_->setGeometry(72 + 18 + recordSI_->fontMetrics().horizontalAdvance(QStringLiteral("Sampling Interval ")),
                               1, 44, 19);
    recordSITime_->installEventFilter(new DigitKeyFilter(recordSITime_));

    connect(repeatSet_, &QCheckBox::clicked, this, [this](bool checked) {
        log_->SetRepeatSetChecked(checked);
        btFillClick();
    });
    connect(recordSI_, &QCheckBox::toggled, this, [this](bool checked) { log_->SetRecordSIChecked(checked); });
    connect(recordSITime_, &QLineEdit::textChanged, this,
            [this](const QString& t) { log_->RecordSITimeChange(t.toStdString()); });

    auto* recordNew = speedButton(bar, "RecordNew", QStringLiteral("Close Data"), {302, 0, 22, 21});
    connect(recordNew, &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    // Opening, saving and printing the log come with the data files and
    // the report; until then their buttons are there but do nothing.
    speedButton(bar, "OpenDataFiles", QStringLiteral("Open old data files"), {326, 0, 22, 21})->setEnabled(false);
    speedButton(bar, "saveas", QStringLiteral("Save data files"), {350, 0, 22, 21})->setEnabled(false);
    speedButton(bar, "BtPrint", QStringLiteral("Print"), {374, 0, 22, 21})->setEnabled(false);

    logObserver_ = std::make_unique<LogControlsObserver>([this] { renderLogControls(); });
    log_->AddObserver(logObserver_.get());
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

    QMenu* graphic = menuBar()->addMenu(QStringLiteral("Graphic"));
    graphic->setObjectName(QStringLiteral("Graphic"));
    graphic->addAction(QStringLiteral("First"), this, &TFCOMM::BtFirstClick)->setObjectName(QStringLiteral("First"));
    graphic->addAction(QStringLiteral("Previous"), this, &TFCOMM::BTPreviousClick)
        ->setObjectName(QStringLiteral("Previous"));
    graphic->addAction(QStringLiteral("Next"), this, &TFCOMM::BtNextClick)->setObjectName(QStringLiteral("Next"));
    graphic->addAction(QStringLiteral("Last"), this, &TFCOMM::BTlastClick)->setObjectName(QStringLiteral("Last"));
    graphic->addSeparator()->setObjectName(QStringLiteral("N1"));
    graphic->addAction(QStringLiteral("New"), this, &TFCOMM::BtNewClick)->setObjectName(QStringLiteral("New"));
    graphic->addAction(QStringLiteral("Save"), this, &TFCOMM::BtSaveClick)->setObjectName(QStringLiteral("Save"));
    graphic->addSeparator()->setObjectName(QStringLiteral("N2"));
    fill_ = graphic->addAction(QStringLiteral("Fill"), this, &TFCOMM::FillClick);
    fill_->setObjectName(QStringLiteral("Fill"));
    fill_->setCheckable(true);
    fill_->setChecked(true);

    QMenu* record = menuBar()->addMenu(QStringLiteral("Record"));
    record->setObjectName(QStringLiteral("Record1"));
    record->addAction(QStringLiteral("New"), this, &TFCOMM::RecordNewClick)->setObjectName(QStringLiteral("New1"));
    QAction* save1 = record->addAction(QStringLiteral("Save"));
    save1->setObjectName(QStringLiteral("Save1"));
    save1->setEnabled(false);  // comes with the data files
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
    auto* olCaption = fontLabel(olText_, "oltextCaption", QStringLiteral("OL !!"), olText_->rect(), "Arial", 35, true);
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
    minText_ = fontLabel(panel3_, "MinText", QStringLiteral("00.00"), {44, 2, 70, 20}, "Arial", 14, false, true);
    minTextU_ = fontLabel(panel3_, "MinTextU", QString(), {116, 4, 60, 18}, "KORA-A2", 14, false);
    fontLabel(panel3_, "Label12", QStringLiteral("MAX: "), {200, 4, 40, 16}, "KORA-A2", 12, true);
    maxText_ = fontLabel(panel3_, "MaxText", QStringLiteral("30.00"), {240, 2, 70, 20}, "Arial", 14, false, true);
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
    connect(readBtn_, &QToolButton::clicked, this,
            [this](bool down) { connection_->SetDown(ConnectionControl::GroupButton::ReadBtn, down); });
    int x = 70;
    for (const char* name : {"SetFeature", "Clear", "Info"}) {
        auto* b = new QPushButton(QString::fromLatin1(name), links);
        b->setObjectName(QString::fromLatin1(name) + (QString::fromLatin1(name) == QLatin1String("SetFeature")
                                                          ? QString()
                                                          : QStringLiteral("Btn")));
        b->setGeometry(x, 30, 70, 24);
        x += 75;
    }
    devListBox_ = new QListWidget(links);
    devListBox_->setObjectName(QStringLiteral("DevListBox"));
    devListBox_->setGeometry(0, 60, 190, 56);
    historyListBox_ = new QListWidget(links);
    historyListBox_->setObjectName(QStringLiteral("HistoryListBox"));
    historyListBox_->setGeometry(200, 60, 190, 56);

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
    for (ProfileSwitch s : {ProfileSwitch::IFAlder, ProfileSwitch::Holly, ProfileSwitch::IFBirch,
                            ProfileSwitch::IFCedar, ProfileSwitch::IFHazel, ProfileSwitch::IFLarch,
                            ProfileSwitch::IFMaple}) {
        const QString name = QString::fromLatin1(ProfileSwitchName(s).data(), int(ProfileSwitchName(s).size()));
        auto* box = new QCheckBox(name, switches);
        box->setObjectName(name);
        box->setChecked(platform_.profile.count(s) > 0);
        box->setEnabled(false);
        box->setGeometry(0, y, 120, 16);
        y += 16;
    }
}

void TFCOMM::wireLinks() {
    comm2_ = new TCommPortDriver(this);
    comm2_->setObjectName(QStringLiteral("COMM2"));
    comm2_->setPortMap(platform_.ports);
    // The layout's line: COM1 at 2400 baud, 8 data bits, no parity, one stop
    // bit, DTR raised, no flow control.
    comm2_->SetComPort(TComPortNumber::pnCOM1);
    comm2_->SetComPortSpeed(TComPortBaudRate::br2400);
    comm2_->SetComPortDataBits(TComPortDataBits::db8BITS);
    comm2_->SetComPortStopBits(TComPortStopBits::sb1BITS);
    comm2_->SetComPortParity(TComPortParity::ptNONE);
    comm2_->SetComPortHwHandshaking(TComPortHwHandshaking::hhNONE);
    comm2_->SetComPortSwHandshaking(TComPortSwHandshaking::shNONE);
    comm2_->SetEnableDTROnOpen(true);

    ccomm1_ = new TCComm(this, platform_.ports);
    ccomm1_->setObjectName(QStringLiteral("CComm1"));
    ccomm1_->SetOnReceiveData([this](const std::uint8_t* b, std::uint32_t n) { CComm1ReceiveData(b, n); });

    connection_ = std::make_unique<ConnectionControl>(*comm2_, core_.Mirror(), core_.Frames(), platform_.prompts);
    connection_->onChanged = [this] {
        renderConnection();
        renderMirror();
    };

    conTimer_.setInterval(100);
    connect(&conTimer_, &QTimer::timeout, this, &TFCOMM::ConTimerTimer);
    conTimer_.start();
    trecord_.setInterval(1000);
    connect(&trecord_, &QTimer::timeout, this, &TFCOMM::TrecordTimer);
    trecord_.start();
}

void TFCOMM::FormCreate() {
    // 1. The chart view control exists with the chart, 100 points a page.
    // 2. The system's decimal separator.
    core_.SetDecimalSeparator(platform_.decimalSeparator);
    // 3. The grid's wheel moves one record a notch (the grid does it).
    // 4. The range class "4" values.
    RangeValues range = RangeValuesFor("4");
    // 5, 6. The log is created empty with its counters at their start.
    // 7. The chart as Graphic -> New leaves it, on the area series.
    chart_->SetComboBox1ItemIndex(0);
    chart_->ShowSeries(0);
    chart_->ShowSeries(chart_->BtFillChecked() ? 0 : 1);
    // 8. The profile the build was made with.
    profile_ = ApplyProfileSwitches(platform_.profile);
    switch (profile_.handler) {
        case SerialFrameHandler::HOakRData:
            comm2_->SetOnReceiveData(
                [this](QObject* s, const std::uint8_t* d, std::int32_t n) { HOakRData(s, d, n); });
            break;
        case SerialFrameHandler::HBirchRData:
            comm2_->SetOnReceiveData(
                [this](QObject* s, const std::uint8_t* d, std::int32_t n) { HBirchRData(s, d, n); });
            break;
        case SerialFrameHandler::None:
            break;
    }
    if (profile_.presetFirstDigit) core_.Mirror().digit(Digit::LcdDa).assign(1, '3');
    if (profile_.baud19200) comm2_->SetComPortSpeed(TComPortBaudRate::br19200);
    // 9, 10. The range class columns.
    range = RangeValuesFor(profile_.rangeClass);
    core_.SetRange(range);
    if (!range.SetmaxText.empty()) setmax_->setText(QString::fromStdString(range.SetmaxText));
    if (!range.SetMinText.empty()) setmin_->setText(QString::fromStdString(range.SetMinText));
    // 11. The second row's symbols start blank.
    core_.Mirror().label4.clear();
    core_.Mirror().label5.clear();
    // 12. The value axis spans the full scale both ways.
    chart_->SetFullScale(range.FullScale);
    // 13. The title, marked with the host's bitness.
    setWindowTitle(QString::fromStdString(profile_.title) +
                   (platform_.host64 ? QStringLiteral("(x64)") : QStringLiteral("(x86)")));
    renderMirror();
    renderConnection();
}

void TFCOMM::renderMirror() {
    const LcdMirror& m = core_.Mirror();
    lcdPanel_->Render(m);
    limitPanel_->Render(m.image1Visible, m.image2Visible);
    if (bar_->value() != m.pbar2Position) {
        // QProgressBar paints itself at once on a new value, a paint and a
        // trip to the display server of its own; drawn with the rest of the
        // mirror it costs nothing extra.
        bar_->setUpdatesEnabled(false);
        bar_->setValue(m.pbar2Position);
        bar_->setUpdatesEnabled(true);
    }
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

void TFCOMM::renderConnection() {
    const ConnectionControl& c = *connection_;
    start1_->setChecked(c.START1.checked);
    start1_->setEnabled(c.START1.enabled);
    stop1_->setChecked(c.STOP1.checked);
    stop1_->setEnabled(c.STOP1.enabled);
    btCon_->setVisible(c.BTConVisible);
    btDiscon_->setVisible(c.BtDisconVisible);
    for (int i = 0; i < 4; ++i) {
        btCom_[i]->setVisible(i == c.VisiblePort);
        btCom_[i]->setEnabled(c.PortPanelsEnabled);
    }
    usbCon_->setChecked(c.IsDown(ConnectionControl::GroupButton::USBCon));
    comCon_->setChecked(c.IsDown(ConnectionControl::GroupButton::COMCon));
    readBtn_->setChecked(c.IsDown(ConnectionControl::GroupButton::ReadBtn));
}

void TFCOMM::renderLogControls() {
    for (int i = 0; i < 6; ++i)
        limitActions_[i]->setChecked(log_->LimitEntryChecked(static_cast<ReadingLog::LimitEntry>(i)));
    repeatSet_->setChecked(log_->RepeatSetChecked());
    const QSignalBlocker blockSI(recordSI_);
    recordSI_->setChecked(log_->RecordSIChecked());
    const QString interval = QString::fromStdString(log_->RecordSITimeText());
    if (recordSITime_->text() != interval) {
        const QSignalBlocker block(recordSITime_);
        recordSITime_->setText(interval);
    }
}

// ---- frame handlers and decoders

void TFCOMM::HOakRData(QObject*, const std::uint8_t* data, std::int32_t size) {
    core_.Frames().HOakRData(data, size);
}
void TFCOMM::HBirchRData(QObject*, const std::uint8_t* data, std::int32_t size) {
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

// ---- connection control

void TFCOMM::BTCon1Click() { connection_->BTCon1Click(); }
void TFCOMM::BtDiscon1Click() { connection_->BtDiscon1Click(); }
void TFCOMM::COMConClick() { connection_->COMConClick(); }
void TFCOMM::COM21Click() { connection_->COM21Click(); }
void TFCOMM::COM31Click() { connection_->COM31Click(); }
void TFCOMM::COM41Click() { connection_->COM41Click(); }
void TFCOMM::COM11Click() { connection_->COM11Click(); }
void TFCOMM::USBConClick() { connection_->USBConClick(); }
void TFCOMM::ConTimerTimer() { connection_->ConTimerTimer(); }

// ---- log and chart

void TFCOMM::INDataToTable() { log_->INDataToTable(); }
void TFCOMM::ShowSeries(int index) { chart_->ShowSeries(index); }
bool TFCOMM::BtFillChecked() const { return chart_->BtFillChecked(); }
void TFCOMM::TrecordTimer() { log_->TrecordTimer(); }
void TFCOMM::RecordNewClick() {
    log_->RecordNewClick();
    renderMirror();
}
void TFCOMM::btFillClick() { chart_->btFillClick(); }
void TFCOMM::FillClick() { chart_->FillClick(); }
void TFCOMM::BtFirstClick() { chart_->BtFirstClick(); }
void TFCOMM::BTPreviousClick() { chart_->BTPreviousClick(); }
void TFCOMM::BtNextClick() { chart_->BtNextClick(); }
void TFCOMM::BTlastClick() { chart_->BTlastClick(); }
void TFCOMM::BtNewClick() { chart_->BtNewClick(); }
void TFCOMM::BtSaveClick() { chart_->BtSaveClick(); }
void TFCOMM::TbFdClick() { chart_->TbFdClick(frameGeometry().size()); }

// ---- window commands

void TFCOMM::BitBtn1Click() {
    if (platform_.prompts.Ask(UserPrompts::Kind::Information, "Are you ensure to exit the program?") !=
        UserPrompts::Answer::Yes)
        return;
    BtExit1Click();
}

void TFCOMM::BtExit1Click() {
    // Nothing is saved; the log goes with the program.
    emit terminateRequested();
    QCoreApplication::exit(0);
}

void TFCOMM::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::exit(0);
}

void TFCOMM::KdFdClick() {
    if (kd_->width() < 470) {
        kdFd_->hide();
        kdSx_->show();
        kdSavedBounds_ = kd_->geometry();
        const QSize outer = frameGeometry().size();
        kd_->setGeometry(2, 28, outer.width() - 12, outer.height() - 80);
        kd1_->setGeometry(2, 2, kd_->width() - 40, kd_->height() - 140);
        kd_->raise();
        chart_->hide();
    } else {
        kdSx_->hide();
        kdFd_->show();
        kd_->setGeometry(kdSavedBounds_);
        kd1_->setGeometry(2, 2, kd_->width() - 4, kd_->height() - 4);
        chart_->show();
    }
    KDResize();
}

void TFCOMM::KDResize() {
    kdFd_->setGeometry(kd_->width() - 30, 4, 24, 24);
    kdSx_->setGeometry(kd_->width() - 30, 4, 24, 24);
}

}  // namespace corvel
