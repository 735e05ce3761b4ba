// The write history's text, as a crash, a full disk or a hand may leave it: every line is an
// entry or a damaged line, and an entry written again reads back as itself.
//
// Input: the bytes of a history file.

#include "config/historyentry.h"
#include "fuzzcheck.h"

using namespace tavrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));
    const history::HistoryText read = history::readHistoryText(text);
    const qsizetype lines = text.count('\n') + (text.isEmpty() || text.endsWith('\n') ? 0 : 1);
    FUZZ_CHECK(qsizetype(read.entries.size()) + read.damagedLines.size() <= lines);
    for (int i = 1; i < read.damagedLines.size(); ++i)
        FUZZ_CHECK(read.damagedLines[i - 1] < read.damagedLines[i] && read.damagedLines[i] <= lines);

    for (const history::HistoryEntry& entry : read.entries) {
        FUZZ_CHECK(entry.time.isValid() && !entry.device.isEmpty());
        for (const history::KeyWrite& k : entry.keys)
            FUZZ_CHECK(validKey(k.key));
        // One line, which reads back as the same entry; texts that JSON cannot carry as they
        // were (a lone surrogate) are made whole the first time and stay so.
        const QByteArray line = history::entryLine(entry);
        FUZZ_CHECK(line.endsWith('\n') && line.count('\n') == 1);
        const history::HistoryText again = history::readHistoryText(line);
        FUZZ_CHECK(again.entries.size() == 1 && again.damagedLines.isEmpty());
        FUZZ_CHECK(again.entries[0].time == entry.time && again.entries[0].keys == entry.keys);
        FUZZ_CHECK(history::entryLine(again.entries[0]) == line);

        // The file name of any id keeps to the bytes a file name may safely hold.
        for (const bool bySerial : {true, false}) {
            const QString name = history::HistoryDevice{entry.device, bySerial}.fileName();
            FUZZ_CHECK(!name.contains(QLatin1Char('/')) && name.endsWith(QLatin1String(".jsonl")));
        }
    }
    return 0;
}
