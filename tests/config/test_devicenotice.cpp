#include "config/devicenotice.h"
#include "config/keyassignments.h"

#include <gtest/gtest.h>

using namespace tavrel;

namespace {

const KeyRecord CtrlShiftC{0x03, 0x06, 0, 0, 0x00};
const KeyRecord CtrlA{0x01, 0x04, 0, 0, 0x00};
const KeyRecord Empty{};

DeviceNotice noticeOf(std::initializer_list<std::pair<int, DeviceNotice::Key>> keys)
{
    DeviceNotice notice;
    notice.device = QStringLiteral("/sys/devices/usb1/1-3/1-3:1.0/0003:16C0:05E1.0007/hidraw/hidraw3");
    notice.from = QStringLiteral("4711-5f3a09c2e1d07b44:3");
    for (const auto& [k, key] : keys)
        notice.keys[std::size_t(k)] = key;
    return notice;
}

KeyRecordResponse answer(int key, KeyRecord r)
{
    return {0x81, quint8(6 << 4 | key), r.modifiers, r.code1, r.code2, r.code3, r.mode};
}

}  // namespace

TEST(DeviceNotice, ReadsBackWhatWasWrittenAndNothingElse)
{
    const DeviceNotice notice = noticeOf({{1, {CtrlShiftC, true}}, {7, {Empty, false}}});
    const QByteArray bytes = encodeNotice(notice);
    ASSERT_EQ(decodeNotice(bytes), notice);

    // Each of these is no whole notice of ours, and is taken as none.
    const QByteArray header = "tavrel-device-notice 1\ndevice /sys/x\nfrom 1-2:3\n";
    const char* refused[] = {
        "",
        "tavrel-device-notice 2\ndevice /sys/x\nfrom 1-2:3\n",
        "tavrel-device-notice 1\ndevice /sys/x\n",
        "tavrel-device-notice 1\ndevice /sys/x y\nfrom 1-2:3\n",
        "tavrel-device-notice 1\ndevice \x1b[31m\nfrom 1-2:3\n",
    };
    for (const char* text : refused)
        EXPECT_FALSE(decodeNotice(text)) << text;
    const char* keyLines[] = {
        "key 8 00 00 00 00 00\n",                        // no such key
        "key 1 00 00 00 00\n",                           // four bytes
        "key 1 00 00 00 00 0g\n",                        // not hex
        "key 1 00 00 00 00 0a\n",                        // lower case is not how it is written
        "key 1 00 00 00 00 00 sent\n",                   // an unknown mark
        "key 1 00 00 00 00 00\nkey 1 01 04 00 00 00\n",  // one key twice
        "key 1 00 00 00 00 00",                          // cut short
    };
    for (const char* line : keyLines)
        EXPECT_FALSE(decodeNotice(header + line)) << line;
    EXPECT_TRUE(decodeNotice(header));
}

TEST(DeviceNotice, ReplacesRecordsReadButKeepsEditsAndMarksThem)
{
    KeyAssignments a;
    for (int k = 0; k < 6; ++k)
        a.takeAnswer(answer(k, Empty), false);
    a.set(2, CtrlA, RecordOrigin::Edited);

    const auto taken = a.takeNotice(noticeOf({{0, {Empty, false}}, {1, {CtrlShiftC, true}}, {2, {CtrlShiftC, true}}}));
    EXPECT_EQ(taken.replaced, QList<int>{1});
    EXPECT_EQ(taken.editsKept, QList<int>{2});
    // Key 1 shows what the device holds now, as read; key 2 the user's edit, still to be written.
    EXPECT_EQ(a.at(1)->record, CtrlShiftC);
    EXPECT_EQ(a.at(1)->origin, RecordOrigin::Read);
    EXPECT_EQ(a.at(1)->text, QStringLiteral("Ctrl+Shift+C"));
    EXPECT_EQ(a.at(2)->record, CtrlA);
    EXPECT_TRUE(a.unsent(2));
    EXPECT_EQ(a.held(2), CtrlShiftC);
    EXPECT_EQ(a.changedElsewhere(), QList<int>{2});

    // The same notice again changes nothing; a write of the edit makes it what the device holds.
    EXPECT_TRUE(a.takeNotice(noticeOf({{1, {CtrlShiftC, true}}, {2, {CtrlShiftC, true}}})).replaced.isEmpty());
    a.markWritten(2);
    a.clearChangedElsewhere();
    EXPECT_EQ(a.held(2), CtrlA);
    EXPECT_TRUE(a.changedElsewhere().isEmpty());
}
