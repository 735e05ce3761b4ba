// Prints what the write history costs a write: the time one entry's append takes (a line of
// eight keys, synced to the disk, with the file trimmed now and then), and the time a write of
// every key of an emulated eight-key device takes with the history on and off. The histories go to
// a temporary folder. Run under umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_history [rounds]

#include "config/configio.h"
#include "config/historyentry.h"
#include "keyemu/testbed.h"
#include "platform/historystore.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"

#include "rununtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tavrel;
using tavrel::bench::runUntil;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("TAVREL_POLL_PERIOD_MS"))
        qputenv("TAVREL_POLL_PERIOD_MS", "10");
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    // The append alone, 250 times: past 250 lines the file is trimmed to 200 once.
    history::HistoryEntry entry;
    entry.program = QStringLiteral("tavrelctl");
    entry.command = QStringLiteral("restore keys.json --all");
    entry.device = entry.serial = QStringLiteral("320000000001");
    entry.product = QStringLiteral("Programmable Key");
    entry.port = QStringLiteral("1-1:1.0");
    for (int k = 0; k < 8; ++k)
        entry.keys.push_back(
            {k, KeyRecord{0x05, quint8(0x04 + k), 0, 0, 0}, KeyRecord{0x03, quint8(0x10 + k), 0, 0, 2}});
    platform::HistoryStore store(platform::HistoryStore::defaultFolder());
    std::vector<double> appends;
    for (int n = 0; n < 250; ++n) {
        entry.time = QDateTime::currentDateTimeUtc();
        QElapsedTimer clock;
        clock.start();
        if (!store.append(QStringLiteral("serial-bench.jsonl"), history::entryLine(entry), history::KeptEntries).ok()) {
            std::printf("the append failed\n");
            return 1;
        }
        appends.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("append of an eight-key entry (250 times): median %.3f ms, longest %.3f ms\n", median(appends),
                *std::max_element(appends.begin(), appends.end()));

    // Writes of every key of an eight-key device, the history on and off in turn.
    emu::Testbed testbed;
    DeviceSession session;
    DeviceEditor editor(session);
    session.start();
    emu::KeyModel model;
    model.name = QStringLiteral("bench");
    model.serial = QStringLiteral("320000000001");
    model.keys = 8;
    testbed.add(model);
    if (!runUntil([&] { return !editor.busy() && editor.shownKeys() == 8; })) {
        std::printf("the emulated device was not read\n");
        return 1;
    }
    AttachedDevice* device = editor.selected();
    bool written = false;
    QObject::connect(device, &AttachedDevice::writeFinished, [&] { written = true; });
    // From the write's call to its first report: the append lies in between.
    QElapsedTimer clock;
    double firstReport = 0;
    QObject::connect(device, &AttachedDevice::writeSending, [&] {
        if (firstReport == 0)
            firstReport = double(clock.nsecsElapsed()) / 1e6;
    });
    std::vector<double> on, off, firstOn, firstOff;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool historyOn = round % 2 == 0;
        qputenv("TAVREL_HISTORY", historyOn ? "1" : "0");
        for (int k = 0; k < 8; ++k) {
            editor.selectKey(k);
            editor.setRepeat(round % 4 < 2);
        }
        written = false;
        firstReport = 0;
        clock.start();
        device->write();
        runUntil([&] { return written; });
        (historyOn ? on : off).push_back(double(clock.nsecsElapsed()) / 1e6);
        (historyOn ? firstOn : firstOff).push_back(firstReport);
    }
    const double pauses = 8 * WritePauseMs;
    std::printf("write of eight keys (%d rounds each): history on median %.1f ms, off %.1f ms, difference %.1f ms "
                "(pauses: %.0f ms)\n",
                rounds, median(on), median(off), median(on) - median(off), pauses);
    std::printf("from the write's call to its first report: history on median %.3f ms, off %.3f ms\n", median(firstOn),
                median(firstOff));
    return 0;
}
