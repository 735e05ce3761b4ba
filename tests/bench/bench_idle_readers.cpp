// Prints what idle devices whose nodes are open cost while nothing happens: wake-ups per second (voluntary
// context switches of the whole process, the emulator's thread included), CPU in percent of one
// core, and the numbers of threads and descriptors, for 1, 8 and 16 emulated devices: once as the
// product reads, when a node says a report came, and once with the 10 ms poll period that
// programs run against emulated nodes use. Goal: threads that do not grow with the devices. Run
// under umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_idle_readers [seconds]

#include "hid/hiddevice.h"
#include "keyemu/testbed.h"
#include "platform/hidenumerator.h"
#include "platform/udevcontext.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace tavrel;

namespace {

struct Usage {
    double cpuSeconds = 0;
    long wakeUps = 0;
};

Usage usage()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return {double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6,
            u.ru_nvcsw};
}

int descriptorCount()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

int threadCount()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    emu::Testbed testbed;

    const auto udev = platform::UdevContext::create();
    std::vector<std::unique_ptr<HidDevice>> open;
    for (const int devices : {0, 1, 8, 16}) {
        while (int(open.size()) < devices) {
            const auto info = platform::hidInterfaceAt(*udev, testbed.add({}).syspath());
            if (!info) {
                std::fprintf(stderr, "no emulated device found\n");
                return 1;
            }
            open.push_back(std::make_unique<HidDevice>(*info, udev));
            open.back()->start();
        }
        for (const int period : {0, 10}) {
            for (const auto& device : open)
                device->setPollPeriod(period);
            runEventLoop(500);
            QElapsedTimer wall;
            wall.start();
            const Usage before = usage();
            runEventLoop(seconds * 1000);
            const Usage after = usage();
            const double elapsed = double(wall.elapsed()) / 1000.0;
            std::printf("%2d devices open, idle, %-22s %7.1f wake-ups/s  %5.2f %% CPU  %3d threads  %3d descriptors\n",
                        devices, period ? "poll period 10 ms:" : "read when told:",
                        double(after.wakeUps - before.wakeUps) / elapsed,
                        100.0 * (after.cpuSeconds - before.cpuSeconds) / elapsed, threadCount(), descriptorCount());
            if (devices == 0)
                break;
        }
    }
    return 0;
}
