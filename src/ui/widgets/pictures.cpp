#include "ui/widgets/pictures.h"

#include <QDir>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QPushButton>
#include <QSvgRenderer>
#include <QToolButton>

// Resources of a static library are registered by hand: nothing else keeps their
// initialisers from being dropped by the linker.
static void initPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

namespace tavrel::ui {

namespace {

constexpr QLatin1StringView PictureFolder(":/pictures");
// A disabled button's picture shows through, faded; Qt's grey would read as a different picture.
constexpr qreal DisabledPictureOpacity = 0.45;

struct PictureIndex {
    QHash<QString, QString> pathByLowerName;
    QStringList names;
};

const PictureIndex& pictureIndex()
{
    static const PictureIndex index = [] {
        initPictureResources();
        PictureIndex built;
        const QDir dir(PictureFolder);
        const QStringList files = dir.entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString name = file.chopped(4);
            built.pathByLowerName.insert(name.toLower(), dir.filePath(file));
            built.names << name;
        }
        return built;
    }();
    return index;
}

}  // namespace

QString pictureResource(const QString& name)
{
    return pictureIndex().pathByLowerName.value(name.toLower());
}

QStringList pictureNames()
{
    return pictureIndex().names;
}

bool paintPicture(QPainter& painter, const QString& name, const QRectF& target)
{
    const QString path = pictureResource(name);
    if (path.isEmpty() || target.isEmpty())
        return false;
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return false;
    // Fitted by hand so the drawing keeps its proportions inside any rectangle.
    const QSizeF natural = renderer.viewBoxF().size();
    QSizeF drawn = target.size();
    if (!natural.isEmpty()) {
        const qreal factor = qMin(target.width() / natural.width(), target.height() / natural.height());
        drawn = natural * factor;
    }
    QRectF fitted(QPointF(0, 0), drawn);
    fitted.moveCenter(target.center());
    renderer.render(&painter, fitted);
    return true;
}

QPixmap picturePixmap(const QString& name, const QSize& size, qreal dpr)
{
    const QString path = pictureResource(name);
    if (path.isEmpty() || size.isEmpty())
        return {};
    if (dpr <= 0)
        dpr = 1.0;
    const QString key =
        QStringLiteral("tavrel-picture:%1:%2x%3@%4").arg(path).arg(size.width()).arg(size.height()).arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    pixmap = QPixmap(size * dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paintPicture(painter, name, QRectF(QPointF(0, 0), QSizeF(size * dpr)));
    }
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

namespace {

QPixmap fadedPixmap(const QPixmap& pixmap)
{
    QPixmap faded(pixmap.size());
    faded.setDevicePixelRatio(pixmap.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(DisabledPictureOpacity);
    painter.drawPixmap(0, 0, pixmap);
    return faded;
}

}  // namespace

QIcon pictureIcon(const QString& name, const QSize& size)
{
    if (pictureResource(name).isEmpty())
        return {};
    QIcon icon;
    for (const qreal dpr : {1.0, 2.0}) {
        const QPixmap pixmap = picturePixmap(name, size, dpr);
        icon.addPixmap(pixmap);
        icon.addPixmap(fadedPixmap(pixmap), QIcon::Disabled);
    }
    return icon;
}

void showPicture(QLabel* label, const QString& name)
{
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setProperty("picture", name);
    label->setPixmap(picturePixmap(name, label->size(), label->devicePixelRatioF()));
}

QAbstractButton* pictureButton(const QString& text, const QString& name, int size, Qt::ToolButtonStyle style,
                               QWidget* parent)
{
    QAbstractButton* button = nullptr;
    if (style == Qt::ToolButtonTextBesideIcon) {
        button = new QPushButton(parent);
    } else {
        auto* toolButton = new QToolButton(parent);
        toolButton->setToolButtonStyle(style);
        button = toolButton;
    }
    button->setText(text);
    button->setProperty("pictureButton", true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(size, size));
    showPicture(button, name);
    return button;
}

void showPicture(QAbstractButton* button, const QString& name)
{
    button->setProperty("picture", name);
    button->setIcon(pictureIcon(name, button->iconSize()));
}

QString shownPicture(const QWidget* widget)
{
    return widget ? widget->property("picture").toString() : QString();
}

}  // namespace tavrel::ui
