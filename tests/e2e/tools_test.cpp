// The command-line side of the program: corvel --demo and its simulator,
// corvel-decode against the window.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <string>
#include <vector>

#include "DecodeReport.h"
#include "Version.h"
#include "shell/TFCOMM.h"
#include "sim/MeterFrames.h"
#include "support/ScriptedPrompts.h"

extern char** environ;

using namespace corvel;

namespace {

struct SilentBeeper : Beeper {
    void Beep() override {}
};

// The parent process id of `pid`, or 0 when it has gone. A process that
// has ended but is not yet reaped by whoever inherited it counts as gone.
pid_t ParentOf(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray line = stat.readAll();
    // "pid (name) state ppid ...": the name may hold blanks, so read after
    // its closing parenthesis.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 2 || fields[0] == "Z" || fields[0] == "X") return 0;
    return static_cast<pid_t>(fields[1].toInt());
}

// The children of `parent` named `name`.
std::vector<pid_t> ChildrenNamed(pid_t parent, const QString& name) {
    std::vector<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number || ParentOf(pid) != parent) continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) &&
            name.startsWith(QString::fromLocal8Bit(comm.readAll().trimmed())))
            found.push_back(pid);
    }
    return found;
}

}  // namespace

// However `corvel --demo` ends, its simulator ends with it.
TEST(DemoSimulator, EndsWithTheProgramHoweverItEnds) {
    const struct {
        const char* how;
        int signal;
        bool orderly;  // the program shuts down as on Quit
    } endings[] = {
        {"SIGTERM", SIGTERM, true},
        {"SIGINT", SIGINT, true},
        {"SIGHUP", SIGHUP, true},
        {"SIGKILL", SIGKILL, false},
        {"crash (SIGSEGV)", SIGSEGV, false},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.how);
        QProcess corvel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A folder of its own for the log's journal: the kills leave one
        // behind, which the user's next start would be asked about.
        QTemporaryDir data;
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        // Neither the user's settings nor their home reach it.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), data.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("HOME"), data.path());
        corvel.setProcessEnvironment(env);
        // No core file for the crash.
        corvel.setChildProcessModifier([] {
            rlimit none{0, 0};
            ::setrlimit(RLIMIT_CORE, &none);
        });
        corvel.start(QStringLiteral(CORVEL_BIN), {QStringLiteral("--demo")});
        ASSERT_TRUE(corvel.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return corvel.canReadLine(); }, 10000)) << "no demo line";
        const QString line = QString::fromLocal8Bit(corvel.readLine());
        ASSERT_TRUE(line.contains(QStringLiteral("mapped to COM1"))) << line.toStdString();
        const pid_t program = static_cast<pid_t>(corvel.processId());
        std::vector<pid_t> sims;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !(sims = ChildrenNamed(program, QStringLiteral("corvel-meter-sim"))).empty(); },
            5000));
        ASSERT_EQ(sims.size(), 1u);
        const pid_t sim = sims.front();
        QTest::qWait(300);  // the window is up and the link started

        ::kill(program, ending.signal);
        ASSERT_TRUE(corvel.waitForFinished(10000));
        if (ending.orderly) {
            EXPECT_EQ(corvel.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(corvel.exitCode(), 128 + ending.signal);
        } else {
            // A sanitizer build catches SIGSEGV itself and exits with an
            // error instead of dying of the signal.
            EXPECT_TRUE(corvel.exitStatus() == QProcess::CrashExit || corvel.exitCode() != 0);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return ParentOf(sim) == 0; }, 5000))
            << "corvel-meter-sim " << sim << " outlived the program";
        if (ParentOf(sim) != 0) ::kill(sim, SIGKILL);
    }
}

namespace {

// corvel-decode run on `input`; its standard output, one report a line.
std::vector<std::string> Decode(const QStringList& arguments, const QByteArray& input) {
    QProcess decode;
    decode.start(QStringLiteral(CORVEL_DECODE), arguments);
    if (!decode.waitForStarted(5000)) return {};
    decode.write(input);
    decode.closeWriteChannel();
    if (!decode.waitForFinished(20000)) return {};
    std::vector<std::string> lines;
    for (const QByteArray& l : decode.readAllStandardOutput().split('\n'))
        if (!l.isEmpty()) lines.push_back(l.toStdString());
    return lines;
}

sim::Display Shown(const char* main, int decimals) {
    sim::Display d;
    for (int i = 0; i < 4; ++i) d.main[static_cast<std::size_t>(i)] = main[i];
    d.mainDecimals = decimals;
    return d;
}

}  // namespace

