// Prints the memory of a device session before and after an emulated device floods it with reports
// nobody asked for (50,000 by default): the report log keeps its latest lines only, so once it is
// full the resident set stays where it is, whatever the number of reports. Run under
// umockdev-wrapper:
//   umockdev-wrapper build/bin/bench_report_flood [reports]

#include "config/boundedlog.h"
#include "keyemu/testbed.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"

#include "rununtil.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cstdio>

using namespace tavrel;
using tavrel::bench::runUntil;

namespace {

// This process's resident set, in kB, as the kernel counts it.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    // The emulated devices' nodes never signal data: the device layer reads after each period.
    if (qEnvironmentVariableIsEmpty("TAVREL_POLL_PERIOD_MS"))
        qputenv("TAVREL_POLL_PERIOD_MS", "10");
    QCoreApplication app(argc, argv);
    const int reports = argc > 1 ? std::max(1, atoi(argv[1])) : 50000;
    emu::Testbed testbed;
    DeviceSession session;
    DeviceEditor editor(session);
    quint64 logged = 0;
    QObject::connect(&session, &DeviceSession::logAppended, [&] { ++logged; });
    session.start();
    emu::KeyModel model;
    model.name = QStringLiteral("flood");
    model.serial = QStringLiteral("320000000001");
    emu::EmulatedDevice& device = testbed.add(model);
    if (!runUntil([&] { return editor.selected() && editor.selected()->readComplete() && !editor.busy(); })) {
        std::fprintf(stderr, "bench_report_flood: the emulated device was not read\n");
        return 1;
    }

    // Answers for keys nobody asked about, pairing answers with no bind open, and reports of no
    // known kind, in turn. They go in batches the size of hidraw's queue, each taken whole.
    const QByteArray kinds[] = {QByteArray::fromHex("0181630004000000"), QByteArray::fromHex("015001DEADBEEF01"),
                                QByteArray::fromHex("0142000000000000")};
    const auto flood = [&](int count) {
        for (int sent = 0; sent < count;) {
            const int batch = std::min(32, count - sent);
            const quint64 target = logged + quint64(batch);
            for (int i = 0; i < batch; ++i)
                device.pushInput(kinds[(sent + i) % 3]);
            if (!runUntil([&] { return logged >= target; }))
                return false;
            sent += batch;
        }
        return true;
    };

    std::printf("reports  resident kB  log lines  dropped\n");
    const auto print = [&](int reportsSoFar) {
        std::printf("%7d  %11ld  %9lld  %7llu\n", reportsSoFar, residentKb(),
                    static_cast<long long>(session.log().size()),
                    static_cast<unsigned long long>(session.logDropped()));
    };
    print(0);
    // Enough to fill the log once, so that what follows only replaces lines.
    const int filling = std::min(reports, ReportLogLines + 1000);
    if (!flood(filling))
        return 1;
    print(filling);
    for (int done = filling; done < reports;) {
        const int step = std::min(reports - done, std::max(1, (reports - filling + 4) / 5));
        if (!flood(step))
            return 1;
        done += step;
        print(done);
    }
    std::printf("the log keeps %d lines; growth past the first filling should be about nothing\n", ReportLogLines);
    return 0;
}
