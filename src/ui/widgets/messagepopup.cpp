#include "ui/widgets/messagepopup.h"

#include "ui/widgets/fonts.h"
#include "ui/widgets/pictureview.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QList>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

MessagePopup::MessagePopup(QWidget* window) : QWidget(window)
{
    resize(244, 146);
    hide();

    m_icon = new PictureView(QStringLiteral("PopupIcon"), this);
    m_icon->setObjectName(QStringLiteral("Image7"));
    m_icon->setGeometry(34, 17, 50, 50);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setGeometry(74, 27, 130, 38);
    m_label->setAlignment(Qt::AlignCenter);
    setFontSize(m_label, 15);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button2"));
    m_ok->setGeometry(69, 83, 109, 33);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (!m_loop)
            return;
        m_accepted = true;
        m_loop->quit();
    });
}

MessagePopup::~MessagePopup()
{
    if (m_loop)
        m_loop->quit();
}

void MessagePopup::setText(const QString& text)
{
    m_label->setText(text);
}

QString MessagePopup::text() const
{
    return m_label->text();
}

void MessagePopup::placeOnTarget()
{
    QWidget* const host = parentWidget();
    if (!host)
        return;
    QPoint topLeft((host->width() - width()) / 2, (host->height() - height()) / 2);
    if (m_target && m_target != host && host->isAncestorOf(m_target)) {
        const QRect target(m_target->mapTo(host, QPoint(0, 0)), m_target->size());
        topLeft = QPoint(target.center().x() - width() / 2 + 1, target.bottom() + 1);
    }
    topLeft.setX(qBound(0, topLeft.x(), qMax(0, host->width() - width())));
    topLeft.setY(qBound(0, topLeft.y(), qMax(0, host->height() - height())));
    move(topLeft);
}

int MessagePopup::exec()
{
    if (m_loop)
        return 0;

    // Everything in the window but the way down to the popup is disabled; only what this call
    // disabled is enabled again afterwards.
    QList<QPointer<QWidget>> disabled;
    for (QWidget* node = this; !node->isWindow() && node->parentWidget(); node = node->parentWidget()) {
        const auto siblings = node->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* sibling : siblings) {
            if (sibling == node || sibling->isWindow() || !sibling->isEnabled())
                continue;
            sibling->setEnabled(false);
            disabled << sibling;
        }
    }
    QPointer<QWidget> previousFocus = QApplication::focusWidget();

    placeOnTarget();
    show();
    raise();
    m_ok->setFocus(Qt::OtherFocusReason);

    QPointer<MessagePopup> self(this);
    QEventLoop loop;
    m_loop = &loop;
    m_accepted = false;
    loop.exec();
    if (!self) {
        for (const QPointer<QWidget>& w : disabled)
            if (w)
                w->setEnabled(true);
        return 0;
    }
    m_loop = nullptr;
    const int result = m_accepted ? 1 : 0;

    hide();
    for (const QPointer<QWidget>& w : disabled)
        if (w)
            w->setEnabled(true);
    if (previousFocus && previousFocus->isEnabled() && previousFocus->isVisible())
        previousFocus->setFocus(Qt::OtherFocusReason);
    emit closed(result);
    return result;
}

void MessagePopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

}  // namespace tavrel::ui
