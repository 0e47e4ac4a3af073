#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QScreen>
#include <cstdio>

#include "Assets.h"
#include "shell/HostInfo.h"
#include "shell/QtPrompts.h"
#include "shell/TFCOMM.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString());
    corvel::RegisterAssetFonts();

    corvel::QtPrompts prompts;
    corvel::QtBeeper beeper;
    corvel::TFCOMM window({prompts, beeper, corvel::ReadSystemDecimalSeparator(), corvel::Is64BitHost()});
    prompts.SetParent(&window);
    // Centred on the screen, as the layout places it.
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();

    QCommandLineParser options;
    options.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to FILE, then quit."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption after(QStringLiteral("screenshot-after"),
                                   QStringLiteral("Milliseconds to wait before the screenshot (default 3000)."),
                                   QStringLiteral("MS"), QStringLiteral("3000"));
    options.addOption(screenshot);
    options.addOption(after);
    options.process(app);
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
