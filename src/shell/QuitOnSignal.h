#pragma once

#include <QObject>

class QSocketNotifier;

namespace corvel {

// Ends the event loop in an orderly way when the program is asked to stop
// by SIGTERM, SIGINT or SIGHUP, so that everything it started (the demo's
// simulator) is stopped and cleaned up as on a normal quit. The signal
// handler only writes a byte to a pipe; the event loop does the rest.
class QuitOnSignal final : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

    // The signal that asked the program to stop, 0 if none did.
    int received() const { return received_; }

private:
    void OnSignal();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};

}  // namespace corvel
