// The serial port remembered in the user's settings, as the built program
// reads it when a user starts it: with its own home and folders, on real
// pseudo-terminals.

#include <gtest/gtest.h>
#include <termios.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <optional>

#include "support/LinkTestSupport.h"

using corvel::test::Pty;
using corvel::test::WaitUntil;

namespace {

// The pseudo-terminal's line speed, which the program sets to the meter's
// 2400 baud when it opens the port.
speed_t Speed(const Pty& pty) {
    const termios t = pty.Attributes();
    return ::cfgetispeed(&t);
}

}  // namespace

TEST(SerialPortAtStart, TheRememberedPortIsOpenedUnlessThePortOptionNamesAnother) {
    Pty remembered, given;
    ASSERT_TRUE(remembered.ok() && given.ok());
    // Both start at a speed the program never sets.
    remembered.SetSpeed(B9600);
    given.SetSpeed(B9600);
    const QByteArray rememberedLine = "[serial]\nCOM1=" + remembered.path().toUtf8() + "\n";
    const char junk[] = "\x00\xff\xfe[serial\x01\nCOM1=\xc3\x28/dev\n\x00";
    const struct {
        const char* name;
        std::optional<QByteArray> settings;  // none: no settings file
        QStringList options;
        const Pty* opened;  // none: neither pseudo-terminal
    } cases[] = {
        {"remembered", rememberedLine, {QStringLiteral("--connect")}, &remembered},
        {"--port wins",
         rememberedLine,
         {QStringLiteral("--connect"), QStringLiteral("--port"), QStringLiteral("COM1=") + given.path()},
         &given},
        {"damaged settings file", QByteArray(junk, sizeof junk - 1), {}, nullptr},
        {"settings folder is a file", std::nullopt, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        const QString config = home.filePath(QStringLiteral("config"));
        if (c.settings) {
            ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/corvel")));
            QFile f(config + QStringLiteral("/corvel/corvel.conf"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(*c.settings);
        } else {
            QFile f(config);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        QProcess corvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        corvel.setProcessEnvironment(env);
        corvel.setProcessChannelMode(QProcess::MergedChannels);
        const QString picture = home.filePath(QStringLiteral("window.png"));
        corvel.start(QStringLiteral(CORVEL_BIN),
                     c.options + QStringList{QStringLiteral("--screenshot"), picture,
                                             QStringLiteral("--screenshot-after"), QStringLiteral("1500")});
        ASSERT_TRUE(corvel.waitForStarted(5000));
        if (c.opened) {
            EXPECT_TRUE(WaitUntil([&] { return Speed(*c.opened) == B2400; }, 10000));
            for (const Pty* other : {&remembered, &given}) {
                if (other != c.opened) {
                    EXPECT_EQ(Speed(*other), speed_t(B9600));
                }
            }
        }
        const bool finished = corvel.waitForFinished(20000);
        if (!finished) corvel.kill();
        const QString output = QString::fromLocal8Bit(corvel.readAll());
        ASSERT_TRUE(finished) << output.toStdString();
        // It started as always and went on to its screenshot.
        EXPECT_EQ(corvel.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(QFile::exists(picture)) << output.toStdString();
        for (Pty* p : {&remembered, &given}) p->SetSpeed(B9600);
    }
}
