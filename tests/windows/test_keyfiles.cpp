// Key files in the window: Ctrl+S saves the selected device's keys, Ctrl+O loads a file into
// the key's model, which the device gets only with "写入"; a refused file changes nothing.
#include "windowfixture.h"

#include "config/configfile.h"
#include "ui/widgets/toolbarband.h"

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace tavrel;
using namespace tavrel::test;

namespace {

using Record = std::array<quint8, 5>;

const Record SourceRecords[6] = {
    {0x05, 0x04, 0, 0, 0x00},     // Ctrl+Alt+A
    {0x02, 0x00, 0, 0, 0x03},     // right button, repeat
    {0x00, 0x3A, 0, 0, 0x02},     // F1, repeat
    {0x04, 0x00, 0, 0, 0x01},     // wheel button
    {0x22, 0x05, 0x06, 0, 0x00},  // Shift+Right Shift+B+C
    {0x00, 0x00, 0, 0, 0x00},
};

std::vector<Record> stored(const emu::EmulatedDevice& key, int count)
{
    std::vector<Record> out;
    for (int k = 0; k < count; ++k)
        out.push_back(key.record(k));
    return out;
}

std::vector<Record> heldRecords(const DeviceEditor& editor)
{
    std::vector<Record> out;
    for (int k = 0; k < editor.shownKeys(); ++k)
        out.push_back(heldRecord(editor, k));
    return out;
}

QMessageBox* errorBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("ErrorBox") && w->isVisible())
            return qobject_cast<QMessageBox*>(w);
    return nullptr;
}

// A key file with `count` unknown fields, one to a line.
QByteArray unknownFields(int count)
{
    QByteArray text = "{\n  \"format\": \"tavrel-keys\",\n  \"version\": 1,\n";
    for (int i = 0; i < count; ++i)
        text += "  \"u" + QByteArray::number(i) + "\": 0,\n";
    return text + "  \"keys\": []\n}\n";
}

class KeyFileTest : public WindowTest {
protected:
    // The error box's text, closed.
    QString errorText()
    {
        EXPECT_TRUE(waitFor([] { return errorBox() != nullptr; }));
        QMessageBox* box = errorBox();
        if (!box)
            return {};
        const QString said = box->text();
        box->accept();
        EXPECT_TRUE(waitFor([] { return errorBox() == nullptr; }));
        return said;
    }

    QTemporaryDir folder;
};

}  // namespace

