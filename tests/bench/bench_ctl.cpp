// Prints how long tavrelctl takes as a program, process start included, against emulated devices:
// `show` on an eight-key device as a ratio to its read's protocol pauses, `restore --all` onto 1, 8
// and 16 eight-key devices as a ratio to one device's read and write pauses (goal: 1.3 at most, for
// every count), and `list` with 1, 8, 25 and 32 devices attached. Starts the emulator itself (no
// umockdev-wrapper needed):
//   build/bin/bench_ctl [rounds]
//
// Two things of the emulation weigh on the figures. umockdev's preload library loads with every
// run. And an emulated node never signals a report, so an answer is seen only at the next read
// of the poll period (10 ms here), where a real device's is seen at once. umockdev 0.17's preload
// also tracks at most 50 emulated descriptors per process, one for each open device.

#include "config/configfile.h"
#include "config/configio.h"
#include "ctlharness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tavrel;
using namespace tavrel::ctltest;

namespace {

struct Figures {
    double medianMs = 0;
    double bestMs = 0;
    int failed = 0;
    QString firstFailure;
};

Figures timeRuns(Emulator& emu, const QStringList& arguments, int rounds)
{
    std::vector<double> ms;
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        const CtlRun run = emu.runCtl(arguments);
        const double took = double(clock.nsecsElapsed()) / 1e6;
        if (run.exitCode != 0) {
            if (f.failed++ == 0)
                f.firstFailure = run.err.section(u'\n', 0, 0);
            continue;
        }
        ms.push_back(took);
    }
    if (ms.empty())
        return f;
    std::sort(ms.begin(), ms.end());
    f.medianMs = ms[ms.size() / 2];
    f.bestMs = ms.front();
    return f;
}

QStringList deviceFields(int count, int keysEach)
{
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << QStringLiteral("name=k%1,serial=3100%2,keys=%3")
                      .arg(i)
                      .arg(i + 1, 8, 10, QLatin1Char('0'))
                      .arg(keysEach);
    return fields;
}

}  // namespace

int main(int argc, char** argv)
{
    // The emulated devices' nodes never signal data: tavrelctl's device layer reads after each
    // period (the program inherits this).
    if (qEnvironmentVariableIsEmpty("TAVREL_POLL_PERIOD_MS"))
        qputenv("TAVREL_POLL_PERIOD_MS", "10");
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QString why;

    {
        Emulator emu;
        if (!emu.start(deviceFields(1, 8), &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        const double pauses = 8.0 * ReadPauseMs;
        const Figures show = timeRuns(emu, {QStringLiteral("show")}, rounds);
        std::printf("tavrelctl show, 8-key device, %d rounds: median %.0f ms, best %.0f ms; "
                    "ratio to the read's pauses (%.0f ms): median %.2f, best %.2f%s\n",
                    rounds, show.medianMs, show.bestMs, pauses, show.medianMs / pauses, show.bestMs / pauses,
                    show.failed ? " (some runs failed)" : "");
        const Figures help = timeRuns(emu, {QStringLiteral("--help")}, rounds);
        std::printf("tavrelctl --help, the process start and end alone: median %.0f ms\n", help.medianMs);
    }
    {
        // One device's pauses: seven read requests and seven written keys, 50 and 150 ms after each.
        const double pauses = 7.0 * ReadPauseMs + 7.0 * WritePauseMs;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("keys.json"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)
            || out.write(configfile::serialize(std::vector<KeyRecord>(8, KeyRecord{0x01, 0x05, 0, 0, 0}),
                                               QStringLiteral("310000000001"), QStringLiteral("Programmable Key")))
                   < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        out.close();
        for (int count : {1, 8, 16}) {
            Emulator emu;
            if (!emu.start(deviceFields(count, 8), &why)) {
                std::fprintf(stderr, "%s\n", qPrintable(why));
                return 1;
            }
            const Figures restore = timeRuns(emu, {QStringLiteral("restore"), file, QStringLiteral("--all")}, rounds);
            std::printf(
                "tavrelctl restore --all, %2d 8-key devices, %d rounds: median %.0f ms, best %.0f ms; ratio to one "
                "device's pauses (%.0f ms): median %.2f, best %.2f%s\n",
                count, rounds, restore.medianMs, restore.bestMs, pauses, restore.medianMs / pauses,
                restore.bestMs / pauses, restore.failed ? " (some runs failed)" : "");
        }
    }
    for (int count : {1, 8, 25, 32}) {
        Emulator emu;
        if (!emu.start(deviceFields(count, 6), &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        const Figures list = timeRuns(emu, {QStringLiteral("list")}, rounds);
        if (list.failed == rounds) {
            std::printf("tavrelctl list, %2d devices: every run failed (%s)\n", count, qPrintable(list.firstFailure));
            continue;
        }
        std::printf("tavrelctl list, %2d devices, %d rounds: median %.0f ms, best %.0f ms (%.1f ms per device)%s\n",
                    count, rounds, list.medianMs, list.bestMs, list.medianMs / count,
                    list.failed ? " (some runs failed)" : "");
    }
    return 0;
}
