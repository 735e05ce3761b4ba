// Prints how soon a view learns another program's write to a device, with 1 and with 8 emulated
// devices written at once:
// - from one device session's write finishing to another session holding the written record
//   (as in another Tavrel program: each has a notice board of its own), both in this process:
//   the notice's own way (the file, the folder's change notification, reading it back);
// - from a tavrelctl process (`set`, or `restore --all` for 8 devices) ending to this process's
//   session holding what it wrote, as a window would show it; the process's end is seen a little
//   after the notice, so this is the upper bound.
// Run under umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_sharing [rounds]

#include "config/configfile.h"
#include "keyemu/testbed.h"
#include "session/devicesession.h"

#include "rununtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tavrel;
using tavrel::bench::runUntil;

namespace {

AttachedDevice* sameDevice(const DeviceSession& session, const AttachedDevice* other)
{
    for (AttachedDevice* device : session.devices())
        if (device->identity().syspath == other->identity().syspath)
            return device;
    return nullptr;
}

// Reads every key of every device of the session.
bool readAll(DeviceSession& session)
{
    for (AttachedDevice* device : session.devices())
        device->read(AttachedDevice::ReadKind::Explicit);
    return runUntil([&] {
        return std::all_of(session.devices().begin(), session.devices().end(),
                           [](const AttachedDevice* device) { return !device->busy() && device->readComplete(); });
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
    // Without an editor neither reads anything by itself: the bench reads what it measures.
    for (DeviceSession* s : {&writer, &viewer})
        s->start();
    if (!runUntil([&] { return writer.devices().size() == 8 && viewer.devices().size() == 8; }) || !readAll(writer)
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
                AttachedDevice* from = writer.devices()[std::size_t(d)];
                AttachedDevice* to = sameDevice(viewer, from);
                QObject::connect(from, &AttachedDevice::writeFinished, &context,
                                 [&, d] { finished[std::size_t(d)] = clock.nsecsElapsed(); });
                QObject::connect(to, &AttachedDevice::recordChanged, &context, [&, d, to, key](int k) {
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

    // tavrelctl as the other program.
    const QString ctl = QCoreApplication::applicationDirPath() + QStringLiteral("/tavrelctl");
    std::printf("devices  round  tavrelctl ends -> view holds it: median    max\n");
    for (int devices : {1, 8}) {
        for (int round = 0; round < rounds; ++round) {
            const KeyRecord record{quint8(0x01 + round % 2), quint8(0x10 + devices + round), 0, 0, 0x00};
            QStringList arguments;
            if (devices == 1) {
                arguments = {QStringLiteral("set"), QStringLiteral("1"),
                             QStringLiteral("%1+%2")
                                 .arg(round % 2 ? QStringLiteral("shift") : QStringLiteral("ctrl"))
                                 .arg(QChar(u'a' + (0x10 + devices + round - 0x04))),
                             QStringLiteral("--device"), viewer.devices()[0]->identity().id()};
            } else {
                std::vector<KeyRecord> records(8, KeyRecord{});
                records[0] = record;
                QFile file(runtime.filePath(QStringLiteral("keys.json")));
                if (!file.open(QIODevice::WriteOnly))
                    return 1;
                file.write(configfile::serialize(records, QString(), QString()));
                file.close();
                arguments = {QStringLiteral("restore"), file.fileName(), QStringLiteral("--all")};
            }
            std::vector<qint64> seen(std::size_t(devices), -1);
            qint64 ended = -1;
            QElapsedTimer clock;
            clock.start();
            QObject context;
            for (int d = 0; d < devices; ++d) {
                AttachedDevice* to = viewer.devices()[std::size_t(d)];
                QObject::connect(to, &AttachedDevice::recordChanged, &context, [&, d, to](int k) {
                    if (k == 0 && to->assignments().at(0)->record == record && seen[std::size_t(d)] < 0)
                        seen[std::size_t(d)] = clock.nsecsElapsed();
                });
            }
            QProcess process;
            QObject::connect(&process, &QProcess::finished, &context, [&] { ended = clock.nsecsElapsed(); });
            process.start(ctl, arguments);
            runUntil(
                [&] { return ended >= 0 && std::none_of(seen.begin(), seen.end(), [](qint64 t) { return t < 0; }); },
                30000);
            double median = -1, longest = -1;
            std::vector<double> latency;
            const bool failed = ended < 0 || process.exitCode() != 0
                                || std::any_of(seen.begin(), seen.end(), [](qint64 t) { return t < 0; });
            for (qint64 t : seen)
                latency.push_back(double(t - ended) / 1e6);
            std::sort(latency.begin(), latency.end());
            median = latency[latency.size() / 2];
            longest = latency.back();
            std::printf("%7d  %5d  %35.2f ms  %5.2f ms%s\n", devices, round, median, longest,
                        failed ? "  (failed)" : "");
        }
    }
    std::printf("target: under 200 ms (a negative time: the view held it before the process was seen to end)\n");
    return 0;
}
