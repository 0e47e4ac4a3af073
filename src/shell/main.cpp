#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "Assets.h"
#include "links/PortMap.h"
#include "shell/DemoMeter.h"
#include "shell/HostInfo.h"
#include "shell/QtPrompts.h"
#include "shell/TFCOMM.h"

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
    const QCommandLineOption connectNow(
        QStringLiteral("connect"),
        QStringLiteral("Start the link on COM1 at once, as Connect -> START does."));
    options.addOption(port);
    options.addOption(demo);
    options.addOption(connectNow);
    options.addOption(screenshot);
    options.addOption(after);
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
    corvel::TFCOMM window(std::move(platform));
    prompts.SetParent(&window);
    // Centred on the screen, as the layout places it.
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    // The demo, or --connect, starts the link as Connect -> START does.
    if (options.isSet(demo) || options.isSet(connectNow)) window.BTCon1Click();

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
