#include "ui/pairingwindow.h"

#include "session/deviceeditor.h"
#include "ui/errorbox.h"
#include "ui/widgets/closebutton.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/toolbarband.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

namespace tavrel {

namespace {

// The last line while a binding waits for a transmitter.
QString countdownText(int secondsLeft)
{
    return PairingWindow::tr("请在%n秒内按下待绑定的发射器任意键...", nullptr, secondsLeft);
}

}  // namespace

QString pairingInstructions(int capacity)
{
    // A line feed then a carriage return: each pair leaves one empty line between the texts.
    const QString gap = QStringLiteral("\n\r");
    return PairingWindow::tr("1.每个接收器最多可绑定%n个发射器。", nullptr, capacity) + gap
           + PairingWindow::tr("2.当绑定的发射器超过%n个，将会挤走最先绑定的发射器。", nullptr, capacity) + gap
           + PairingWindow::tr("3.可以\"解除所有绑定\"，删除接收器中绑定的全部发射器。") + gap
           + PairingWindow::tr("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多%n个。", nullptr, capacity);
}

PairingWindow::PairingWindow(DeviceEditor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("pairingWindow"));
    setAttribute(Qt::WA_StyledBackground, true);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(tr("无线设置"));
    setWindowIcon(ui::pictureIcon(QStringLiteral("PairIcon")));
    setFixedSize(485, 378);
    move(752, 350);

    auto* scene = new QWidget(this);
    scene->setObjectName(QStringLiteral("scene"));
    scene->setGeometry(0, 0, 485, 378);
    auto* root = new QWidget(scene);
    root->setObjectName(QStringLiteral("root"));
    root->setGeometry(0, 0, 485, 378);

    m_messages = new QPlainTextEdit(root);
    m_messages->setObjectName(QStringLiteral("messages"));
    m_messages->setGeometry(4, 183, 479, 192);
    m_messages->setReadOnly(true);
    m_messages->setUndoRedoEnabled(false);
    m_messages->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The wheel leaves the messages where they are: they always show the latest.
    m_messages->viewport()->installEventFilter(this);
    ui::setFontSize(m_messages, 13);

    m_bindButton =
        ui::pictureButton(tr("绑定发射器"), QStringLiteral("BindIcon"), 48, Qt::ToolButtonTextUnderIcon, root);
    m_bindButton->setObjectName(QStringLiteral("bindButton"));
    m_bindButton->setGeometry(29, 83, 173, 73);
    ui::setFontSize(m_bindButton, 13);
    m_bindButton->setToolTip(tr("10秒内按下发射器任意键。"));
    connect(m_bindButton, &QAbstractButton::clicked, this, [this] { onBindClicked(); });

    auto* header = new ui::ToolBarBand(root);
    header->setObjectName(QStringLiteral("header"));
    header->setGeometry(0, 0, 485, 71);
    auto* closeButton = new ui::CloseButton(header, ui::CloseButton::Action::Hide);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(464, 0, 20, 20);
    auto* title = new QLabel(tr("发射器绑定操作"), header);
    title->setObjectName(QStringLiteral("title"));
    // Left-aligned where the centred Chinese title begins, so a longer title is not cut at the
    // window's left edge.
    title->setGeometry(12, 14, 440, 43);
    title->setTextFormat(Qt::PlainText);
    ui::setFontFamily(title, QStringLiteral("微软雅黑"));
    ui::setFontSize(title, 19);
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_clearButton =
        ui::pictureButton(tr("解除所有绑定"), QStringLiteral("UnbindIcon"), 48, Qt::ToolButtonTextUnderIcon, root);
    m_clearButton->setObjectName(QStringLiteral("clearBindingsButton"));
    m_clearButton->setGeometry(280, 83, 173, 73);
    ui::setFontSize(m_clearButton, 13);
    m_clearButton->setToolTip(tr("解除绑定后，所有发射器均可使用。"));
    connect(m_clearButton, &QAbstractButton::clicked, this, [this] { onClearClicked(); });
}

