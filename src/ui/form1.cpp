#include "ui/form1.h"

#include "ui/errorbox.h"
#include "session/devicesession.h"
#include "ui/widgets/closebutton.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/linememo.h"
#include "ui/widgets/picturebutton.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/toolbarband.h"

#include <QShowEvent>
#include <QTimer>

namespace tavrel {

namespace {

// The last line while a binding waits for a transmitter.
QString countdownText(int secondsLeft)
{
    return TForm1::tr("请在%n秒内按下待绑定的发射器任意键...", nullptr, secondsLeft);
}

}  // namespace

QString pairingInstructions(int capacity)
{
    // A line feed then a carriage return: each pair leaves one empty line between the texts.
    const QString gap = QStringLiteral("\n\r");
    return TForm1::tr("1.每个接收器最多可绑定%n个发射器。", nullptr, capacity) + gap
           + TForm1::tr("2.当绑定的发射器超过%n个，将会挤走最先绑定的发射器。", nullptr, capacity) + gap
           + TForm1::tr("3.可以\"解除所有绑定\"，删除接收器中绑定的全部发射器。") + gap
           + TForm1::tr("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多%n个。", nullptr, capacity);
}

TForm1::TForm1(DeviceSession* session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_StyledBackground, true);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(tr("无线设置"));
    setWindowIcon(ui::pictureIcon(QStringLiteral("PairIcon")));
    setFixedSize(485, 378);
    move(752, 350);

    Scene1 = new QWidget(this);
    Scene1->setObjectName(QStringLiteral("Scene1"));
    Scene1->setGeometry(0, 0, 485, 378);
    Root1 = new QWidget(Scene1);
    Root1->setObjectName(QStringLiteral("Root1"));
    Root1->setGeometry(0, 0, 485, 378);

    Memo1 = new ui::LineMemo(Root1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(4, 183, 479, 192);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setWheelScrolling(false);
    ui::setFontSize(Memo1, 13);

    BitmapButton1 = new ui::PictureButton(tr("绑定发射器"), QStringLiteral("BindIcon"), Root1);
    BitmapButton1->setObjectName(QStringLiteral("BitmapButton1"));
    BitmapButton1->setGeometry(29, 83, 173, 73);
    BitmapButton1->setFontSize(13);
    BitmapButton1->setPictureSize(48);
    BitmapButton1->setPadding(2);
    BitmapButton1->setToolTip(tr("10秒内按下发射器任意键。"));
    connect(BitmapButton1, &QAbstractButton::clicked, this, [this] { guarded([this] { BitmapButton1Click(); }); });

    Rectangle1 = new ui::ToolBarBand(Root1);
    Rectangle1->setObjectName(QStringLiteral("Rectangle1"));
    Rectangle1->setGeometry(0, 0, 485, 71);
    CloseButton1 = new ui::CloseButton(Rectangle1, ui::CloseButton::Action::Hide);
    CloseButton1->setObjectName(QStringLiteral("CloseButton1"));
    CloseButton1->setGeometry(464, 0, 20, 20);
    Text1 = new ui::GradientText(tr("发射器绑定操作"), Rectangle1);
    Text1->setObjectName(QStringLiteral("Text1"));
    // Left-aligned where the centred Chinese title begins, so a longer title is not cut at the
    // window's left edge.
    Text1->setGeometry(12, 14, 440, 43);
    Text1->setFontFamily(QStringLiteral("微软雅黑"));
    Text1->setFontSize(19);
    Text1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    BitmapButton2 = new ui::PictureButton(tr("解除所有绑定"), QStringLiteral("UnbindIcon"), Root1);
    BitmapButton2->setObjectName(QStringLiteral("BitmapButton2"));
    BitmapButton2->setGeometry(280, 83, 173, 73);
    BitmapButton2->setFontSize(13);
    BitmapButton2->setPictureSize(48);
    BitmapButton2->setPadding(2);
    BitmapButton2->setToolTip(tr("解除绑定后，所有发射器均可使用。"));
    connect(BitmapButton2, &QAbstractButton::clicked, this, [this] { guarded([this] { BitmapButton2Click(); }); });

    Timer1 = m_session->bindTimer();
    connect(m_session, &DeviceSession::bindCountdownChanged, this, &TForm1::showCountdown);
    connect(m_session, &DeviceSession::bindTimedOut, this, &TForm1::showTimeOut);
    connect(m_session, &DeviceSession::bindRequestFailed, this, &TForm1::showBindFailed);
    connect(m_session, &DeviceSession::clearRequestDone, this, &TForm1::showCleared);
    connect(m_session, &DeviceSession::pairingAnswered, this, &TForm1::pairingResponse);
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only the change from hidden to shown; not the window system's own re-shows.
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void TForm1::FormShow()
{
    Memo1->setText(pairingInstructions(m_session->bindCapacity()));
}

int TForm1::bindCountdown() const
{
    return m_session->bindCountdown();
}

void TForm1::BitmapButton1Click()
{
    Memo1->setText(countdownText(BindSeconds));
    BitmapButton1->setEnabled(false);
    m_session->bind();
}

void TForm1::Timer1Timer()
{
    m_session->bindTick();
}

void TForm1::showCountdown(int secondsLeft)
{
    Memo1->replaceLastLine(countdownText(secondsLeft));
}

void TForm1::showTimeOut()
{
    Memo1->replaceLastLine(tr("计时结束,未收到发射器传来的按键信号。"));
    BitmapButton1->setEnabled(true);
}

void TForm1::showBindFailed()
{
    // Nothing was sent: the window says so at once instead of counting down.
    Memo1->replaceLastLine(tr("绑定请求发送失败，请检查接收器是否已连接。"));
    BitmapButton1->setEnabled(true);
}

void TForm1::BitmapButton2Click()
{
    m_session->clearBindings();
}

void TForm1::showCleared(bool sent)
{
    if (sent)
        Memo1->appendLine(tr("已解除所有绑定,接收器可以接收所有发射器的按键信号."));
    else
        Memo1->appendLine(tr("解除绑定请求发送失败，请检查接收器是否已连接。"));
}

void TForm1::pairingResponse(const PairingResponse& response)
{
    BitmapButton1->setEnabled(true);
    if (response.newlyBound()) {
        Memo1->appendLine(tr("加入绑定发射器：%1").arg(response.identityText()));
        Memo1->appendLine(tr("绑定完成！"));
    } else {
        Memo1->appendLine(tr("此发射器之前已绑定过：%1").arg(response.identityText()));
        Memo1->appendLine(tr("操作结束！"));
    }
}

}  // namespace tavrel
