// Prints how long a key file of a megabyte of unknown fields takes to be refused: as the window
// reads it (the file read and checked on a thread of its own, the result back on the event loop)
// and as tavrelctl checks it, and the longest the event loop waited meanwhile.
//   build/bin/bench_keyfile [bytes]

#include "config/configfile.h"
#include "ui/keyfilereader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace tavrel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;

    // One unknown field to a line, as many as fit.
    QByteArray text = "{\n  \"format\": \"tavrel-keys\",\n  \"version\": 1,\n";
    const QByteArray end = "  \"keys\": []\n}\n";
    int fields = 0;
    for (;;) {
        const QByteArray field = "  \"" + QByteArray::number(fields, 36) + "\": 0,\n";
        if (text.size() + field.size() + end.size() > size)
            break;
        text += field;
        ++fields;
    }
    text += end;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return 1;
    file.close();
    std::printf("a key file of %lld bytes with %d unknown fields\n", qlonglong(text.size()), fields);

    QElapsedTimer clock;
    clock.start();
    const auto parsed = configfile::parse(text);
    const auto* faults = std::get_if<configfile::FileErrors>(&parsed);
    std::printf("checked as tavrelctl does: %lld ms, %zu faults, %zu listed\n", qlonglong(clock.elapsed()),
                faults ? configfile::faultCount(*faults) : 0, faults ? faults->size() : 0);

    // The event loop's longest wait between the ticks of a 1 ms timer while the window's reader works.
    KeyFileReader reader;
    QEventLoop loop;
    qint64 refusedAfter = -1;
    QObject::connect(&reader, &KeyFileReader::finished, [&](const KeyFileReader::Result& result) {
        refusedAfter = result.faults ? clock.elapsed() : -1;
        loop.quit();
    });
    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longestWait = std::max(longestWait, sinceTick.restart()); });
    tick.start(1);
    clock.restart();
    sinceTick.start();
    reader.read(path);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    if (refusedAfter < 0) {
        std::printf("the window's reader did not refuse the file\n");
        return 1;
    }
    std::printf("refused as the window reads it: %lld ms; the event loop waited at most %lld ms meanwhile\n",
                qlonglong(refusedAfter), qlonglong(longestWait));
    return 0;
}
