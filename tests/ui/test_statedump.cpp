// The state snapshot as a file: it holds serial numbers, the report log and the captured
// combination, so it is for its user's eyes only, and a folder others could tamper with gets
// nothing.

#include "ui/statedump.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <sys/stat.h>

using namespace tavrel;

TEST(StateDump, FileIsPrivateAndAFolderOthersMayWriteIsNamedOnce)
{
    QWidget window;
    window.setObjectName(QStringLiteral("mainWindow"));
    auto* serial = new QLineEdit(QStringLiteral("310000000001"), &window);
    serial->setObjectName(QStringLiteral("captureBox"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const QString path = dir.filePath(QStringLiteral("state.txt"));
    qputenv("TAVREL_STATE_DUMP", QFile::encodeName(path));
    writeStateSnapshot();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("mainWindow.captureBox QLineEdit"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("text=\"310000000001\""))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("end\n")));
    EXPECT_EQ(file.permissions() & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);

    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    ASSERT_EQ(chmod(QFile::encodeName(open).constData(), 0777), 0);
    const QString refused = open + QStringLiteral("/state.txt");
    qputenv("TAVREL_STATE_DUMP", QFile::encodeName(refused));
    testing::internal::CaptureStderr();
    writeStateSnapshot();
    writeStateSnapshot();
    const std::string said = testing::internal::GetCapturedStderr();
    qunsetenv("TAVREL_STATE_DUMP");

    EXPECT_FALSE(QFile::exists(refused));
    EXPECT_TRUE(QDir(open).isEmpty());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "said more than once:\n" << said;
    EXPECT_NE(said.find(refused.toStdString()), std::string::npos) << said;
}

// Every quoted value reaches standard error with what a terminal would act on escaped, and with
// its own backslashes doubled, so that each value reads back one way.
TEST(StateDump, QuotedValuesEscapeWhatATerminalActsOn)
{
    const struct {
        const char* name;
        QString shown;
        QString written;
    } rows[] = {
        {"plain", QStringLiteral("Programmable Key"), QStringLiteral("Programmable Key")},
        {"an escape sequence in a product name", QStringLiteral("Key\x1b]0;owned\x07\x1b[2J"),
         QStringLiteral("Key\\x1b]0;owned\\x07\\x1b[2J")},
        {"line ends and a tab", QStringLiteral("a\nb\rc\td"), QStringLiteral("a\\nb\\rc\\td")},
        {"a backslash before an escape's letters", QStringLiteral("C:\\x1b"), QStringLiteral("C:\\\\x1b")},
        {"C1 control and a direction mark", QString(QChar(0x9B)) + QChar(0x202E) + QStringLiteral("x"),
         QStringLiteral("\\u009b\\u202ex")},
        {"DEL and a lone surrogate", QString(QChar(0x7F)) + QChar(0xD800), QStringLiteral("\\x7f\\ud800")},
        {"Chinese stays", QStringLiteral("设置按键:1"), QStringLiteral("设置按键:1")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget window;
        window.setObjectName(QStringLiteral("mainWindow"));
        auto* box = new QLineEdit(row.shown, &window);
        box->setObjectName(QStringLiteral("captureBox"));
        const QString snapshot = stateSnapshot();
        const QString expected = QStringLiteral("mainWindow.captureBox QLineEdit");
        const qsizetype at = snapshot.indexOf(expected);
        ASSERT_GE(at, 0) << snapshot.toStdString();
        const QString line = snapshot.mid(at, snapshot.indexOf(QLatin1Char('\n'), at) - at);
        EXPECT_TRUE(line.endsWith(QStringLiteral(" text=\"%1\"").arg(row.written))) << line.toStdString();
        for (QChar c : line)
            EXPECT_FALSE(c.unicode() < 0x20 || c.unicode() == 0x7F) << line.toStdString();
    }
}
