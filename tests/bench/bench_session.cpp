// Prints how closely the device session keeps to the protocol's pauses, and how long the event
// loop is held up while it reads and writes, against an emulated eight-key device. Run under
// umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_session [rounds]

#include "config/configio.h"
#include "keyemu/testbed.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"

#include "rununtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace tavrel;
using tavrel::bench::runUntil;

namespace {

// The longest gap between the ticks of a 1 ms timer while it runs.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_tick.setTimerType(Qt::PreciseTimer);
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_tick.start(1);
    }
    double stopMs()
    {
        m_tick.stop();
        return double(m_longest) / 1e6;
    }

private:
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    // The emulated devices' nodes never signal data: the device layer reads after each period.
    if (qEnvironmentVariableIsEmpty("TAVREL_POLL_PERIOD_MS"))
        qputenv("TAVREL_POLL_PERIOD_MS", "10");
    // Its writes' history goes to a folder of its own, not the user's.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    emu::Testbed testbed;
    DeviceSession session;
    DeviceEditor editor(session);
    session.start();
    runUntil([&] { return session.scanned(); });  // the start-up scan, which finds nothing
    bool answered = false;
    QObject::connect(&editor, &DeviceEditor::keyCountChanged, [&] { answered = true; });
    bool written = false;
    // Each round's device is selected as it is plugged in: its write is the one waited for.
    std::unique_ptr<QObject> selection;
    QObject::connect(&editor, &DeviceEditor::deviceSelected, [&] {
        selection = std::make_unique<QObject>();
        if (AttachedDevice* device = editor.selected())
            QObject::connect(device, &AttachedDevice::writeFinished, selection.get(), [&] { written = true; });
    });

    const double readPauses = 8 * ReadPauseMs;  // an eight-key device: eight requests
    const double writePauses = 8 * WritePauseMs;
    std::printf("round  plug->first key  plug->read done  read/pauses  write  write/pauses  stall read  stall write\n");
    for (int round = 0; round < rounds; ++round) {
        emu::KeyModel model;
        model.name = QStringLiteral("bench-%1").arg(round);
        model.serial = QStringLiteral("320000000001");
        model.keys = 8;
        answered = false;
        StallMeter stall;
        QElapsedTimer clock;
        clock.start();
        stall.start();
        emu::EmulatedDevice& device = testbed.add(model);
        runUntil([&] { return answered; });
        const double firstKey = double(clock.nsecsElapsed()) / 1e6;
        // The read is over once its last pause is.
        runUntil([&] { return !editor.busy() && editor.shownKeys() == 8; });
        const double readDone = double(clock.nsecsElapsed()) / 1e6;
        const double stallRead = stall.stopMs();

        for (int k = 0; k < 8; ++k) {
            editor.selectKey(k);
            editor.setRepeat(round % 2 == 0);
        }
        written = false;
        stall.start();
        clock.restart();
        editor.selected()->write();
        runUntil([&] { return written; });
        const double write = double(clock.nsecsElapsed()) / 1e6;
        const double stallWrite = stall.stopMs();

        std::printf("%5d  %12.1f ms  %12.1f ms  %11.3f  %5.0f ms  %12.3f  %7.1f ms  %8.1f ms\n", round, firstKey,
                    readDone, readDone / readPauses, write, write / writePauses, stallRead, stallWrite);
        testbed.unplug(device);
        runUntil([&] { return session.devices().empty(); });
    }
    std::printf(
        "targets: read/pauses <= 1.05 (pauses: %.0f ms), write/pauses <= 1.05 (pauses: %.0f ms), stalls < 20 ms\n",
        readPauses, writePauses);
    return 0;
}
