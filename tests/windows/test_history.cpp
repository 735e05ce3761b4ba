// The write history in the window: "撤销上次写入" writes back what the device held before its
// latest write after a confirmation naming the keys that change, and a history that cannot be
// written is said in the status box while the write goes on.
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>

using namespace tavrel;
using namespace tavrel::test;

namespace {

using Record = std::array<quint8, 5>;

const Record CtrlAltA{0x05, 0x04, 0, 0, 0};
const Record CtrlShiftB{0x03, 0x05, 0, 0, 0};

QMessageBox* topBox(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return qobject_cast<QMessageBox*>(w);
    return nullptr;
}

class WindowHistoryTest : public WindowTest {
protected:
    void undo() { form->findChild<QAction*>(QStringLiteral("undoAction"))->trigger(); }

    // Edits key 1 to `record` and writes every key.
    void writeKey1(const Record& record)
    {
        form->editor()->selected()->setRecord(0, KeyRecord::fromBytes(record), RecordOrigin::Loaded);
        EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
    }
};

}  // namespace

TEST_F(WindowHistoryTest, UndoConfirmsTheKeysThatChangeThenWritesTheOldRecordBack)
{
    auto& device = plug("history-undo", "300000000031");
    device.setRecord(0, CtrlAltA);
    start();
    ASSERT_NO_FATAL_FAILURE(waitForRead(6));
    ASSERT_NO_FATAL_FAILURE(writeKey1(CtrlShiftB));
    ASSERT_EQ(device.record(0), CtrlShiftB);

    undo();
    waitFor([] { return topBox("UndoConfirmation") || topBox("ErrorBox"); });
    ASSERT_EQ(topBox("ErrorBox"), nullptr) << topBox("ErrorBox")->text().toStdString();
    ASSERT_TRUE(waitFor([] { return topBox("UndoConfirmation") != nullptr; }));
    QMessageBox* box = topBox("UndoConfirmation");
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("以下按键将改变：\n按键1：Ctrl+Shift+B → Ctrl+Alt+A")))
        << box->text().toStdString();
    // Cancelled: nothing is written.
    box->button(QMessageBox::Cancel)->click();
    ASSERT_TRUE(waitFor([] { return topBox("UndoConfirmation") == nullptr; }));
    EXPECT_FALSE(form->editor()->busy());
    EXPECT_EQ(device.record(0), CtrlShiftB);

    undo();
    ASSERT_TRUE(waitFor([] { return topBox("UndoConfirmation") != nullptr; }));
    topBox("UndoConfirmation")->button(QMessageBox::Yes)->click();
    EXPECT_EQ(confirmPopup(10000), QStringLiteral("设置完成！"));
    EXPECT_EQ(device.record(0), CtrlAltA);
    EXPECT_EQ(heldRecord(*form->editor(), 0), CtrlAltA);

    // The undo was an entry too: undoing again gives the edit back.
    undo();
    ASSERT_TRUE(waitFor([] { return topBox("UndoConfirmation") != nullptr; }));
    EXPECT_TRUE(topBox("UndoConfirmation")->text().endsWith(QStringLiteral("按键1：Ctrl+Alt+A → Ctrl+Shift+B")));
    topBox("UndoConfirmation")->button(QMessageBox::Cancel)->click();
    ASSERT_TRUE(waitFor([] { return topBox("UndoConfirmation") == nullptr; }));

    // Another program changed key 1 since: refused, naming it.
    device.setRecord(0, Record{0, 0x06, 0, 0, 0});
    click(readButton());
    ASSERT_NO_FATAL_FAILURE(waitForRead(6));
    undo();
    ASSERT_TRUE(waitFor([] { return topBox("ErrorBox") != nullptr; }));
    EXPECT_EQ(topBox("ErrorBox")->text(), QStringLiteral("无法撤销上次写入：按键1在那之后又被改变了。"));
    topBox("ErrorBox")->accept();
    EXPECT_EQ(topBox("UndoConfirmation"), nullptr);
}

TEST_F(WindowHistoryTest, AHistoryThatCannotBeWrittenIsSaidInTheStatusBoxAndTheWriteGoesOn)
{
    // Root writes any folder whatever its mode: a file where the folder belongs stops it too.
    const QString folder = useOwnStateHome() + QStringLiteral("/tavrel/history");
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(useOwnStateHome() + QStringLiteral("/tavrel")));
    {
        QFile in(folder);
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    }
    auto& device = plug("history-ro", "300000000032");
    start();
    ASSERT_NO_FATAL_FAILURE(waitForRead(6));
    ASSERT_NO_FATAL_FAILURE(writeKey1(CtrlShiftB));
    EXPECT_EQ(device.record(0), CtrlShiftB);
    EXPECT_TRUE(statusMemo()->toPlainText().contains(QStringLiteral("写入历史未保存：")))
        << statusMemo()->toPlainText().toStdString();
    ASSERT_TRUE(QFile::remove(folder));
}
