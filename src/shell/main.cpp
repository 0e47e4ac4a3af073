#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <memory>

#include "Assets.h"
#include "links/PortMap.h"
#include "links/SimulatedUsbBridge.h"
#include "shell/DemoMeter.h"
#include "shell/HostInfo.h"
#include "shell/JournalStartup.h"
#include "shell/QtPrompts.h"
#include "shell/QuitOnSignal.h"
#include "shell/TFCOMM.h"
#include "shell/UserSettings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvel"));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Corvel interface program for hand-held air-flow meters."));
    options.addHelpOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Point a COM name at a serial device, e.g. COM1=/dev/ttyUSB0 (repeatable). "
                       "By default COM1 to COM4 are /dev/ttyS0 to /dev/ttyS3."),
        QStringLiteral("COMn=DEVICE"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Start the simulated meter on COM1 and connect to it."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to FILE, then quit."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption after(QStringLiteral("screenshot-after"),
                                   QStringLiteral("Milliseconds before the screenshot (default 3000)."),
                                   QStringLiteral("MS"), QStringLiteral("3000"));
    // USB demo: a simulated "USB to Serial" bridge instead of the system's
    // HID devices, connected at start.
    const QCommandLineOption demoUsb(
        QStringLiteral("demo-usb"),
        QStringLiteral("Show a simulated USB to Serial bridge with a meter behind it and connect to it."));
    options.addOption(demoUsb);
    const QCommandLineOption connectNow(
        QStringLiteral("connect"),
        QStringLiteral("Start the link on COM1 at once, as Connect -> START does."));
    options.addOption(port);
    options.addOption(demo);
    options.addOption(connectNow);
    options.addOption(screenshot);
    options.addOption(after);
    // Answers the start-up restore question for runs without a screen
    // (tests); not a user's option.
    QCommandLineOption restoreAnswer(QStringLiteral("restore-answer"), QStringLiteral("yes or no"),
                                     QStringLiteral("ANSWER"));
    restoreAnswer.setFlags(QCommandLineOption::HiddenFromHelp);
    options.addOption(restoreAnswer);
    options.process(app);

    corvel::PortMap ports;
    for (const QString& value : options.values(port)) {
        QString error;
        const auto assignment = corvel::ParsePortAssignment(value, &error);
        if (!assignment) {
            std::fprintf(stderr, "corvel: --port %s: %s\n", qPrintable(value), qPrintable(error));
            return 2;
        }
        ports.Set(assignment->comName, assignment->device);
    }
    // A stop asked for by a signal runs the same shutdown as Quit, so that
    // the demo's simulator ends with the program.
    corvel::QuitOnSignal stopOnSignal;
    corvel::DemoMeter meter;
    if (options.isSet(demo)) {
        QString error;
        if (!meter.Start(corvel::DemoMeter::FindSimulator(), &error)) {
            std::fprintf(stderr, "corvel: --demo: %s\n", qPrintable(error));
            return 1;
        }
        ports.Set(QStringLiteral("COM1"), meter.Device());
        std::printf("Simulated meter on %s, mapped to COM1\n", qPrintable(meter.Device()));
        std::fflush(stdout);
    }

    corvel::RegisterAssetFonts();
    corvel::QtPrompts prompts;
    corvel::QtBeeper beeper;
    corvel::WindowPlatform platform(prompts, beeper, corvel::ReadSystemDecimalSeparator(),
                                    corvel::Is64BitHost());
    platform.ports = ports;
    std::unique_ptr<corvel::SimulatedUsbBridge> usbBridge;
    if (options.isSet(demoUsb)) {
        usbBridge = std::make_unique<corvel::SimulatedUsbBridge>();
        platform.hid = usbBridge.get();
    }
    platform.journalFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString();
    platform.settings = OpenUserSettings;
    corvel::TFCOMM window(std::move(platform));
    prompts.SetParent(&window);
    // Centred on the screen, as the layout places it.
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    // The log of a run that died is offered back before the first frame.
    if (options.isSet(restoreAnswer)) {
        corvel::AnsweringPrompts answering(options.value(restoreAnswer) == QLatin1String("yes")
                                               ? corvel::UserPrompts::Answer::Yes
                                               : corvel::UserPrompts::Answer::No);
        window.StartJournal(&answering);
    } else {
        window.StartJournal();
    }
    // A stop asked for while the start-up question was open ended only the
    // question's own loop; honour it before the main loop starts.
    if (stopOnSignal.received() != 0) return 128 + stopOnSignal.received();
    // The demo, or --connect, starts the link as Connect -> START does.
    if (options.isSet(demo) || options.isSet(connectNow)) window.BTCon1Click();
    if (options.isSet(demoUsb)) window.USBCon()->click();

    if (options.isSet(screenshot)) {
        const QString file = options.value(screenshot);
        QTimer::singleShot(options.value(after).toInt(), &window, [&window, file] {
            const bool saved = window.grab().save(file);
            std::fprintf(saved ? stdout : stderr, saved ? "Screenshot saved to %s\n" : "Could not save %s\n",
                         qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
