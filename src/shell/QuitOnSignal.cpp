#include "shell/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace corvel {

#ifdef Q_OS_UNIX
namespace {

int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void WriteSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe means a stop is pending already.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace
#endif

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitOnSignal::OnSignal);
    struct sigaction sa {};
    sa.sa_handler = WriteSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &sa, nullptr);
#endif
}

QuitOnSignal::~QuitOnSignal() {
#ifdef Q_OS_UNIX
    if (!notifier_) return;
    // From here on a signal ends the program the system's way.
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals) ::sigaction(s, &sa, nullptr);
    delete notifier_;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
#endif
}

void QuitOnSignal::OnSignal() {
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    while (::read(gPipe[0], &byte, 1) == 1) received_ = byte;
#endif
    QCoreApplication::exit(128 + received_);
}

}  // namespace corvel
