#include "support/LinkTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <cerrno>
#include <cstdlib>

namespace corvel::test {

Pty::Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) return;
    char name[256] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    path_ = QString::fromLocal8Bit(name);
    // Opened before any reader, so that the reader's exclusive lock does
    // not keep the test from looking at the line.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
}

Pty::~Pty() {
    if (slave_ >= 0) ::close(slave_);
    CloseMaster();
}

bool Pty::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size()) {
        if (master_ < 0) return false;
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

void Pty::CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

termios Pty::Attributes() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return t;
}

void Pty::SetSpeed(speed_t speed) {
    termios t = Attributes();
    ::cfsetspeed(&t, speed);
    ::tcsetattr(slave_, TCSANOW, &t);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void SpinFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

}  // namespace corvel::test
