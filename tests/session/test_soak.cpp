// Two hundred unplug and plug cycles of one emulated device, some in the middle of a read and some
// in the middle of a write: the process ends with the descriptors, threads and memory it had,
// and the device holds only records that the session held when a write started.
#include "common/qtwait.h"
#include "config/reports.h"
#include "hid/hidnodeio.h"
#include "keyemu/testbed.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace tavrel;
using tavrel::test::waitFor;

namespace tavrel::test {
emu::Testbed& testbed();
}

namespace {

int countEntries(const char* folder)
{
    return int(
        QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

int sent(const emu::EmulatedDevice& device, quint8 command)
{
    int n = 0;
    for (const QByteArray& r : device.received())
        n += r.size() >= 2 && quint8(r[1]) == command;
    return n;
}

using Record = std::array<quint8, 5>;

}  // namespace

TEST(Soak, UnplugAndPlugTwoHundredTimesDuringReadsAndWrites)
{
    emu::Testbed& bed = tavrel::test::testbed();
    emu::KeyModel model;
    model.name = QStringLiteral("soak");
    model.serial = QStringLiteral("320000000001");
    emu::EmulatedDevice& emulated = bed.add(model);
    const int nodesPerPlug = 1 + int(emulated.inputDevnodes().size());
    std::map<int, std::set<Record>> allowed;
    for (int k = 0; k < 6; ++k) {
        emulated.setRecord(k, {quint8(k), quint8(0x04 + k), 0, 0, 0});
        allowed[k].insert(emulated.record(k));
    }

    DeviceSession session;
    DeviceEditor editor(session);
    int finishedWrites = 0;
    // Each plug is a new device: its writes are counted while it is selected.
    std::unique_ptr<QObject> selection;
    QObject::connect(&editor, &DeviceEditor::deviceSelected, [&] {
        selection = std::make_unique<QObject>();
        if (AttachedDevice* device = editor.selected())
            QObject::connect(device, &AttachedDevice::writeFinished, selection.get(), [&] { ++finishedWrites; });
    });
    session.start();

    // Requests of an earlier plug that was cut short are never answered: count from the plug.
    // The log keeps its latest lines only, so the plug's place in it is counted from the start.
    quint64 logAtPlug = 0;
    const auto loggedSoFar = [&] { return session.logDropped() + quint64(session.log().size()); };
    const auto readOver = [&] {
        int asked = 0, answers = 0;
        const QStringList log = session.log();
        const qsizetype sincePlug = qsizetype(loggedSoFar() - logAtPlug);
        for (const QString& line : log.mid(std::max<qsizetype>(0, log.size() - sincePlug))) {
            asked += line.startsWith(QLatin1String("W 02  01 "));
            answers += line.startsWith(QLatin1String("R ")) && line.mid(6, 2).toInt(nullptr, 16) > 0x80;
        }
        return editor.selected() && !editor.busy() && editor.shownKeys() == 6 && answers >= asked;
    };

    constexpr int WarmUp = 10;
    constexpr int Cycles = 200;
    int fds = 0, threads = 0;
    long memory = 0;
    for (int cycle = 0; cycle < WarmUp + Cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        if (cycle == WarmUp) {
            ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
            fds = countEntries("/proc/self/fd");
            threads = countEntries("/proc/self/task");
            memory = residentKiB();
        }
        ASSERT_FALSE(editor.busy());
        logAtPlug = loggedSoFar();
        if (!emulated.plugged())
            bed.plug(emulated);
        const int readsBefore = sent(emulated, ReadKeyCommand);
        switch (cycle % 3) {
        case 0:  // in the middle of the read
            ASSERT_TRUE(waitFor([&] { return sent(emulated, ReadKeyCommand) >= readsBefore + 1 + cycle % 4; }));
            break;
        case 1: {  // in the middle of a write
            ASSERT_TRUE(waitFor(readOver));
            const int k = cycle % 6;
            editor.selectKey(k);
            const auto& shown = editor.shownRecord(k);
            if (shown && shown->record.mode == ModeKeyboardSingle)
                editor.useMouse();
            else
                editor.useKeyboard();
            editor.setRepeat(cycle % 2 == 0);
            for (int i = 0; i < 6; ++i)
                if (const auto& r = editor.shownRecord(i))
                    allowed[i].insert(r->record.bytes());
            const int writesBefore = sent(emulated, WriteKeyCommand);
            const int finishedBefore = finishedWrites;
            editor.selected()->write();
            ASSERT_TRUE(waitFor([&] {
                return sent(emulated, WriteKeyCommand) >= writesBefore + 1 + cycle % 5
                       || finishedWrites > finishedBefore;
            }));
            break;
        }
        default:  // between sequences
            ASSERT_TRUE(waitFor(readOver));
            break;
        }
        bed.unplug(emulated);
        ASSERT_TRUE(waitFor([&] { return session.devices().empty() && !editor.busy(); }));
    }

    // The testbed keeps one descriptor of every node it made (new ones for each plug): the device's
    // hidraw node and those of its keyboard and mouse. The last device's node is closed by its
    // worker a moment after the device went.
    EXPECT_TRUE(waitFor([&] { return countEntries("/proc/self/fd") <= fds + Cycles * nodesPerPlug; }))
        << countEntries("/proc/self/fd") << " descriptors, " << fds << " at the start";
    EXPECT_TRUE(waitFor([&] { return countEntries("/proc/self/task") <= threads; }))
        << countEntries("/proc/self/task") << " threads, " << threads << " at the start";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers hold freed memory back on purpose; there, LeakSanitizer checks at exit.
    (void)memory;
#else
    EXPECT_LT(residentKiB() - memory, 8 * 1024) << "KiB grown over the cycles";
#endif
    for (int k = 0; k < 6; ++k) {
        const Record r = emulated.record(k);
        EXPECT_TRUE(allowed[k].count(r)) << "key " << k + 1 << " holds a record never shown";
    }
}
