// The key tester: what the selected device was last heard sending through its keyboard and mouse
// interfaces, and the key names in the user's keyboard layout.
#include "ui/mainwindow.h"

#include "platform/keyboardlayout.h"
#include "ui/widgets/keypicker.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>

namespace tavrel {

namespace {

// The line's font shrinks to this before a text is shortened to fit.
constexpr int ReceivedFontPx = 14;
constexpr int SmallestReceivedFontPx = 10;

QString buttonName(quint8 button)
{
    switch (button) {
    case MouseLeft:
        return MainWindow::tr("鼠标左键");
    case MouseRight:
        return MainWindow::tr("鼠标右键");
    default:
        return MainWindow::tr("滚轮按键");
    }
}

}  // namespace

void MainWindow::showReceived(const InputChange& change, int key)
{
    if (change.kind != InputChange::Kind::Press)
        return;
    m_received = std::make_pair(change, key);
    const InputNames names{
        [this](int usage) { return m_keyLabels.name(usage); },
        &buttonName,
        [](quint16 code) { return tr("键码%1").arg(code); },
    };
    const QString sent = sentInputText(change.input, names);
    QString text;
    if (change.repeated())
        text =
            key >= 0 ? tr("收到：%1，连续按键（按键 %2）").arg(sent).arg(key + 1) : tr("收到：%1，连续按键").arg(sent);
    else
        text = key >= 0 ? tr("收到：%1（按键 %2）").arg(sent).arg(key + 1) : tr("收到：%1").arg(sent);

    // A long combination takes a smaller font, and only past the smallest is it shortened; the
    // whole text is then the line's tool tip.
    QFont font = m_receivedText->font();
    int px = ReceivedFontPx;
    for (; px > SmallestReceivedFontPx; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).horizontalAdvance(text) <= m_receivedText->contentsRect().width())
            break;
    }
    font.setPixelSize(px);
    m_receivedText->setFont(font);
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideMiddle, m_receivedText->contentsRect().width());
    m_receivedText->setText(shown);
    m_receivedText->setToolTip(shown == text ? QString() : text);
    m_keyPicker->setReceivedIndex(key);
}

void MainWindow::clearReceived()
{
    m_received.reset();
    m_receivedText->clear();
    m_receivedText->setToolTip(QString());
    m_keyPicker->setReceivedIndex(-1);
}

void MainWindow::setKeyLabels(const KeyLabels& labels)
{
    if (labels == m_keyLabels)
        return;
    m_keyLabels = labels;
    // What is shown in key names is shown again in the new ones.
    showKey();
    if (const auto received = m_received)
        showReceived(received->first, received->second);
}

void MainWindow::readKeyLabels()
{
    // Only the X server the window is on says which layout the user types with; a window drawn
    // elsewhere (offscreen) keeps the names it has, whatever $DISPLAY names.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setKeyLabels(platform::displayKeyLabels().value_or(KeyLabels()));
}

}  // namespace tavrel
