#include "ui/widgets/keypickeritem.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/picturestyle.h"
#include "ui/widgets/stylesheet.h"
#include "ui/widgets/toolbarband.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QStyleOption>
#include <QTemporaryDir>

using namespace tavrel::ui;

TEST(Pictures, FoundByNameWithoutRegardToCaseAndDrawn)
{
    const QStringList required = {"Key1",        "Key2",
                                  "Key3",        "Key4",
                                  "Key5",        "Key6",
                                  "Key7",        "Key8",
                                  "WiredKey",    "WiredKeySelected",
                                  "WirelessKey", "WirelessKeySelected",
                                  "MouseLeft",   "MouseRight",
                                  "MouseWheel",  "MouseDefault",
                                  "Keyboard",    "MouseIcon",
                                  "PopupIcon",   "PopupFailIcon",
                                  "PairIcon",    "BindIcon",
                                  "UnbindIcon",  "AppIcon"};
    for (const QString& name : required) {
        const QString path = pictureResource(name);
        ASSERT_FALSE(path.isEmpty()) << name.toStdString();
        EXPECT_EQ(pictureResource(name.toLower()), path);
        EXPECT_EQ(pictureResource(name.toUpper()), path);

        // Something is drawn: not a blank or broken drawing.
        const QImage image = picturePixmap(name, QSize(64, 64)).toImage();
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        EXPECT_GT(opaque, 64 * 64 / 10) << name.toStdString();
    }
    EXPECT_EQ(pictureResource(QStringLiteral("key1")), pictureResource(QStringLiteral("Key1")));
    EXPECT_NE(pictureResource(QStringLiteral("key1")), pictureResource(QStringLiteral("key2")));
    for (const char* unknown : {"", "key9", "key", "WiredKey.svg", "../pictures/WiredKey"})
        EXPECT_TRUE(pictureResource(QString::fromUtf8(unknown)).isEmpty()) << unknown;
    EXPECT_TRUE(picturePixmap(QStringLiteral("nosuch"), QSize(10, 10)).isNull());
    EXPECT_TRUE(picturePixmap(QStringLiteral("WiredKey"), QSize(0, 10)).isNull());
}

// While a message is open over the window its content is disabled: a picture label keeps its
// colours, a button's picture fades, and anything else greys as Qt greys it.
TEST(Pictures, DisabledLookOfLabelsAndButtons)
{
    PictureStyle style;
    QWidget parent;
    auto* picture = new QLabel(&parent);
    picture->resize(50, 50);
    showPicture(picture, QStringLiteral("PopupIcon"));
    auto* plain = new QLabel(&parent);
    parent.setEnabled(false);

    const QPixmap pixmap = picturePixmap(QStringLiteral("PopupIcon"), QSize(50, 50));
    const auto disabledLook = [&](QWidget* w) {
        QStyleOption option;
        option.initFrom(w);
        return style.generatedIconPixmap(QIcon::Disabled, pixmap, &option).toImage();
    };
    EXPECT_EQ(disabledLook(picture), pixmap.toImage());
    EXPECT_NE(disabledLook(plain), pixmap.toImage());

    const QIcon icon = pictureIcon(QStringLiteral("PopupIcon"), QSize(50, 50));
    const QImage normal = icon.pixmap(QSize(50, 50)).toImage();
    const QImage faded = icon.pixmap(QSize(50, 50), QIcon::Disabled).toImage();
    ASSERT_EQ(faded.size(), normal.size());
    // The middle of the picture: its colour at under half its opacity.
    const QColor was = normal.pixelColor(25, 25);
    const QColor now = faded.pixelColor(25, 25);
    EXPECT_EQ(was.alpha(), 255);
    EXPECT_NEAR(now.alpha(), 115, 1);
    EXPECT_NEAR(now.red(), was.red(), 2);
    EXPECT_NEAR(now.green(), was.green(), 2);
}

