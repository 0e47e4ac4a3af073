#pragma once

#include <QMainWindow>
#include <QRect>
#include <QSettings>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "links/HidDeviceController.h"
#include "links/PortMap.h"
#include "record/Clock.h"
#include "shell/ChartViewSettings.h"
#include "shell/ConnectionControl.h"
#include "shell/InstrumentProfile.h"
#include "shell/MeterCore.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QSettings;
class QPushButton;
class QToolButton;

namespace corvel {

class LcdPanel;
class LimitPanel;
class LogControlsObserver;
class LogFiles;
class LogGrid;
class LogJournal;
class LogTableModel;
class ReadingLog;
class SerialPortChoice;
class SerialPortList;
class TCComm;
class TCommPortDriver;
class TrendChart;
class HidPlatform;
class UsbBridge;

// What the window needs from the machine it runs on: message boxes and
// dialogs, the beep, the clock, the decimal separator, the host's bitness,
// where the COM names lead, and the profile the program was built with.
struct WindowPlatform {
    WindowPlatform(UserPrompts& p, Beeper& b, std::string separator = ".", bool is64 = false)
        : prompts(p), beeper(b), decimalSeparator(std::move(separator)), host64(is64) {}
    UserPrompts& prompts;
    Beeper& beeper;
    std::string decimalSeparator;
    bool host64 = false;
    PortMap ports;
    std::set<ProfileSwitch> profile = BuiltInProfileSwitches();
    const Clock* clock = nullptr;  // the system clock when none is given
    HidPlatform* hid = nullptr;    // the system's HID devices when none is given
    // Where the reading log's journal lives; none is kept when empty.
    std::string journalFolder;
    // The user's settings, where the serial port chosen in the window and
    // the chart's view options are remembered; without them nothing is remembered.
    QSettings* settings = nullptr;
    // The command line set COM1 (--port, --demo): it wins over the
    // remembered port for this run.
    bool com1FromCommandLine = false;
    // The machine's serial ports; Qt Serial Port's list when none is given.
    const SerialPortList* serialPorts = nullptr;
};

// The program's one window. Every handler of the program is a method of it
// under its own name; each forwards to the object that owns the rule and
// then shows the state that object holds.
class TFCOMM : public QMainWindow, private ReadingRecorder {
    Q_OBJECT
public:
    explicit TFCOMM(WindowPlatform platform, QWidget* parent = nullptr);
    ~TFCOMM() override;

    // ---- frame handlers: byte chunks from the links
    void HOakRData(QObject* sender, const std::uint8_t* data, std::int32_t size);
    void HBirchRData(QObject* sender, const std::uint8_t* data, std::int32_t size);
    void CComm1ReceiveData(const std::uint8_t* buffer, std::uint32_t length);
    void HidDataToFrame(void* device, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);

    // ---- decoders of the frame left in CurrentFrame
    void LcdDisplayOak();
    void LcdDisplayPine();
    void LcdDisplayBirch();

    // ---- connection control
    void BTCon1Click();
    void BtDiscon1Click();
    void COMConClick();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COM11Click();
    void USBConClick();
    void ConTimerTimer();
    // Connect -> "Serial Port...": which device COM1 is.
    void SerialPort1Click();
    SerialPortChoice& SerialChoice() { return *serialChoice_; }

    // ---- USB bridge: HidCtl's events and the bridge commands
    void HidCtlArrival(THidDevice& HidDev);
    void HidCtlRemoval(THidDevice& HidDev);
    bool HidCtlEnumerate(THidDevice& HidDev, std::int32_t Idx);
    void HidCtlDeviceChange(THidDeviceController& Sender);
    void HidCtlDeviceDataError(THidDevice& HidDev, std::uint32_t Error);
    void ReadBtnClick();
    void SetFeatureClick();
    void ClearBtnClick();
    void InfoBtnClick();
    UsbBridge& Usb() { return *usb_; }
    QToolButton* ReadBtn() const { return readBtn_; }
    QListWidget* DevListBox() const { return devListBox_; }
    QListWidget* HistoryListBox() const { return historyListBox_; }

    // ---- log and chart commands
    void INDataToTable() override;
    void ShowSeries(int index) override;
    void TrecordTimer();
    void RecordNewClick();
    void btFillClick();
    void FillClick();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void BtNewClick();
    void BtSaveClick();
    void TbFdClick();
    // Graphic -> "Fit to Readings" and "Limit Lines": view options of the
    // chart, remembered for the next start.
    void FitToReadingsClick();
    void LimitLinesClick();

    // ---- printed report
    // Opens the report's preview and waits until it is closed; HID frames
    // are held back meanwhile.
    void BtPrintClick();
    // ---- data files: save the log, open old data files
    void saveasClick();
    void SpeedButton2Click();
    LogFiles& Files() { return *files_; }

    // ---- window commands
    void BitBtn1Click();  // Quit, with a question
    void BtExit1Click();  // Exit, without one
    void KdFdClick();     // image panel enlarge / restore
    // ---- Help menu
    void HelpContentsClick();
    void AboutClick();

    // ---- crash journal of the reading log: at start-up, before the first
    // frame, offers back the log of a run that died, then keeps this run's.
    // The question goes to `asker` when one is given.
    void StartJournal(UserPrompts* asker = nullptr);
    LogJournal* Journal() const { return journal_.get(); }

    // ---- parts, for the program entry, tests and benchmarks
    MeterCore& Core() { return core_; }
    ReadingLog& Log() { return *log_; }
    TrendChart& Chart() { return *chart_; }
    TCommPortDriver& COMM2() { return *comm2_; }
    TCComm& CComm1() { return *ccomm1_; }
    ConnectionControl& Connection() { return *connection_; }
    const InstrumentProfile& Profile() const { return profile_; }

