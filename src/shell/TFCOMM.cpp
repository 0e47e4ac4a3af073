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
#include "chart/ReportPreview.h"
#include "chart/TrendChart.h"
#include "decode/LcdPanel.h"
#include "links/SystemHidPlatform.h"
#include "links/TCComm.h"
#include "links/TCommPortDriver.h"
#include "links/UsbBridge.h"
#include "record/LogFiles.h"
#include "record/LogJournal.h"
#include "record/LogTableGrid.h"
#include "record/LogTableModel.h"
#include "record/ReadingLog.h"
#include "shell/BarGraph.h"
#include "shell/CoreStartUp.h"
#include "shell/HelpWindows.h"
#include "shell/JournalStartup.h"
#include "shell/LimitPanel.h"
#include "shell/SerialPortChoice.h"
#include "shell/SerialPortDialog.h"
#include "shell/UsbInfoWindow.h"

namespace corvel {

namespace {

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
      chartSettings_(platform_.settings),
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
    bar_ = new BarGraph(client_);
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
    // Data files: after a save the grid's current row is the last one.
    files_ = std::make_unique<LogFiles>(*log_, platform_.prompts);
    // Rows a packet would take away unsaved go beside the journal's
    // recovered logs.
    files_->recoveredFolder = platform_.journalFolder;
    files_->afterSave = [this] {
        logModel_->AnnounceThrottle().ShowNow();
        grid_->FollowNow();
    };
    files_->limits = [this] {
        SummaryLimits limits;
        const std::string& separator = core_.Decoders().DecimalSeparator();
        if (!separator.empty()) limits.decimal = separator.front();
        limits.high = core_.Judge().HighText();
        limits.low = core_.Judge().LowText();
        return limits;
    };
    files_->repaint = [this] {
        // A command's rows show at once, not at the next streaming catch-up.
        logModel_->AnnounceThrottle().ShowNow();
        update();
    };
    buildLogToolbar();
    logObserver_ = std::make_unique<LogControlsObserver>([this] { renderLogControls(); });
    log_->AddObserver(logObserver_.get());
    if (!platform_.journalFolder.empty())
        journal_ = std::make_unique<LogJournal>(*log_, platform_.prompts, platform_.journalFolder);
    buildOutOfReach();
    buildMenus();
    buildHelpMenu();
    buildShortcuts();
    wireLinks();

    core_.afterDecode = [this](std::string_view) { renderMirror(); };
    connect(chart_, &TrendChart::enlargedChanged, this, [this](bool enlarged) {
        limitPanel_->setVisible(!enlarged);
        quit_->setVisible(!enlarged);
    });
    connect(chart_, &TrendChart::fillChanged, this, [this] { fill_->setChecked(chart_->FillMenuChecked()); });
    // The limit lines follow the limit edits, whoever changes their texts.
    core_.Judge().onLimitsChanged = [this] {
        chart_->SetLimits(core_.Judge().HighLimit(), core_.Judge().LowLimit());
    };
    core_.Judge().onLimitsChanged();