TEST(StyleSheet, LookedForBesideTheProgramAndInTheUsersConfiguration)
{
    const struct {
        const char* exeDir;
        const char* xdgConfigHome;
        const char* home;
        QStringList files;
    } cases[] = {
        {"/opt/tavrel", "/home/u/.cfg", "/home/u", {"/opt/tavrel/styles/air.qss", "/home/u/.cfg/tavrel/air.qss"}},
        {"/opt/tavrel", "", "/home/u", {"/opt/tavrel/styles/air.qss", "/home/u/.config/tavrel/air.qss"}},
        {"/opt/tavrel", "cfg", "/home/u", {"/opt/tavrel/styles/air.qss", "/home/u/.config/tavrel/air.qss"}},
        {"/opt/tavrel", "", "", {"/opt/tavrel/styles/air.qss"}},
        {"/opt/tavrel", "", "home/u", {"/opt/tavrel/styles/air.qss"}},
        {"", "/home/u/.cfg", "/home/u", {"/home/u/.cfg/tavrel/air.qss"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(styleSheetFiles(c.exeDir, c.xdgConfigHome, c.home), c.files)
            << c.exeDir << " | " << c.xdgConfigHome << " | " << c.home;
    }
}

TEST(StyleSheet, FilePrecedenceAndNeverTheWorkingDirectory)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString exeDir = tmp.filePath(QStringLiteral("bin"));
    const QString configDir = tmp.filePath(QStringLiteral("config"));
    const QString workDir = tmp.filePath(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkpath(exeDir + "/styles"));
    ASSERT_TRUE(QDir().mkpath(configDir + "/tavrel"));
    ASSERT_TRUE(QDir().mkpath(workDir + "/styles"));
    const QString oldCwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(workDir));
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir));

    auto put = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    const QString exeStyle = exeDir + "/styles/air.qss";
    const QString userStyle = configDir + "/tavrel/air.qss";
    const QString builtIn = builtInStyleSheet();
    EXPECT_TRUE(builtIn.contains(QStringLiteral("#41B5BC"), Qt::CaseInsensitive));

    // A sheet in the folder the program was started from can rewrite the windows' texts.
    put(workDir + "/styles/air.qss", "QLabel { qproperty-text: \"planted\"; }");
    put(workDir + "/air.qss", "QLabel { qproperty-text: \"planted\"; }");
    EXPECT_EQ(loadStyleSheet(exeDir), builtIn) << "the working directory is not looked at";

    put(userStyle, "QWidget { color: red; } /* 工作 */");
    EXPECT_EQ(loadStyleSheet(exeDir), QStringLiteral("QWidget { color: red; } /* 工作 */"));

    put(exeStyle, "QWidget { color: blue; }");
    EXPECT_EQ(loadStyleSheet(exeDir), QStringLiteral("QWidget { color: blue; }")) << "the executable's folder first";

    // Present but not readable as a style: the built-in style, not the next file.
    ASSERT_TRUE(QFile::remove(exeStyle));
    ASSERT_TRUE(QDir().mkpath(exeStyle));
    EXPECT_EQ(loadStyleSheet(exeDir), builtIn);
    ASSERT_TRUE(QDir().rmdir(exeStyle));

    put(exeStyle, QByteArray(2 << 20, ' '));
    EXPECT_EQ(loadStyleSheet(exeDir), builtIn) << "far too large for a style";

    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
    ASSERT_TRUE(QDir::setCurrent(oldCwd));
}

TEST(StyleSheet, BuiltInStyleReachesTheWidgets)
{
    // The selectors name our namespaced classes and their properties; a typo there leaves the
    // window unstyled without any message.
    qApp->setStyleSheet(builtInStyleSheet());
    QWidget window;
    window.resize(300, 200);
    auto* band = new ToolBarBand(&window);
    band->setGeometry(0, 0, 300, 93);
    auto* plain = new KeyPickerItem(QStringLiteral("nosuch"), &window);
    plain->setGeometry(0, 100, 48, 48);
    auto* chosen = new KeyPickerItem(QStringLiteral("nosuch"), &window);
    chosen->setGeometry(60, 100, 48, 48);
    chosen->setChecked(true);

    const QImage shot = window.grab().toImage();
    qApp->setStyleSheet(QString());

    EXPECT_EQ(QColor(shot.pixel(150, 40)), QColor(0x41, 0xB5, 0xBC));
    EXPECT_NE(QColor(shot.pixel(24, 124)), QColor(shot.pixel(84, 124))) << "the selection is shown";
}
