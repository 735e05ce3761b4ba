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
    connect(m_ok, &QPushButton::clicked, this, [this] { close(1); });
}

MessagePopup::~MessagePopup()
{
    for (const QPointer<QWidget>& w : std::as_const(m_disabled))
        if (w)
            w->setEnabled(true);
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

void MessagePopup::open()
{
    if (m_open)
        return;
    m_open = true;

    // Everything in the window but the way down to the popup is disabled; only what this call
    // disabled is enabled again afterwards.
    m_disabled.clear();
    for (QWidget* node = this; !node->isWindow() && node->parentWidget(); node = node->parentWidget()) {
        const auto siblings = node->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* sibling : siblings) {
            if (sibling == node || sibling->isWindow() || !sibling->isEnabled())
                continue;
            sibling->setEnabled(false);
            m_disabled << sibling;
        }
    }
    m_previousFocus = QApplication::focusWidget();

    placeOnTarget();
    show();
    raise();
    m_ok->setFocus(Qt::OtherFocusReason);
}

void MessagePopup::close(int result)
{
    if (!m_open)
        return;
    m_open = false;
    hide();
    for (const QPointer<QWidget>& w : std::as_const(m_disabled))
        if (w)
            w->setEnabled(true);
    m_disabled.clear();
    if (m_previousFocus && m_previousFocus->isEnabled() && m_previousFocus->isVisible())
        m_previousFocus->setFocus(Qt::OtherFocusReason);
    emit closed(result);
}

void MessagePopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

}  // namespace tavrel::ui
