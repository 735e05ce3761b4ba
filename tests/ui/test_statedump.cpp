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