// A stream replayed by corvel-decode reports what the window shows for it,
// from the first frame on.
TEST(DecodeTool, ABirchStreamReportsWhatTheWindowShows) {
    const struct {
        const char* name;
        std::vector<sim::Display> frames;
    } streams[] = {
        {"OneReading", {Shown(" 123", 0)}},
        {"ReadingsWithPoints", {Shown("1234", 2), Shown(" 0.5", 1), Shown("   7", 0)}},
        {"Overload", {Shown(" 0L ", 0), Shown("  12", 1)}},
    };
    for (const auto& stream : streams) {
        SCOPED_TRACE(stream.name);
        test::ScriptedPrompts prompts;
        SilentBeeper beeper;
        TFCOMM w(WindowPlatform(prompts, beeper, ".", false));
        QByteArray bytes;
        std::vector<std::string> shown;
        for (const sim::Display& d : stream.frames) {
            const std::vector<std::uint8_t> frame = sim::BirchFrame(d);
            bytes.append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
            w.HBirchRData(nullptr, frame.data(), static_cast<std::int32_t>(frame.size()));
            shown.push_back(DecodeReportLine("birch", w.Core()));
        }
        const std::vector<std::string> reported =
            Decode({QStringLiteral("--handler"), QStringLiteral("birch"),
                    QStringLiteral("--decimal-separator"), QStringLiteral(".")},
                   bytes);
        ASSERT_EQ(reported.size(), shown.size());
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_EQ(reported[i], shown[i]) << "frame " << i;
            EXPECT_NE(reported[i].find("\"label4\":\"\",\"label5\":\"\""), std::string::npos) << reported[i];
        }
    }
}

// An input line that never ends costs corvel-decode --handler hid no more
// memory than a short one.
TEST(DecodeTool, HidLinesAreBoundedWhileTheyAreRead) {
    // Peak resident memory of corvel-decode reading `bytes` of `fill` with
    // no line break, then a valid report line.
    const auto peakKiB = [](std::size_t bytes, char fill, long* status) -> long {
        int in[2];
        if (::pipe(in) != 0) return -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char handler[] = "--handler", hid[] = "hid";
        std::string program = CORVEL_DECODE;
        char* argv[] = {program.data(), handler, hid, nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        if (spawned != 0) {
            ::close(in[1]);
            return -1;
        }
        const std::string block(1 << 16, fill);
        for (std::size_t sent = 0; sent < bytes; sent += block.size())
            if (::write(in[1], block.data(), block.size()) < 0) break;
        const char tail[] = "\n02 41 42\n";
        [[maybe_unused]] const ssize_t n = ::write(in[1], tail, sizeof tail - 1);
        ::close(in[1]);
        int wstatus = 0;
        rusage usage{};
        if (::wait4(pid, &wstatus, 0, &usage) != pid) return -1;
        *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        return usage.ru_maxrss;
    };
    long status = -1;
    const long shortLine = peakKiB(0, '\r', &status);
    ASSERT_GT(shortLine, 0);
    EXPECT_EQ(status, 0);
    const struct {
        const char* name;
        std::size_t bytes;
        char fill;
    } lines[] = {
        {"CarriageReturns", 96u << 20, '\r'},
        {"HexDigits", 96u << 20, 'A'},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.name);
        const long endless = peakKiB(line.bytes, line.fill, &status);
        ASSERT_GT(endless, 0);
        EXPECT_EQ(status, 0);
        // A line's worth of the longest report is allowed, not the input.
        EXPECT_LT(endless, shortLine + 4 * 1024)
            << "KiB at peak, against " << shortLine << " for a short line";
    }
}

namespace {

struct Ran {
    int exit = -1;
    std::string out, err;
};

// Runs a command as from a terminal without any display: no X or Wayland
// display and no Qt platform named, and a home of its own.
Ran RunWithoutDisplay(const QString& program, const QStringList& args, const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Ran run;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput().toStdString();
    run.err = p.readAllStandardError().toStdString();
    return run;
}

}  // namespace