TEST_F(KeyFileTest, AConfigurationMovesToAnotherKeyThroughAFileAndOnlyTheWriteSendsIt)
{
    auto& source = plug("file-src", "300000000021");
    for (int k = 0; k < 6; ++k)
        source.setRecord(k, SourceRecords[k]);
    auto& target = plug("file-dst", "300000000022");
    start();
    waitForRead(6);

    const QString path = folder.filePath(QStringLiteral("pedal.json"));
    ASSERT_NO_FATAL_FAILURE(chooseFile(QKeySequence::Save, path));
    EXPECT_EQ(confirmPopup(), QStringLiteral("按键配置已保存到pedal.json。"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto parsed = configfile::parse(file.readAll());
    ASSERT_TRUE(std::holds_alternative<configfile::ConfigFile>(parsed));
    const configfile::ConfigFile& saved = std::get<configfile::ConfigFile>(parsed);
    EXPECT_EQ(saved.serial, QStringLiteral("300000000021"));
    ASSERT_EQ(saved.keys.size(), 6u);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(saved.keys[std::size_t(k)].record.bytes(), SourceRecords[k]) << "key " << k + 1;

    click(deviceButton(1));
    ASSERT_TRUE(
        waitFor([&] { return form->editor()->selected()->identity().serial == QStringLiteral("300000000022"); }));
    waitForRead(6);
    const std::vector<Record> before = stored(target, 6);
    ASSERT_NO_FATAL_FAILURE(chooseFile(QKeySequence::Open, path));
    EXPECT_EQ(confirmPopup(), QStringLiteral("已载入6个按键，点击“写入”写入设备。"));

    // Shown and held by the key's model, not yet on the device.
    EXPECT_EQ(heldRecords(*form->editor()), std::vector<Record>(std::begin(SourceRecords), std::end(SourceRecords)));
    EXPECT_EQ(captureBox()->text(), QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(stored(target, 6), before);

    EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
    EXPECT_EQ(stored(target, 6), std::vector<Record>(std::begin(SourceRecords), std::end(SourceRecords)));
    EXPECT_EQ(stored(source, 6), std::vector<Record>(std::begin(SourceRecords), std::end(SourceRecords)));
}

TEST_F(KeyFileTest, ARefusedFileLeavesTableAndKeyAsTheyWereAndSaysWhere)
{
    struct Case {
        const char* name;
        QByteArray text;
        const char* says;  // part of the error box's text
    };
    const QByteArray head = "{\n  \"format\": \"tavrel-keys\",\n  \"version\": 1,\n  \"keys\": [\n";
    const Case cases[] = {
        {"not JSON", "{\n  \"format\": \"tavrel-keys\",\n  \"keys\": [\n", "第3行"},
        {"a key beyond the device",
         head + "    {\"key\": 1, \"assignment\": \"F5\"},\n    {\"key\": 7, \"assignment\": \"F6\"}\n  ]\n}\n",
         "第6行"},
        {"a name that disagrees with its record",
         head + "    {\"key\": 2, \"assignment\": \"Ctrl+B\", \"record\": \"01 06 00 00 00\"}\n  ]\n}\n", "第5行"},
        // More faults than the file's check lists: the box counts them all.
        {"five hundred unknown fields", unknownFields(500), "另有492处错误。"},
    };

    auto& key = plug("file-refused", "300000000023");
    for (int k = 0; k < 6; ++k)
        key.setRecord(k, SourceRecords[k]);
    start();
    waitForRead(6);
    const std::vector<Record> table = heldRecords(*form->editor());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.filePath(QString::fromLatin1(c.name).replace(u' ', u'-') + QStringLiteral(".json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text);
        file.close();

        ASSERT_NO_FATAL_FAILURE(chooseFile(QKeySequence::Open, path));
        const QString said = errorText();
        EXPECT_TRUE(said.contains(QStringLiteral("未载入，按键没有改变"))) << said.toStdString();
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.says))) << said.toStdString();
        EXPECT_FALSE(popup()->isOpen());
        EXPECT_EQ(heldRecords(*form->editor()), table);
        EXPECT_EQ(captureBox()->text(), QStringLiteral("Ctrl+Alt+A"));
    }
    EXPECT_EQ(writeAndConfirm(), QStringLiteral("设置完成！"));
    EXPECT_EQ(stored(key, 6), std::vector<Record>(std::begin(SourceRecords), std::end(SourceRecords)));
}

// A FIFO would block the window's thread until someone writes into it; a device such as
// /dev/zero would never end. Both are refused at once.
TEST_F(KeyFileTest, AFileThatIsNoRegularFileIsRefusedAtOnce)
{
    plug("file-fifo", "300000000025");
    start();
    waitForRead(6);
    const std::vector<Record> table = heldRecords(*form->editor());
    const QString fifo = folder.filePath(QStringLiteral("fifo.json"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_NO_FATAL_FAILURE(chooseFile(QKeySequence::Open, path));
        const QString said = errorText();
        EXPECT_TRUE(said.startsWith(QStringLiteral("无法读取") + path)) << said.toStdString();
        EXPECT_EQ(heldRecords(*form->editor()), table);
    }
}

// In the capture box Ctrl+S is a combination for the key, not a command.
TEST_F(KeyFileTest, TheShortcutsAreCombinationsWhileCapturing)
{
    plug("file-capture", "300000000024");
    start();
    waitForRead(6);
    ASSERT_NO_FATAL_FAILURE(activate());
    click(captureBox());
    ASSERT_TRUE(waitFor([&] { return form->editor()->capturing(); }));
    // The shortcuts reach their actions, which open nothing; anything the keys posted has been
    // handled before the window is looked at.
    QStringList triggered;
    QObject listening;  // ends the connections with the test
    for (const char* name : {"saveAction", "openAction"}) {
        const auto* action = form->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(action, nullptr) << name;
        QObject::connect(action, &QAction::triggered, &listening, [&triggered, name] { triggered << name; });
    }
    QTest::keySequence(captureBox(), QKeySequence(QKeySequence::Save));
    QTest::keySequence(captureBox(), QKeySequence(QKeySequence::Open));
    ASSERT_TRUE(runPostedEvents());
    EXPECT_EQ(triggered, QStringList({"saveAction", "openAction"}));
    EXPECT_EQ(form->fileDialog(), nullptr);
}