AttachedDevice* PairingWindow::pairedReceiver()
{
    AttachedDevice* receiver = m_editor ? m_editor->selected() : nullptr;
    if (receiver == m_receiver)
        return receiver;
    if (m_receiver) {
        m_receiver->disconnect(this);
        // One receiver binds at a time: the other's countdown ends here, as its time-out would.
        if (m_receiver->bindCountdown() > 0) {
            m_receiver->endBind();
            showTimeOut();
        }
    }
    m_receiver = receiver;
    if (!receiver)
        return nullptr;
    connect(receiver, &AttachedDevice::bindCountdownChanged, this, &PairingWindow::showCountdown);
    connect(receiver, &AttachedDevice::bindTimedOut, this, &PairingWindow::showTimeOut);
    connect(receiver, &AttachedDevice::bindRequestFailed, this, &PairingWindow::showBindFailed);
    connect(receiver, &AttachedDevice::clearRequestDone, this, &PairingWindow::showCleared);
    // The receiver answers only its own bind, while it is open.
    connect(receiver, &AttachedDevice::pairingAnswered, this, &PairingWindow::showPairingResponse);
    return receiver;
}

void PairingWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only the change from hidden to shown; not the window system's own re-shows.
    if (!event->spontaneous())
        showInstructions();
}

void PairingWindow::showInstructions()
{
    const AttachedDevice* receiver = m_editor ? m_editor->selected() : nullptr;
    m_messages->setPlainText(
        pairingInstructions((receiver ? receiver->capabilities() : DeviceCapabilities{}).bindCapacity));
}

void PairingWindow::onBindClicked()
{
    m_messages->setPlainText(countdownText(BindSeconds));
    m_bindButton->setEnabled(false);
    if (AttachedDevice* receiver = pairedReceiver()) {
        receiver->bind();
        return;
    }
    // Nothing to send to: waiting ten seconds for an answer would only mislead.
    QTimer::singleShot(0, this, &PairingWindow::showBindFailed);
}

void PairingWindow::showCountdown(int secondsLeft)
{
    replaceLastMessage(countdownText(secondsLeft));
}

void PairingWindow::showTimeOut()
{
    replaceLastMessage(tr("计时结束,未收到发射器传来的按键信号。"));
    m_bindButton->setEnabled(true);
}

void PairingWindow::showBindFailed()
{
    // Nothing was sent: the window says so at once instead of counting down.
    replaceLastMessage(tr("绑定请求发送失败，请检查接收器是否已连接。"));
    m_bindButton->setEnabled(true);
}

void PairingWindow::onClearClicked()
{
    if (AttachedDevice* receiver = pairedReceiver())
        receiver->clearBindings();
    else
        QTimer::singleShot(0, this, [this] { showCleared(false); });
}

void PairingWindow::showCleared(bool sent)
{
    if (sent)
        appendMessage(tr("已解除所有绑定,接收器可以接收所有发射器的按键信号."));
    else
        appendMessage(tr("解除绑定请求发送失败，请检查接收器是否已连接。"));
}

void PairingWindow::showPairingResponse(const PairingResponse& response)
{
    m_bindButton->setEnabled(true);
    if (response.newlyBound()) {
        appendMessage(tr("加入绑定发射器：%1").arg(response.identityText()));
        appendMessage(tr("绑定完成！"));
    } else {
        appendMessage(tr("此发射器之前已绑定过：%1").arg(response.identityText()));
        appendMessage(tr("操作结束！"));
    }
}

bool PairingWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_messages->viewport() && event->type() == QEvent::Wheel)
        return true;
    return QWidget::eventFilter(watched, event);
}

void PairingWindow::replaceLastMessage(const QString& text)
{
    QTextCursor cursor(m_messages->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    m_messages->verticalScrollBar()->setValue(m_messages->verticalScrollBar()->maximum());
}

void PairingWindow::appendMessage(const QString& text)
{
    // On empty messages, the text takes the first line.
    m_messages->appendPlainText(text);
    m_messages->verticalScrollBar()->setValue(m_messages->verticalScrollBar()->maximum());
}

}  // namespace tavrel
