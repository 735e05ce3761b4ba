#include "platform/interruptsignals.h"

#include "platform/platformlog.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tavrel::platform {

namespace {

constexpr std::array<int, 3> InterruptSignalNumbers{SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe, for the handler; -1 while no object is there.
std::atomic<int> writeEnd{-1};
struct sigaction previous[InterruptSignalNumbers.size()];

void onSignal(int signalNumber)
{
    const int saved = errno;
    const int fd = writeEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

InterruptSignals::InterruptSignals(QObject* parent) : QObject(parent)
{
    if (writeEnd.load() >= 0) {
        qCDebug(lcPlatform) << "Interrupts are already taken by another object: this one hears none.";
        return;
    }
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcPlatform) << "Interrupts cannot be heard:" << std::strerror(errno);
        return;
    }
    writeEnd = m_pipe[1];
    for (std::size_t i = 0; i < InterruptSignalNumbers.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = &onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(InterruptSignalNumbers[i], &action, &previous[i]);
    }
    m_notifier = new QSocketNotifier(qintptr(m_pipe[0]), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptSignals::receive);
}

InterruptSignals::~InterruptSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < InterruptSignalNumbers.size(); ++i)
        ::sigaction(InterruptSignalNumbers[i], &previous[i], nullptr);
    writeEnd = -1;
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void InterruptSignals::receive()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(m_pipe[0], &byte, 1) == 1)
        last = byte;
    if (last)
        emit interrupted(last);
}

}  // namespace tavrel::platform
