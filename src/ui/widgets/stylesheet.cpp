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
const QString StyleFile = QStringLiteral("styles/air.qss");
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

QString loadStyleSheet(const QString& executableDir)
{
    QString found;
    for (const QString& folder : {executableDir, QDir::currentPath()}) {
        if (folder.isEmpty())
            continue;
        const QString path = QDir(folder).filePath(StyleFile);
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

}  // namespace tavrel::ui
