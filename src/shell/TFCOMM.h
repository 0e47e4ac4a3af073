#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>

#include "shell/MeterCore.h"

class QLabel;
class QProgressBar;
class QFrame;

namespace corvel {

class LcdPanel;
class LimitPanel;

// What the window needs from the machine it runs on: message boxes and
// dialogs, the beep, the decimal separator and the host's bitness.
struct WindowPlatform {
    UserPrompts& prompts;
    Beeper& beeper;
    std::string decimalSeparator;
    bool host64 = false;
};

// The program's one window. Every handler of the program is a method of it
// under its own name; each forwards to the object that owns the rule and
// then shows the state that object holds.
class TFCOMM : public QMainWindow, private ReadingRecorder {
    Q_OBJECT
public:
    explicit TFCOMM(WindowPlatform platform, QWidget* parent = nullptr);
    ~TFCOMM() override;

    // Frame handlers: byte chunks from the links.
    void HOakRData(void* sender, const std::uint8_t* data, std::int32_t size);
    void HBirchRData(void* sender, const std::uint8_t* data, std::int32_t size);
    void CComm1ReceiveData(const std::uint8_t* buffer, std::uint32_t length);
    void HidDataToFrame(void* device, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);

    // Decoders of the frame left in the core's CurrentFrame.
    void LcdDisplayOak();
    void LcdDisplayPine();
    void LcdDisplayBirch();

    MeterCore& Core() { return core_; }
    LcdPanel* lcdPanel() const { return lcdPanel_; }
    LimitPanel* limitPanel() const { return limitPanel_; }
    QProgressBar* PBar2() const { return bar_; }
    QFrame* oltext() const { return olText_; }
    QWidget* clientArea() const { return client_; }

    static constexpr int kClientWidth = 754;
    static constexpr int kClientHeight = 557;

private:
    void FormCreate();
    // Shows the mirror, the limit panel and the bar as the core holds them.
    void renderMirror();

    // Until the log and the chart are in, readings stop here.
    void INDataToTable() override {}
    void ShowSeries(int) override {}
    bool BtFillChecked() const override { return true; }

    WindowPlatform platform_;
    MeterCore core_;
    QWidget* client_ = nullptr;
    LcdPanel* lcdPanel_ = nullptr;
    LimitPanel* limitPanel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QFrame* kd_ = nullptr;
    QFrame* olText_ = nullptr;
    QLabel* conOk_ = nullptr;
    QLabel* conOkN_ = nullptr;
    QFrame* panel3_ = nullptr;
    QLabel* minText_ = nullptr;
    QLabel* maxText_ = nullptr;
    QLabel* minTextU_ = nullptr;
    QLabel* maxTextU_ = nullptr;
};

}  // namespace corvel
