// Prints how soon a view learns another program's write to a device: the time from one device
// session's write finishing to another session (as in another Tavrel program: each has a notice
// board of its own) holding the written record, with 1 and with 8 emulated devices written at
// once. Both sessions run in this process, so the figure is the notice's own way (the file, the
// folder's change notification, reading it back), without a second process's scheduling. Run
// under umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_sharing [rounds]

#include "keyemu/testbed.h"
#include "session/devicesession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tavrel;

namespace {

bool runUntil(const std::function<bool()>& done, int limitMs = 10000)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

AttachedKey* sameDevice(const DeviceSession& session, const AttachedKey* other)
{
    for (AttachedKey* key : session.keys())
        if (key->identity().syspath == other->identity().syspath)
            return key;
    return nullptr;
}

// Reads every key of every device of the session.
bool readAll(DeviceSession& session)
{
    for (AttachedKey* key : session.keys())
        key->read(AttachedKey::ReadKind::Explicit);
    return runUntil([&] {
        return std::all_of(session.keys().begin(), session.keys().end(),
                           [](const AttachedKey* k) { return !k->busy() && k->readComplete(); });
    });
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("TAVREL_POLL_PERIOD_MS"))
        qputenv("TAVREL_POLL_PERIOD_MS", "10");
    // A runtime folder of this run's own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    emu::Testbed testbed;
    for (int i = 0; i < 8; ++i) {
        emu::KeyModel model;
        model.name = QStringLiteral("bench-%1").arg(i);
        model.serial = QStringLiteral("3200000000%1").arg(10 + i);
        model.keys = 8;
        testbed.add(model);
    }
    DeviceSession writer, viewer;
    for (DeviceSession* s : {&writer, &viewer}) {
        s->setReadsWhenSelected(false);
        s->start();
    }
    if (!runUntil([&] { return writer.keys().size() == 8 && viewer.keys().size() == 8; }) || !readAll(writer)
        || !readAll(viewer)) {
        std::fprintf(stderr, "the emulated devices were not read\n");
        return 1;
    }

    std::printf("devices  round  write end -> view holds it: median    max\n");
    for (int devices : {1, 8}) {
        for (int round = 0; round < rounds; ++round) {
            const int key = round % 8;
            const KeyRecord record{quint8(devices * 16 + round + 1), quint8(0x04 + round % 20), 0, 0, 0x00};
            QElapsedTimer clock;
            clock.start();
            std::vector<qint64> finished(std::size_t(devices), -1), seen(std::size_t(devices), -1);
            QObject context;
            for (int d = 0; d < devices; ++d) {
                AttachedKey* from = writer.keys()[std::size_t(d)];
                AttachedKey* to = sameDevice(viewer, from);
                QObject::connect(from, &AttachedKey::writeFinished, &context,
                                 [&, d] { finished[std::size_t(d)] = clock.nsecsElapsed(); });
                QObject::connect(to, &AttachedKey::recordChanged, &context, [&, d, to, key](int k) {
                    if (k == key && to->assignments().at(k)->record == record && seen[std::size_t(d)] < 0)
                        seen[std::size_t(d)] = clock.nsecsElapsed();
                });
                from->setRecord(key, record, RecordOrigin::Edited);
                from->writeKeys({key});
            }
            runUntil([&] { return std::none_of(seen.begin(), seen.end(), [](qint64 t) { return t < 0; }); });
            std::vector<double> latency;
            for (int d = 0; d < devices; ++d)
                latency.push_back(seen[std::size_t(d)] < 0 || finished[std::size_t(d)] < 0
                                      ? -1.0
                                      : double(seen[std::size_t(d)] - finished[std::size_t(d)]) / 1e6);
            std::sort(latency.begin(), latency.end());
            std::printf("%7d  %5d  %31.2f ms  %5.2f ms%s\n", devices, round, latency[latency.size() / 2],
                        latency.back(), latency.front() < 0 ? "  (some never seen)" : "");
        }
    }
    std::printf("target: under 200 ms\n");
    return 0;
}
