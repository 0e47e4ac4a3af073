#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <memory>
#include <optional>

#include "Assets.h"
#include "Version.h"
#include "links/PortMap.h"
#include "links/SimulatedUsbBridge.h"
#include "record/ReadingLog.h"
#include "shell/DemoMeter.h"
#include "shell/HostInfo.h"
#include "shell/JournalStartup.h"
#include "shell/QtPrompts.h"
#include "shell/QuitOnSignal.h"
#include "shell/TFCOMM.h"
#include "shell/UserSettings.h"

namespace {

// The program's command line.
struct Options {
    QCommandLineParser parser;
    const QCommandLineOption help{parser.addHelpOption()};
    const QCommandLineOption version{parser.addVersionOption()};
    const QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("Point a COM name at a serial device, e.g. COM1=/dev/ttyUSB0 (repeatable). "
                       "By default COM1 to COM4 are /dev/ttyS0 to /dev/ttyS3."),
        QStringLiteral("COMn=DEVICE")};
    const QCommandLineOption demo{QStringLiteral("demo"),
                                  QStringLiteral("Start the simulated meter on COM1 and connect to it.")};
    const QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to FILE, then quit."),
                                        QStringLiteral("FILE")};
    const QCommandLineOption after{QStringLiteral("screenshot-after"),
                                   QStringLiteral("Milliseconds before the screenshot (default 3000)."),
                                   QStringLiteral("MS"), QStringLiteral("3000")};
    // USB demo: a simulated "USB to Serial" bridge instead of the system's
    // HID devices, connected at start.
    const QCommandLineOption demoUsb{
        QStringLiteral("demo-usb"),
        QStringLiteral("Show a simulated USB to Serial bridge with a meter behind it and connect to it.")};
    const QCommandLineOption connectNow{
        QStringLiteral("connect"),
        QStringLiteral("Start the link on COM1 at once, as Connect -> START does.")};
    // Answers the start-up restore question for runs without a screen
    // (tests); not a user's option.
    QCommandLineOption restoreAnswer{QStringLiteral("restore-answer"), QStringLiteral("yes or no"),
                                     QStringLiteral("ANSWER")};
    // Chooses a Record menu limit at start, for unattended runs (the soak
    // benchmark logs for hours); not a user's option either.
    QCommandLineOption recordLimit{QStringLiteral("record-limit"),
                                   QStringLiteral("1000, 5000, 10000, 50000, 100000 or limitless"),
                                   QStringLiteral("LIMIT")};

    Options() {
        parser.setApplicationDescription(
            QStringLiteral("Corvel interface program for hand-held air-flow meters."));
        parser.addOption(demoUsb);
        parser.addOption(port);
        parser.addOption(demo);
        parser.addOption(connectNow);
        parser.addOption(screenshot);
        parser.addOption(after);
        restoreAnswer.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(restoreAnswer);
        recordLimit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(recordLimit);
    }
};

// --help and --version answer before the window's application object is
// made, which needs a display: they work on a terminal without one. The
// rest of the command line is left to the full parse that follows.
std::optional<int> AnswerWithoutDisplay(int argc, char** argv) {
    QCoreApplication plain(argc, argv);
    Options options;
    options.parser.parse(QCoreApplication::arguments());
    if (options.parser.isSet(options.help)) {
        std::fputs(qPrintable(options.parser.helpText()), stdout);
        return 0;
    }
    // Qt's own options too; process() prints them and ends the program.
    if (options.parser.isSet(QStringLiteral("help-all"))) options.parser.process(plain);
    if (options.parser.isSet(options.version)) {
        std::printf("corvel %s\n", corvel::kVersion);
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("corvel"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(corvel::kVersion));
    if (const auto answered = AnswerWithoutDisplay(argc, argv)) return *answered;

    QApplication app(argc, argv);
    Options o;
    o.parser.process(app);
    const QCommandLineParser& options = o.parser;
    const QCommandLineOption& port = o.port;
    const QCommandLineOption& demo = o.demo;
    const QCommandLineOption& screenshot = o.screenshot;
    const QCommandLineOption& after = o.after;
    const QCommandLineOption& demoUsb = o.demoUsb;
    const QCommandLineOption& connectNow = o.connectNow;
    const QCommandLineOption& restoreAnswer = o.restoreAnswer;
    const QCommandLineOption& recordLimit = o.recordLimit;

    int limitEntry = -1;
    if (options.isSet(recordLimit)) {
        const QString wanted = options.value(recordLimit);
        for (int i = 0; i < corvel::ReadingLog::kLimitEntryCount; ++i) {
            const std::string_view caption =
                corvel::ReadingLog::LimitCaption(static_cast<corvel::ReadingLog::LimitEntry>(i));
            if (wanted == QLatin1String(caption.data(), static_cast<qsizetype>(caption.size())))
                limitEntry = i;
        }
        if (limitEntry < 0) {
            std::fprintf(stderr,
                         "corvel: --record-limit is one of 1000, 5000, 10000, 50000, 100000, limitless\n");
            return 2;
        }
    }

    corvel::PortMap ports;
    bool com1FromCommandLine = false;
    for (const QString& value : options.values(port)) {
        QString error;
        const auto assignment = corvel::ParsePortAssignment(value, &error);
        if (!assignment) {
            std::fprintf(stderr, "corvel: --port %s: %s\n", qPrintable(value), qPrintable(error));
            return 2;
        }
        ports.Set(assignment->comName, assignment->device);
        com1FromCommandLine = com1FromCommandLine || assignment->comName == QLatin1String("COM1");
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
        com1FromCommandLine = true;
        std::printf("Simulated meter on %s, mapped to COM1\n", qPrintable(meter.Device()));
        std::fflush(stdout);
    }

    corvel::RegisterAssetFonts();
    corvel::QtPrompts prompts;
    corvel::QtBeeper beeper;
    corvel::WindowPlatform platform(prompts, beeper, corvel::ReadSystemDecimalSeparator(),
                                    corvel::Is64BitHost());
    platform.ports = ports;
    // The serial port chosen in the window and the chart's view options
    // are remembered here.
    const std::unique_ptr<QSettings> settings = OpenUserSettings();
    platform.settings = settings.get();
    platform.com1FromCommandLine = com1FromCommandLine;
    std::unique_ptr<corvel::SimulatedUsbBridge> usbBridge;
    if (options.isSet(demoUsb)) {
        usbBridge = std::make_unique<corvel::SimulatedUsbBridge>();
        platform.hid = usbBridge.get();
    }
    platform.journalFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString();
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
    // Chosen as the menu chooses it, after a restored log is back, so that
    // the journal keeps the choice too.
    if (limitEntry >= 0) window.LimitAction(limitEntry)->trigger();
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