    FormCreate();
    setFixedSize(sizeHint());
    // A fixed single border: system menu, minimise and close boxes only.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
}

TFCOMM::~TFCOMM() {
    // The links stop before the objects they deliver to go away.
    usb_.reset();
    if (comm2_) comm2_->SetOnReceiveData({});
    if (ccomm1_) ccomm1_->SetOnReceiveData({});
    log_->RemoveObserver(logObserver_.get());
}

void TFCOMM::wireLinks() {
    // COM1 leads to the port the user chose in the window, unless the
    // command line says otherwise.
    serialChoice_ = std::make_unique<SerialPortChoice>(platform_.settings, platform_.ports,
                                                       platform_.com1FromCommandLine);
    if (!platform_.serialPorts) {
        ownSerialPorts_ = std::make_unique<SystemSerialPortList>();
        platform_.serialPorts = ownSerialPorts_.get();
    }
    comm2_ = new TCommPortDriver(this);
    comm2_->setObjectName(QStringLiteral("COMM2"));
    comm2_->setPortMap(serialChoice_->Ports());
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

    ccomm1_ = new TCComm(this, serialChoice_->Ports());
    ccomm1_->setObjectName(QStringLiteral("CComm1"));
    ccomm1_->SetOnReceiveData([this](const std::uint8_t* b, std::uint32_t n) { CComm1ReceiveData(b, n); });

    connection_ =
        std::make_unique<ConnectionControl>(*comm2_, core_.Mirror(), core_.Frames(), platform_.prompts);
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
    wireUsb();
}

// ---- USB bridge

void TFCOMM::wireUsb() {
    if (!platform_.hid) {
        ownHid_ = CreateSystemHidPlatform();
        platform_.hid = ownHid_.get();
    }
    using Group = ConnectionControl::GroupButton;
    UsbBridge::Host host;
    host.ReadBtnDown = [this] { return connection_->IsDown(Group::ReadBtn); };
    host.ReleaseReadBtn = [this] { connection_->SetDown(Group::ReadBtn, false); };
    host.ReleaseUSBCon = [this] { connection_->SetDown(Group::USBCon, false); };
    host.Changed = [this] {
        if (usb_) renderUsbLists();  // not while it is being made
    };
    const THidDataEvent frames("TFCOMM::HidDataToFrame",
                               [this](THidDevice& d, std::uint8_t id, const std::uint8_t* data,
                                      std::uint16_t n) { HidDataToFrame(&d, id, data, n); });
    // The controller lists and claims every present device here, as the
    // layout's assignment of its device-change handler does.
    usb_ = std::make_unique<UsbBridge>(*platform_.hid, platform_.prompts, std::move(host), frames);
    usb_->showInfo = [this](const std::string& text) { ShowUsbInfoWindow(this, text); };
    renderUsbLists();
    const bool readsUsb = platform_.profile.count(ProfileSwitch::IFBirch) > 0 ||
                          platform_.profile.count(ProfileSwitch::IFAlder) > 0;
    connection_->AttachUsb(*usb_, frames, readsUsb);
    connection_->defer = [this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    };
}

void TFCOMM::renderUsbLists() {
    const auto& items = usb_->DevListBox();
    devListBox_->clear();
    for (const auto& item : items) devListBox_->addItem(QString::fromStdString(item.text));
    devListBox_->setCurrentRow(usb_->DevListSelected());
    const auto& lines = usb_->HistoryListBox();
    if (static_cast<std::size_t>(historyListBox_->count()) > lines.size()) historyListBox_->clear();
    for (std::size_t i = static_cast<std::size_t>(historyListBox_->count()); i < lines.size(); ++i)
        historyListBox_->addItem(QString::fromStdString(lines[i]));
    historyListBox_->setCurrentRow(usb_->HistorySelected());
}

void TFCOMM::HidCtlArrival(THidDevice& HidDev) {
    usb_->HidCtlArrival(HidDev);
}
void TFCOMM::HidCtlRemoval(THidDevice& HidDev) {
    usb_->HidCtlRemoval(HidDev);
}
bool TFCOMM::HidCtlEnumerate(THidDevice& HidDev, std::int32_t Idx) {
    return usb_->HidCtlEnumerate(HidDev, Idx);
}
void TFCOMM::HidCtlDeviceChange(THidDeviceController& Sender) {
    usb_->HidCtlDeviceChange(Sender);
}
void TFCOMM::HidCtlDeviceDataError(THidDevice& HidDev, std::uint32_t Error) {
    usb_->HidCtlDeviceDataError(HidDev, Error);
}
void TFCOMM::ReadBtnClick() {
    usb_->ReadBtnClick();
}
void TFCOMM::SetFeatureClick() {
    usb_->SetFeatureClick();
}
void TFCOMM::ClearBtnClick() {
    usb_->ClearBtnClick();
}
void TFCOMM::InfoBtnClick() {
    usb_->InfoBtnClick();
}

void TFCOMM::FormCreate() {
    // 1. The chart view control exists with the chart, 100 points a page.
    // 2. The system's decimal separator: with the core's start-up below.
    // 3. The grid's wheel moves one record a notch (the grid does it).
    // 4. The range class values: with the core's start-up below.
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
        case SerialFrameHandler::None: break;
    }
    if (profile_.baud19200) comm2_->SetComPortSpeed(TComPortBaudRate::br19200);
    // 2, 4, 8 to 11. The core as start-up leaves it (the separator, the
    // range class columns, the digit preset, the second row's symbols
    // blank), in the one place corvel-decode starts its core too.
    const RangeValues range = StartCore(core_, profile_, platform_.decimalSeparator);
    if (!range.SetmaxText.empty()) setmax_->setText(QString::fromStdString(range.SetmaxText));
    if (!range.SetMinText.empty()) setmin_->setText(QString::fromStdString(range.SetMinText));
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
    if (olText_->isVisibleTo(kd_) != core_.Judge().AlarmShown())
        olText_->setVisible(core_.Judge().AlarmShown());
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
    // The port is chosen only while the serial link is stopped.
    serialPort1_->setEnabled(c.PortPanelsEnabled);
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

void TFCOMM::BTCon1Click() {
    connection_->BTCon1Click();
}
void TFCOMM::BtDiscon1Click() {
    connection_->BtDiscon1Click();
}
void TFCOMM::COMConClick() {
    connection_->COMConClick();
}
void TFCOMM::COM21Click() {
    connection_->COM21Click();
}
void TFCOMM::COM31Click() {
    connection_->COM31Click();
}
void TFCOMM::COM41Click() {
    connection_->COM41Click();
}
void TFCOMM::COM11Click() {
    connection_->COM11Click();
}
void TFCOMM::SerialPort1Click() {
    if (!ChooseSerialPort(*serialChoice_, *platform_.serialPorts, platform_.prompts, this)) return;
    comm2_->setPortMap(serialChoice_->Ports());
    ccomm1_->setPortMap(serialChoice_->Ports());
}
void TFCOMM::USBConClick() {
    connection_->USBConClick();
}
void TFCOMM::ConTimerTimer() {
    connection_->ConTimerTimer();
}

// ---- log and chart

void TFCOMM::INDataToTable() {
    log_->INDataToTable();
}
void TFCOMM::ShowSeries(int index) {
    chart_->ShowSeries(index);
}
bool TFCOMM::BtFillChecked() const {
    return chart_->BtFillChecked();
}
void TFCOMM::TrecordTimer() {
    log_->TrecordTimer();
}
void TFCOMM::RecordNewClick() {
    log_->RecordNewClick();
    renderMirror();
}
void TFCOMM::btFillClick() {
    chart_->btFillClick();
}
void TFCOMM::FillClick() {
    chart_->FillClick();
}
void TFCOMM::BtFirstClick() {
    chart_->BtFirstClick();
}
void TFCOMM::BTPreviousClick() {
    chart_->BTPreviousClick();
}
void TFCOMM::BtNextClick() {
    chart_->BtNextClick();
}
void TFCOMM::BTlastClick() {
    chart_->BTlastClick();
}
void TFCOMM::BtNewClick() {
    chart_->BtNewClick();
}
void TFCOMM::BtSaveClick() {
    chart_->BtSaveClick();
}
void TFCOMM::TbFdClick() {
    chart_->TbFdClick(frameGeometry().size());
}
void TFCOMM::FitToReadingsClick() {
    chart_->SetFitToReadings(fitToReadings_->isChecked());
    chartSettings_.Write(ChartViewSettings::kFitToReadings, chart_->FitToReadings());
}
void TFCOMM::LimitLinesClick() {
    chart_->SetLimitLines(limitLines_->isChecked());
    chartSettings_.Write(ChartViewSettings::kLimitLines, chart_->LimitLines());
}

// ---- printed report

void TFCOMM::BtPrintClick() {
    core_.Frames().SetPrintPreviewOpen(true);
    ReportPreview preview(log_->Rows(), QDate::currentDate(), this);
    preview.exec();
    repaint();
    core_.Frames().SetPrintPreviewOpen(false);
}

// ---- data files

void TFCOMM::saveasClick() {
    files_->saveasClick();
}
void TFCOMM::SpeedButton2Click() {
    files_->SpeedButton2Click();
}

// ---- window commands

void TFCOMM::BitBtn1Click() {
    if (platform_.prompts.Ask(UserPrompts::Kind::Information, "Are you ensure to exit the program?") !=
        UserPrompts::Answer::Yes)
        return;
    BtExit1Click();
}

void TFCOMM::BtExit1Click() {
    // Nothing is saved; the log goes with the program, its journal too.
    if (journal_) journal_->Finish();
    emit terminateRequested();
    QCoreApplication::exit(0);
}

void TFCOMM::closeEvent(QCloseEvent* event) {
    // A session that logs out closes the window too: its log stays
    // journaled, to be offered at the next start.
#if QT_CONFIG(sessionmanager)
    const bool loggingOut = qApp->isSavingSession();
#else
    const bool loggingOut = false;
#endif
    if (journal_ && !loggingOut) journal_->Finish();
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

// ---- Help menu

void TFCOMM::HelpContentsClick() {
    ShowHelpWindow(this);
}
void TFCOMM::AboutClick() {
    ShowAboutBox(this);
}

// ---- crash journal

void TFCOMM::StartJournal(UserPrompts* asker) {
    if (!journal_) return;
    RestoreProgress progress(this);
    const int generation = log_->Generation();
    journal_->Start(
        asker ? *asker : platform_.prompts, [&progress](int percent) { progress(percent); },
        [&progress] { progress.Close(); });
    // Rows brought back from the journal may never have been saved.
    if (log_->Generation() != generation) files_->Unsaved().NotSaved(0, log_->RowCount());
}

void TFCOMM::KDResize() {
    kdFd_->setGeometry(kd_->width() - 30, 4, 24, 24);
    kdSx_->setGeometry(kd_->width() - 30, 4, 24, 24);
}

}  // namespace corvel
