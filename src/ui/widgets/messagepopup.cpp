#include "ui/widgets/messagepopup.h"

#include "ui/widgets/fonts.h"
#include "ui/widgets/pictures.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace tavrel::ui {

namespace {

// The popup as it is for a text that fits on one line.
constexpr QSize BaseSize(244, 146);
constexpr QRect BaseIcon(34, 17, 50, 50);
constexpr QRect BaseLabel(74, 27, 130, 38);
constexpr QRect BaseOk(69, 83, 109, 33);

// A longer text starts right of the icon and wraps at a width that still reads as one message.
constexpr int WrappedLabelLeft = BaseIcon.x() + BaseIcon.width() + 10;
constexpr int WrappedLabelMaxWidth = 320;
constexpr int RightMargin = 24;
constexpr int LabelToOk = BaseOk.y() - (BaseLabel.y() + BaseLabel.height());
constexpr int BottomMargin = BaseSize.height() - (BaseOk.y() + BaseOk.height());
// As the style sheet rounds the message's frame.
constexpr qreal CornerRadius = 12;

}  // namespace

MessagePopup::MessagePopup(QWidget* window) : QDialog(window, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowModality(Qt::WindowModal);
    resize(BaseSize);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("icon"));
    m_icon->setGeometry(BaseIcon);
    showPicture(m_icon, QStringLiteral("PopupIcon"));

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("message"));
    m_label->setGeometry(BaseLabel);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    setFontSize(m_label, 15);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setGeometry(BaseOk);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

MessagePopup::~MessagePopup()
{
    enableContent();
}

void MessagePopup::setText(const QString& text)
{
    m_label->setText(text);
    fitToText();
}

void MessagePopup::setIcon(const QString& picture)
{
    showPicture(m_icon, picture);
}

void MessagePopup::fitToText()
{
    // Measured with the font the style sheet gives the label.
    m_label->ensurePolished();
    const QFontMetrics metrics(m_label->font());
    int oneLine = 0;
    for (const QString& line : m_label->text().split(QLatin1Char('\n')))
        oneLine = qMax(oneLine, metrics.horizontalAdvance(line));
    const int margins = m_label->contentsMargins().left() + m_label->contentsMargins().right();
    if (oneLine + margins <= BaseLabel.width() && !m_label->text().contains(QLatin1Char('\n'))) {
        resize(BaseSize);
        m_icon->setGeometry(BaseIcon);
        m_label->setGeometry(BaseLabel);
        m_ok->setGeometry(BaseOk);
        return;
    }

    // As wide as the text wants up to the reading width, never wider than the window; then as
    // tall as the wrapped text needs.
    int labelWidth = qMax(BaseLabel.width(), qMin(oneLine + margins, WrappedLabelMaxWidth));
    if (const QWidget* host = parentWidget() ? parentWidget()->window() : nullptr)
        labelWidth = qMax(1, qMin(labelWidth, host->width() - WrappedLabelLeft - RightMargin));
    const int labelHeight = qMax(BaseLabel.height(), m_label->heightForWidth(labelWidth));
    // Narrowed while the text keeps its number of lines, so the last line is not a lone word.
    constexpr int Step = 8;
    while (labelWidth - Step >= BaseLabel.width() && m_label->heightForWidth(labelWidth - Step) <= labelHeight)
        labelWidth -= Step;
    const int width = WrappedLabelLeft + labelWidth + RightMargin;
    const int height = BaseLabel.y() + labelHeight + LabelToOk + BaseOk.height() + BottomMargin;
    resize(width, height);
    m_label->setGeometry(WrappedLabelLeft, BaseLabel.y(), labelWidth, labelHeight);
    m_icon->setGeometry(BaseIcon.x(), qMax(BaseIcon.y(), BaseLabel.y() + (labelHeight - BaseIcon.height()) / 2),
                        BaseIcon.width(), BaseIcon.height());
    m_ok->setGeometry((width - BaseOk.width()) / 2, BaseLabel.y() + labelHeight + LabelToOk, BaseOk.width(),
                      BaseOk.height());
}

QString MessagePopup::text() const
{
    return m_label->text();
}

void MessagePopup::placeOnTarget()
{
    QWidget* const host = parentWidget() ? parentWidget()->window() : nullptr;
    if (!host)
        return;
    QPoint topLeft((host->width() - width()) / 2, (host->height() - height()) / 2);
    if (m_target && m_target != host && host->isAncestorOf(m_target)) {
        const QRect target(m_target->mapTo(host, QPoint(0, 0)), m_target->size());
        topLeft = QPoint(target.center().x() - width() / 2 + 1, target.bottom() + 1);
    }
    topLeft.setX(qBound(0, topLeft.x(), qMax(0, host->width() - width())));
    topLeft.setY(qBound(0, topLeft.y(), qMax(0, host->height() - height())));
    move(host->mapToGlobal(topLeft));
}

void MessagePopup::open()
{
    if (isVisible())
        return;
    // The window may have changed its size since the text was set.
    fitToText();
    placeOnTarget();
    if (m_content && m_content->isEnabled()) {
        m_contentFocus = m_content->window()->focusWidget();
        m_content->setEnabled(false);
        m_disabledContent = m_content;
    }
    QDialog::open();
    m_ok->setFocus(Qt::OtherFocusReason);
}

void MessagePopup::done(int)
{
    // Enabled before the window is active again, so that its focus comes back to where it was.
    enableContent();
    // The message only tells: closing it in any way is taking note of it.
    QDialog::done(1);
}

void MessagePopup::enableContent()
{
    if (!m_disabledContent)
        return;
    m_disabledContent->setEnabled(true);
    m_disabledContent = nullptr;
    if (m_contentFocus && m_contentFocus->isEnabled() && m_contentFocus->isVisible())
        m_contentFocus->setFocus(Qt::OtherFocusReason);
    m_contentFocus = nullptr;
}

void MessagePopup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void MessagePopup::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The rounded corners the style sheet draws: a window is a rectangle of its own otherwise.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), CornerRadius, CornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

}  // namespace tavrel::ui
