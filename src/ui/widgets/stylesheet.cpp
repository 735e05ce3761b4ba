#include "ui/widgets/stylesheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

static void initStyleResources()
{
    Q_INIT_RESOURCE(style);
}

namespace tavrel::ui {

namespace {
// A style sheet is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxStyleFileSize = 1 << 20;
}  // namespace

QString builtInStyleSheet()
{
    static const QString text = [] {
        initStyleResources();
        QFile file(QStringLiteral(":/style/tavrel.qss"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }();
    return text;
}

QStringList styleSheetFiles(const QString& executableDir, const QString& xdgConfigHome, const QString& home)
{
    QStringList files;
    if (!executableDir.isEmpty())
        files << QDir(executableDir).filePath(QStringLiteral("styles/air.qss"));
    QString config;
    if (QDir::isAbsolutePath(xdgConfigHome))
        config = xdgConfigHome;
    else if (QDir::isAbsolutePath(home))
        config = QDir(home).filePath(QStringLiteral(".config"));
    if (!config.isEmpty())
        files << QDir(config).filePath(QStringLiteral("tavrel/air.qss"));
    return files;
}

QString loadStyleSheetFrom(const QStringList& files)
{
    QString found;
    for (const QString& path : files) {
        if (QFileInfo::exists(path)) {
            found = path;
            break;
        }
    }
    if (found.isEmpty())
        return builtInStyleSheet();

    QFile file(found);
    if (!QFileInfo(found).isFile() || file.size() > MaxStyleFileSize || !file.open(QIODevice::ReadOnly))
        return builtInStyleSheet();
    const QByteArray bytes = file.read(MaxStyleFileSize + 1);
    if (bytes.size() > MaxStyleFileSize || file.error() != QFileDevice::NoError)
        return builtInStyleSheet();
    return QString::fromUtf8(bytes);
}

QString loadStyleSheet(const QString& executableDir)
{
    return loadStyleSheetFrom(
        styleSheetFiles(executableDir, qEnvironmentVariable("XDG_CONFIG_HOME"), qEnvironmentVariable("HOME")));
}

}  // namespace tavrel::ui
