#pragma once
// The program's pictures are SVG drawings compiled in as resources. They are found by name
// without regard to case ("key1" finds "Key1") and drawn at any size.

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;
class QPainter;
class QAbstractButton;
class QWidget;

namespace tavrel::ui {

// Resource path of the named picture (":/pictures/Key1.svg"), or "" when there is none.
QString pictureResource(const QString& name);

// Every picture name, as spelt in the resources.
QStringList pictureNames();

// The picture drawn into target, scaled to fit with its proportions kept and centred.
// Returns false (and draws nothing) for an unknown name.
bool paintPicture(QPainter& painter, const QString& name, const QRectF& target);

// The picture rendered to fit size (proportions kept, transparent around it); dpr > 1 gives a
// sharper pixmap for high-density screens. A null pixmap for an unknown name or an empty size.
QPixmap picturePixmap(const QString& name, const QSize& size, qreal dpr = 1.0);

// An icon of the picture at size and twice that (for high-density screens), faded when its button
// is disabled; null when unknown.
QIcon pictureIcon(const QString& name, const QSize& size = QSize(64, 64));

// Makes the label show the picture fitted to the label's present size (so its geometry comes
// first), and nothing for an unknown name. The label then takes no mouse input, so clicks go to
// the widget beneath, and it keeps the name in its "picture" property.
void showPicture(QLabel* label, const QString& name);
// A button with the picture at `size` and its text under it (a QToolButton) or beside it, the two
// centred together (a QPushButton), and the hand cursor. A click takes the focus, as the windows'
// other buttons do: out of the capture box, too. The style sheet tells these buttons apart by
// their "pictureButton" property.
QAbstractButton* pictureButton(const QString& text, const QString& name, int size, Qt::ToolButtonStyle style,
                               QWidget* parent);
// Makes the button show the picture at its icon size; it keeps the name in its "picture" property.
void showPicture(QAbstractButton* button, const QString& name);
// The name of the picture a label or a button shows, "" for other widgets.
QString shownPicture(const QWidget* widget);

}  // namespace tavrel::ui
