#pragma once
// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the thread that makes the object, for a
// command that runs until it is interrupted and then ends in good order. The handlers only write
// to a pipe, which a socket notifier reads on the event loop; whichever thread the kernel picks
// for the signal, nothing else runs in the handler. The earlier handlers come back when the
// object goes. One at a time per process.

#include <QObject>

class QSocketNotifier;

namespace tavrel::platform {

class InterruptSignals : public QObject {
    Q_OBJECT
public:
    explicit InterruptSignals(QObject* parent = nullptr);
    ~InterruptSignals() override;

    // Whether the handlers are in place.
    bool active() const { return m_notifier != nullptr; }

signals:
    void interrupted(int signalNumber);

private:
    void receive();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tavrel::platform
