#pragma once
// Whether the texts of a window are shown whole: each control's text measured with the control's
// own font against the room the control gives it, and against what its parents leave visible.

#include "ui/widgets/circlebutton.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/pictures.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSvgRenderer>
#include <QWidget>
#include <QtMath>

namespace tavrel::test {

// The part of the widget that its ancestors up to the window do not clip, in its own coordinates.
inline QRect unclippedRect(const QWidget* widget)
{
    QRect visible = widget->rect();
    for (const QWidget* w = widget; w->parentWidget() && !w->isWindow(); w = w->parentWidget()) {
        const QWidget* parent = w->parentWidget();
        visible &= QRect(widget->mapFrom(parent, QPoint(0, 0)), parent->size());
    }
    return visible;
}

// The size of a text with line feeds, as one block.
inline QSize blockSize(const QFontMetrics& metrics, const QString& text)
{
    int width = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        width = qMax(width, metrics.horizontalAdvance(line));
    return {width, int(lines.size()) * metrics.height()};
}

// Where a label's text is drawn, in the label's coordinates.
inline QRect labelTextRect(const QLabel* label)
{
    const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
    return label->fontMetrics().boundingRect(label->contentsRect(), flags, label->text());
}

// Whether a label shows all of its text within its contents rectangle, none of it clipped by the
// widgets around it.
inline bool showsWholeText(const QLabel* label)
{
    const QRect needed = labelTextRect(label);
    return label->contentsRect().contains(needed) && unclippedRect(label).contains(needed);
}

// Where a text of `size` goes inside `room` with the given alignment.
inline QRect placed(const QSize& size, Qt::Alignment alignment, const QRect& room)
{
    return QStyle::alignedRect(Qt::LeftToRight, alignment, size, room);
}

// The visible controls of `window` whose text is cut, overlapped by their own picture or drawn
// outside the room they have, each as "objectName: text".
inline QStringList cutTexts(const QWidget* window)
{
    QStringList cut;
    const auto check = [&](const QWidget* w, const QString& text, bool whole) {
        if (!whole)
            cut << (w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName())
                       + QStringLiteral(": ") + text;
    };
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->size().isEmpty())
            continue;
        const QFontMetrics metrics = w->fontMetrics();
        const QRect visible = unclippedRect(w);
        if (auto* t = qobject_cast<const ui::GradientText*>(w)) {
            const QRect text = placed(blockSize(metrics, t->text()), t->alignment(), t->rect());
            check(w, t->text(), visible.contains(text));
        } else if (auto* tab = qobject_cast<const QPushButton*>(w); tab && tab->isCheckable()) {
            // A tab: its caption centred, right of its icon picture.
            const QRect text = placed(blockSize(metrics, tab->text()), Qt::AlignCenter, tab->rect());
            int iconRight = -1;
            for (const QLabel* icon : tab->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                if (icon->isVisibleTo(tab))
                    iconRight = qMax(iconRight, icon->geometry().right());
            check(w, tab->text(), visible.contains(text) && text.left() > iconRight);
        } else if (auto* button = qobject_cast<const QAbstractButton*>(w); button && !ui::shownPicture(w).isEmpty()) {
            // The picture and the caption, beside it (a push button) or under it, with a gap of 4
            // between them and a margin of 2 around them.
            const QSize text = blockSize(metrics, button->text());
            const QSize picture = button->iconSize();
            const QSize needed = qobject_cast<const QPushButton*>(w)
                                     ? QSize(picture.width() + 4 + text.width(), qMax(picture.height(), text.height()))
                                     : QSize(qMax(picture.width(), text.width()), picture.height() + 4 + text.height());
            check(w, button->text(),
                  needed.width() + 4 <= button->width() && needed.height() + 4 <= button->height()
                      && visible.contains(button->rect()));
        } else if (auto* circle = qobject_cast<const ui::CircleButton*>(w)) {
            // The text must stay inside the circle's chord at the top and bottom of the letters.
            const QSize text = blockSize(metrics, circle->text());
            const qreal r = qMin(circle->width(), circle->height()) / 2.0;
            const qreal chord = 2 * qSqrt(qMax(0.0, r * r - text.height() * text.height() / 4.0));
            check(w, circle->text(), text.width() + 8 <= chord);
        } else if (auto* radio = qobject_cast<const QRadioButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            option.text = radio->text();
            const QRect contents = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
            const QRect text = placed(blockSize(metrics, radio->text()), Qt::AlignLeft | Qt::AlignVCenter, contents);
            check(w, radio->text(), contents.contains(text) && visible.contains(text));
        } else if (auto* box = qobject_cast<const QGroupBox*>(w)) {
            check(w, box->title(), metrics.horizontalAdvance(box->title()) + 12 <= box->width());
        } else if (auto* label = qobject_cast<const QLabel*>(w)) {
            check(w, label->text(), showsWholeText(label));
        } else if (auto* memo = qobject_cast<const QPlainTextEdit*>(w)) {
            // Without word wrap, a line wider than the memo runs out of sight; spaces at its end
            // show nothing.
            const int room = memo->viewport()->width() - 2 * qCeil(memo->document()->documentMargin());
            static const QRegularExpression trailingSpace(QStringLiteral("\\s+$"));
            for (const QString& line : memo->toPlainText().split(QLatin1Char('\n')))
                check(w, line, memo->fontMetrics().horizontalAdvance(QString(line).remove(trailingSpace)) <= room);
        }
    }
    return cut;
}

// What a control shows, in its parent's coordinates: the text of a text, the drawing of a
// picture (fitted with its proportions kept), the whole control otherwise.
inline QRect shownRect(const QWidget* w)
{
    QRect shown = w->rect();
    if (auto* t = qobject_cast<const ui::GradientText*>(w)) {
        shown = placed(blockSize(t->fontMetrics(), t->text()), t->alignment(), t->rect());
    } else if (auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
        shown = labelTextRect(label);
    } else if (auto* link = qobject_cast<const QPushButton*>(w); link && link->isFlat()) {
        // A flat button reads as a link: its text from the left.
        shown = placed(blockSize(link->fontMetrics(), link->text()), Qt::AlignLeft | Qt::AlignVCenter, link->rect());
    } else if (const QString picture = ui::shownPicture(w); !picture.isEmpty()) {
        const QSize natural = QSvgRenderer(ui::pictureResource(picture)).defaultSize();
        if (!natural.isEmpty())
            shown = placed(natural.scaled(w->size(), Qt::KeepAspectRatio), Qt::AlignCenter, w->rect());
    }
    return shown.translated(w->pos());
}

// The visible children of `parent` whose shown parts overlap, each pair as "first/second".
// Buttons with pictures are left out: the tool bar's device buttons overlap by design.
inline QStringList overlappingControls(const QWidget* parent)
{
    QList<const QWidget*> shown;
    for (const QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisibleTo(parent) && !(qobject_cast<const QAbstractButton*>(w) && !ui::shownPicture(w).isEmpty()))
            shown << w;
    QStringList overlaps;
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            if (shownRect(shown[i]).intersects(shownRect(shown[j])))
                overlaps << shown[i]->objectName() + QLatin1Char('/') + shown[j]->objectName();
    return overlaps;
}

// cutTexts() as one line to print.
inline std::string cutTextsOf(const QWidget* window)
{
    return cutTexts(window).join(QStringLiteral(" | ")).toStdString();
}

}  // namespace tavrel::test
