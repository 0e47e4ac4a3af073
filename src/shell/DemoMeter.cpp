#include "shell/DemoMeter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#endif

namespace corvel {

DemoMeter::~DemoMeter() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();  // lets it remove its terminal cleanly
    if (!process_.waitForFinished(2000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

QString DemoMeter::FindSimulator() {
    // Beside the program in a build tree; in the helper-program folder once
    // installed (the simulator is no command of its own, so not on PATH).
    return FindSimulator({QCoreApplication::applicationDirPath(), QStringLiteral(CORVEL_LIBEXEC_DIR)});
}

QString DemoMeter::FindSimulator(const QStringList& folders) {
    const QString name = QStringLiteral("corvel-meter-sim");
    for (const QString& folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (candidate.isFile() && candidate.isExecutable()) return candidate.filePath();
    }
    return QStandardPaths::findExecutable(name);
}

bool DemoMeter::Start(const QString& program, QString* error) {
    if (program.isEmpty()) {
        *error = QStringLiteral(
            "the meter simulator corvel-meter-sim was not found beside the program, in " CORVEL_LIBEXEC_DIR
            " or on PATH");
        return false;
    }
    process_.setProgram(program);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_LINUX
    // However the program ends (a signal, a crash), the kernel ends the
    // simulator with it. Set in the child between fork and exec; a parent
    // that died before that is caught by the check that follows.
    const pid_t parent = ::getpid();
    process_.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
    });
#endif
    process_.start();
    if (!process_.waitForStarted(5000)) {
        *error = QStringLiteral("could not start %1: %2").arg(program, process_.errorString());
        return false;
    }
    // Its first line is the terminal it streams on.
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(5000)) {
            *error = QStringLiteral("%1 did not name its terminal").arg(program);
            return false;
        }
    }
    device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    if (device_.isEmpty()) {
        *error = QStringLiteral("%1 named no terminal").arg(program);
        return false;
    }
    // Its later output is of no interest, but it must not fill the pipe.
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_,
                     [this] { process_.readAllStandardOutput(); });
    return true;
}

}  // namespace corvel
