#include "config/keyassignments.h"

#include <gtest/gtest.h>

using namespace tavrel;

TEST(KeyRecord, DisplayText)
{
    struct Case {
        quint8 m, c1, c2, c3;
        const char* text;
    } cases[] = {
        {0x05, 0x04, 0, 0, "Ctrl+Alt+A"},
        {0x00, 0x3A, 0, 0, "F1"},
        {0x02, 0x00, 0, 0, "Shift"},
        {0x11, 0x29, 0, 0, "Ctrl+Right Ctrl+Esc"},
        {0x00, 0xFF, 0, 0, ""},
        {0x01, 0xFF, 0, 0, "Ctrl"},
        {0x00, 0x00, 0x05, 0, "+B"},  // no modifiers and no Code1: the second code still gets its "+"
        {0x01, 0x04, 0x05, 0x06, "Ctrl+A+B+C"},
        {0x01, 0x04, 0xFF, 0x06, "Ctrl+A+C"},
        {0x00, 0x66, 0, 0, ""},  // a usage without a name
    };
    for (const Case& c : cases)
        EXPECT_EQ(displayText(c.m, c.c1, c.c2, c.c3), QLatin1String(c.text)) << c.text;
    EXPECT_EQ(hexByte(0x0A), QStringLiteral("0A"));
    EXPECT_EQ(recordText({0x05, 0x04, 0x00, 0x00, 0xE3}), QStringLiteral("05 04 00 00 E3"));
}

namespace {

KeyRecordResponse answer(quint8 keyByte, KeyRecord r)
{
    return {0x81, keyByte, r.modifiers, r.code1, r.code2, r.code3, r.mode};
}

}  // namespace

TEST(KeyAssignments, AnAnswerFillsItsKeyAndTheKeyCountOnly)
{
    KeyAssignments a;
    EXPECT_FALSE(a.keyCount());
    EXPECT_EQ(a.shownKeys(), 0);
    ASSERT_EQ(a.takeAnswer(answer(0x63, {0x05, 0x04, 0, 0, 0x02}), false), KeyAssignments::Answer::Stored);
    EXPECT_EQ(a.keyCount(), 6);
    ASSERT_TRUE(a.at(3));
    EXPECT_EQ(a.at(3)->record, (KeyRecord{0x05, 0x04, 0, 0, 0x02}));
    EXPECT_EQ(a.at(3)->text, QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(a.at(3)->origin, RecordOrigin::Read);
    for (int k : {-1, 0, 2, 4, 7, 8})
        EXPECT_FALSE(a.at(k)) << k;
}

// An edit the user has not written is kept from answers of reads the user did not ask for, and
// replaced by those of a read that was asked for; a record that went to the device is replaced by
// any answer.
TEST(KeyAssignments, AnswersKeepUnsentEditsUnlessAskedToReplaceThem)
{
    const KeyRecord edited{0x02, 0x05, 0, 0, 0x00}, fromKey{0x01, 0x04, 0, 0, 0x00};
    const struct {
        RecordOrigin origin;
        bool replaceEdits;
        KeyAssignments::Answer expected;
    } cases[] = {
        {RecordOrigin::Edited, false, KeyAssignments::Answer::KeptEdit},
        {RecordOrigin::Loaded, false, KeyAssignments::Answer::KeptEdit},
        {RecordOrigin::Edited, true, KeyAssignments::Answer::Stored},
        {RecordOrigin::Loaded, true, KeyAssignments::Answer::Stored},
        {RecordOrigin::Written, false, KeyAssignments::Answer::Stored},
        {RecordOrigin::Read, false, KeyAssignments::Answer::Stored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.origin) * 10 + c.replaceEdits);
        KeyAssignments a;
        a.set(1, edited, c.origin, QStringLiteral("Shift+B"));
        EXPECT_EQ(a.unsent(1), c.origin == RecordOrigin::Edited || c.origin == RecordOrigin::Loaded);
        EXPECT_EQ(a.takeAnswer(answer(0x61, fromKey), c.replaceEdits), c.expected);
        const bool kept = c.expected == KeyAssignments::Answer::KeptEdit;
        EXPECT_EQ(a.at(1)->record, kept ? edited : fromKey);
        EXPECT_EQ(a.at(1)->text, kept ? QStringLiteral("Shift+B") : QStringLiteral("Ctrl+A"));
        // The key count is the device's in any case.
        EXPECT_EQ(a.keyCount(), 6);
    }
}

TEST(KeyAssignments, AModeFromFiveUpKeepsTheStoredMode)
{
    KeyAssignments a;
    // No record before: the device's own byte, so that a write gives it back what it had.
    a.takeAnswer(answer(0x62, {0x01, 0, 0, 0, 0x07}), false);
    EXPECT_EQ(a.at(2)->record.mode, 0x07);
    a.takeAnswer(answer(0x62, {0x01, 0, 0, 0, 0x02}), false);
    a.takeAnswer(answer(0x62, {0x01, 0, 0, 0, 0x07}), false);
    EXPECT_EQ(a.at(2)->record.mode, 0x02);
    a.takeAnswer(answer(0x62, {0x01, 0, 0, 0, 0x04}), false);
    EXPECT_EQ(a.at(2)->record.mode, 0x04);
}

TEST(KeyAssignments, KeysBeyondTheSlotsAreIgnoredAndTheCountIsCapped)
{
    KeyAssignments a;
    for (quint8 keyByte : {quint8(0x98), quint8(0xFF), quint8(0x0A)}) {
        EXPECT_EQ(a.takeAnswer(answer(keyByte, {0x01, 0x04, 0, 0, 0}), true), KeyAssignments::Answer::NotAKeyIndex);
        EXPECT_FALSE(a.keyCount());
    }
    a.set(8, {0x01, 0x04, 0, 0, 0}, RecordOrigin::Edited);
    a.set(-1, {0x01, 0x04, 0, 0, 0}, RecordOrigin::Edited);
    EXPECT_FALSE(a.anyUnsent());
    // A key claiming 15 keys is limited to the 8 slots.
    EXPECT_EQ(a.takeAnswer(answer(0xF7, {0x01, 0x04, 0, 0, 0}), false), KeyAssignments::Answer::Stored);
    EXPECT_EQ(a.keyCount(), 8);
    EXPECT_EQ(a.at(7)->text, QStringLiteral("Ctrl+A"));
}

TEST(KeyAssignments, AWrittenRecordIsNoLongerUnsent)
{
    KeyAssignments a;
    a.set(0, {0x00, 0x3A, 0, 0, 0}, RecordOrigin::Loaded);
    EXPECT_TRUE(a.anyUnsent());
    EXPECT_EQ(a.at(0)->text, QStringLiteral("F1"));
    a.markWritten(0);
    EXPECT_FALSE(a.anyUnsent());
    EXPECT_EQ(a.at(0)->origin, RecordOrigin::Written);
}