    QWidget* clientArea() const { return client_; }
    LcdPanel* lcdPanel() const { return lcdPanel_; }
    LimitPanel* limitPanel() const { return limitPanel_; }
    LogGrid* DBGrid1() const { return grid_; }
    QProgressBar* PBar2() const { return bar_; }
    QFrame* oltext() const { return olText_; }
    QFrame* KD() const { return kd_; }
    QLabel* KD1() const { return kd1_; }
    QLabel* CONok() const { return conOk_; }
    QLabel* CONokN() const { return conOkN_; }
    QAction* START1() const { return start1_; }
    QAction* STOP1() const { return stop1_; }
    QAction* FillAction() const { return fill_; }
    QAction* SerialPort1() const { return serialPort1_; }
    QAction* FitToReadingsAction() const { return fitToReadings_; }
    QAction* LimitLinesAction() const { return limitLines_; }
    QAction* LimitAction(int entry) const { return limitActions_[entry]; }
    QToolButton* USBCon() const { return usbCon_; }
    QToolButton* COMCon() const { return comCon_; }
    QPushButton* BitBtn1() const { return quit_; }
    QCheckBox* RepeatSet() const { return repeatSet_; }
    QCheckBox* RecordSI() const { return recordSI_; }
    QLineEdit* RecordSITime() const { return recordSITime_; }
    QLabel* BtCOM(int i) const { return btCom_[i]; }
    QLabel* BTCon() const { return btCon_; }
    QLabel* BtDiscon() const { return btDiscon_; }
    QLineEdit* Setmax() const { return setmax_; }
    QLineEdit* SetMin() const { return setmin_; }
    QLabel* MinText() const { return minText_; }
    QLabel* MaxText() const { return maxText_; }
    QTimer& ConTimer() { return conTimer_; }
    QTimer& Trecord() { return trecord_; }

    static constexpr int kClientWidth = 754;
    static constexpr int kClientHeight = 557;

signals:
    // The program ends: Quit answered Yes, or Exit.
    void terminateRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildTopRow();
    void buildLogToolbar();
    void buildMenus();
    void buildOutOfReach();
    void buildHelpMenu();
    void buildShortcuts();
    void wireLinks();
    // Shows the mirror, the limit panel and the bar as the core holds them.
    void renderMirror();
    void renderConnection();
    void renderLogControls();
    void wireUsb();
    void renderUsbLists();
    bool BtFillChecked() const override;
    void KDResize();

    WindowPlatform platform_;
    ChartViewSettings chartSettings_;
    std::unique_ptr<Clock> ownClock_;
    MeterCore core_;
    InstrumentProfile profile_;

    QWidget* client_ = nullptr;
    LcdPanel* lcdPanel_ = nullptr;
    LimitPanel* limitPanel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    TrendChart* chart_ = nullptr;
    std::unique_ptr<ReadingLog> log_;
    std::unique_ptr<LogTableModel> logModel_;
    std::unique_ptr<LogControlsObserver> logObserver_;
    LogGrid* grid_ = nullptr;
    std::unique_ptr<LogFiles> files_;
    std::unique_ptr<LogJournal> journal_;  // goes before the log it watches

    TCommPortDriver* comm2_ = nullptr;
    TCComm* ccomm1_ = nullptr;
    std::unique_ptr<ConnectionControl> connection_;
    std::unique_ptr<SerialPortList> ownSerialPorts_;
    std::unique_ptr<SerialPortChoice> serialChoice_;
    std::unique_ptr<HidPlatform> ownHid_;
    std::unique_ptr<UsbBridge> usb_;
    QTimer conTimer_;
    QTimer trecord_;

    // top row and log toolbar
    QToolButton* usbCon_ = nullptr;
    QPushButton* quit_ = nullptr;
    QCheckBox* repeatSet_ = nullptr;
    QCheckBox* recordSI_ = nullptr;
    QLineEdit* recordSITime_ = nullptr;
    QToolButton* openDataFiles_ = nullptr;
    QToolButton* btPrint_ = nullptr;

    // menus
    QAction* start1_ = nullptr;
    QAction* stop1_ = nullptr;
    QAction* fill_ = nullptr;
    QAction* serialPort1_ = nullptr;
    QAction* fitToReadings_ = nullptr;
    QAction* limitLines_ = nullptr;
    QAction* limitActions_[6] = {};

    // out of the user's reach
    QFrame* kd_ = nullptr;
    QLabel* kd1_ = nullptr;
    QLabel* kdFd_ = nullptr;
    QLabel* kdSx_ = nullptr;
    QRect kdSavedBounds_;
    QFrame* olText_ = nullptr;
    QLabel* conOk_ = nullptr;
    QLabel* conOkN_ = nullptr;
    QFrame* panel3_ = nullptr;
    QLabel* minText_ = nullptr;
    QLabel* maxText_ = nullptr;
    QLabel* minTextU_ = nullptr;
    QLabel* maxTextU_ = nullptr;
    QLabel* btCon_ = nullptr;
    QLabel* btDiscon_ = nullptr;
    QLabel* btExit_ = nullptr;
    QLabel* btCom_[4] = {};
    QToolButton* comCon_ = nullptr;
    QToolButton* readBtn_ = nullptr;
    QLineEdit* setmax_ = nullptr;
    QLineEdit* setmin_ = nullptr;
    QCheckBox* setMaxB_ = nullptr;
    QCheckBox* setMinB_ = nullptr;
    QListWidget* devListBox_ = nullptr;
    QListWidget* historyListBox_ = nullptr;
};

}  // namespace corvel
