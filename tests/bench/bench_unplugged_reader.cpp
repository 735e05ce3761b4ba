// Prints the CPU time the process uses while a device being read is unplugged and not yet
// released, next to an idle baseline. Run under umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_unplugged_reader [seconds]

#include "hid/hiddevice.h"
#include "keyemu/testbed.h"
#include "platform/hidenumerator.h"
#include "platform/udevcontext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace tavrel;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop for ms and returns the CPU used, in percent of one core.
double measure(int ms)
{
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds();
    runEventLoop(ms);
    return 100.0 * (cpuSeconds() - before) / (double(wall.elapsed()) / 1000.0);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    emu::Testbed testbed;

    const auto udev = platform::UdevContext::create();
    runEventLoop(200);
    std::printf("idle, no device:                       %5.2f %% CPU\n", measure(seconds * 1000));

    for (const int period : {100, 10}) {
        emu::EmulatedDevice& emulated = testbed.add({});
        const auto info = platform::hidInterfaceAt(*udev, emulated.syspath());
        if (!info) {
            std::fprintf(stderr, "no emulated device found\n");
            return 1;
        }
        HidDevice device(*info, udev);
        device.setPollPeriod(period);
        device.start();
        runEventLoop(200);
        std::printf("read, plugged, period %3d ms:          %5.2f %% CPU\n", period, measure(seconds * 1000));

        testbed.unplug(emulated);
        runEventLoop(300);
        const double cpu = measure(seconds * 1000);
        std::printf("read, unplugged, period %3d ms:        %5.2f %% CPU, %s\n", period, cpu,
                    device.isPresent() ? "not noticed" : "noticed");
    }
    return 0;
}