// Every command answers --help and --version on a terminal without a
// display, each with the one version the build sets.
TEST(EveryCommand, AnswersHelpAndVersionWithoutADisplay) {
    QTemporaryDir home;
    const struct {
        const char* name;
        const char* path;
        const char* helpStarts;  // what --help's first line starts with
    } commands[] = {
        {"corvel", CORVEL_BIN, "Usage: "},
        {"corvel-decode", CORVEL_DECODE, "usage: corvel-decode "},
        {"corvel-convert", CORVEL_CONVERT, "usage: corvel-convert "},
        {"corvel-hid", CORVEL_HID, "usage: corvel-hid "},
        {"corvel-meter-sim", CORVEL_METER_SIM, "usage: corvel-meter-sim "},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.name);
        const Ran version =
            RunWithoutDisplay(QString::fromLatin1(c.path), {QStringLiteral("--version")}, home.path());
        EXPECT_EQ(version.exit, 0) << version.err;
        EXPECT_EQ(version.out, std::string(c.name) + " " + corvel::kVersion + "\n");
        const Ran help =
            RunWithoutDisplay(QString::fromLatin1(c.path), {QStringLiteral("--help")}, home.path());
        EXPECT_EQ(help.exit, 0) << help.err;
        EXPECT_EQ(help.out.rfind(c.helpStarts, 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");
    }
}

TEST(HidTool, SaysWhatItCannotDo) {
    QTemporaryDir home;
    const bool noInterfaces = QDir(QStringLiteral("/sys/class/hidraw")).isEmpty();
    const std::string usage =
        RunWithoutDisplay(QStringLiteral(CORVEL_HID), {QStringLiteral("--help")}, home.path()).out;
    const struct {
        QStringList args;
        int exit;
        std::string err;
        bool onlyWithoutInterfaces;  // what this machine has decides
    } cases[] = {
        {{QStringLiteral("list")}, 0, "corvel-hid: no HID interfaces found\n", true},
        {{QStringLiteral("lsit")}, 2, "corvel-hid: unknown command: lsit\n" + usage, false},
        {{QStringLiteral("--list")}, 2, "corvel-hid: unknown command: --list\n" + usage, false},
        {{QStringLiteral("read")}, 2, usage, false},
        {{}, 2, usage, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        if (c.onlyWithoutInterfaces && !noInterfaces) continue;
        const Ran run = RunWithoutDisplay(QStringLiteral(CORVEL_HID), c.args, home.path());
        EXPECT_EQ(run.exit, c.exit);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

namespace corvel {
namespace {

// A file corvel-decode wrote, or a part of a workbook, read by Python's own
// csv and zip modules.
std::string ReadWithPython(const QString& script, const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    python.waitForFinished(30000);
    return python.readAllStandardOutput().toStdString();
}

}  // namespace

// corvel-decode --log writes the workbook and CSV by the name's extension,
// with the limits it was given.
TEST(DecodeTool, TheLogGoesToAWorkbookOrCsvByItsName) {
    QByteArray bytes;
    for (const double value : {12.3, 45.6, -1.0}) {
        sim::Display d;
        sim::FormatRow(25, 0, d.second);
        if (value < 0) {
            d = sim::Overload(d);
        } else {
            sim::FormatRow(value, 1, d.main);
            d.mainDecimals = 1;
        }
        const std::vector<std::uint8_t> frame = sim::OakFrame(d);
        bytes.append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    }
    QTemporaryDir dir;
    const struct {
        const char* name;
        QString script;
        std::string expected;
    } cases[] = {
        {"log.csv",
         QStringLiteral("import csv, sys\n"
                        "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))\n"
                        "print(rows[0]); print([r[0] for r in rows[1:]]); print([r[2] for r in rows[1:]])"),
         "['No', 'Time', 'Value', 'Unit', 'Value2', 'Unit2']\n['1', '2', '3']\n['12.3', '45.6', '0L']\n"},
        {"log.xlsx",
         QStringLiteral("import sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1])\n"
                        "print('<c:v>High</c:v>' in z.read('xl/charts/chart1.xml').decode())\n"
                        "print('Rows above High' in z.read('xl/worksheets/sheet2.xml').decode())"),
         "True\nTrue\n"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        QProcess decode;
        decode.start(QStringLiteral(CORVEL_DECODE),
                     {QStringLiteral("--handler"), QStringLiteral("oak"),
                      QStringLiteral("--decimal-separator"), QStringLiteral("."), QStringLiteral("--high"),
                      QStringLiteral("40"), QStringLiteral("--quiet"), QStringLiteral("--log"), path});
        ASSERT_TRUE(decode.waitForStarted(5000));
        decode.write(bytes);
        decode.closeWriteChannel();
        ASSERT_TRUE(decode.waitForFinished(20000));
        EXPECT_EQ(decode.exitCode(), 0) << c.name << decode.readAllStandardError().toStdString();
        EXPECT_EQ(ReadWithPython(c.script, path), c.expected) << c.name;
    }
}

}  // namespace corvel
