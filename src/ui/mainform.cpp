#include "ui/mainform.h"

#include "ui/errorbox.h"
#include "ui/form1.h"
#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/testhookmapping.h"
#include "hid/hiddevicecontroller.h"
#include "hid/hiddevice.h"
#include "ui/widgets/circlebutton.h"
#include "ui/widgets/closebutton.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/groupradiobutton.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/linememo.h"
#include "ui/widgets/messagepopup.h"
#include "ui/widgets/picturebutton.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/pictureview.h"
#include "ui/widgets/tabcontrol.h"
#include "ui/widgets/tabitem.h"
#include "ui/widgets/toolbarband.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>

namespace tavrel {

const char* const TMainForm::WebAddress = "https://tavrel.org";

namespace {

QGradientStops stops(std::initializer_list<std::pair<qreal, QRgb>> list)
{
    QGradientStops result;
    for (const auto& [at, argb] : list)
        result << QGradientStop(at, QColor::fromRgba(argb));
    return result;
}

QGroupBox* groupBox(const QString& caption, const QRect& geometry, QWidget* parent, const char* name)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setAlignment(Qt::AlignHCenter);
    box->setGeometry(geometry);
    return box;
}

ui::GroupRadioButton* radio(const QString& text, const char* group, const QRect& geometry, QWidget* parent,
                            const char* name)
{
    auto* button = new ui::GroupRadioButton(text, QLatin1String(group), parent);
    button->setObjectName(QLatin1String(name));
    ui::setFontSize(button, 15);
    // A caption longer than the layout's width takes the rest of the group box.
    constexpr int BoxMargin = 10;
    QRect fitted = geometry;
    fitted.setWidth(qBound(geometry.width(), button->sizeHint().width(), parent->width() - geometry.x() - BoxMargin));
    button->setGeometry(fitted);
    return button;
}

QLineEdit* lineEdit(const QString& text, const QRect& geometry, QWidget* parent, const QString& name)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    return edit;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("mainform"));
    setAttribute(Qt::WA_StyledBackground, true);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Tavrel"));
    setWindowIcon(ui::pictureIcon(QStringLiteral("AppIcon")));
    setFixedSize(926, 669);
    move(520, 245);

    buildLayout();
    buildHiddenPanel();

    m_session = new DeviceSession(this);
    // The window shows what the selected key sends, for as long as it is open on that key.
    m_session->setWatchesSelected(true);
    Timer1 = m_session->repollTimer();
    HidCtl = m_session->controller();

    connectHandlers();
    connectSession();
    m_session->start();
    FormCreate();
}

void TMainForm::connectHandlers()
{
    const auto handler = [this](void (TMainForm::*method)()) {
        return [this, method] { guarded([&] { (this->*method)(); }); };
    };
    connect(CircleButton3, &QAbstractButton::clicked, this, handler(&TMainForm::CircleButton3Click));
    connect(CircleButton4, &QAbstractButton::clicked, this, handler(&TMainForm::CircleButton4Click));
    connect(BitmapButton1, &QAbstractButton::clicked, this, handler(&TMainForm::BitmapButton1Click));
    connect(Text4, &ui::GradientText::clicked, this, handler(&TMainForm::Text4Click));
    TextBox1->installEventFilter(this);
    connectModeEditor();
    buildFileActions();
}

void TMainForm::buildLayout()
{
    // The scene is 3 columns wider than the window and right-aligned in it.
    Scene1 = new QWidget(this);
    Scene1->setObjectName(QStringLiteral("Scene1"));
    Scene1->setGeometry(-3, 0, 929, 669);
    Root1 = new QWidget(Scene1);
    Root1->setObjectName(QStringLiteral("Root1"));
    Root1->setGeometry(0, 0, 929, 669);
    Root1->setAttribute(Qt::WA_StyledBackground, true);

    ToolBar1 = new ui::ToolBarBand(Root1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 17, 929, 93);

    Memo1 = new ui::LineMemo(ToolBar1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(782, 14, 135, 64);
    Memo1->setEnabled(false);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui::setFontSize(Memo1, 11);
    Memo1->setText(tr("没有发现USB按键!"));

    Text1 = new ui::GradientText(QStringLiteral("Tavrel"), ToolBar1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(317, 17, 279, 42);
    Text1->setFontSize(27);
    // A pale tint to white over a soft shadow: a near-black top would leave the tops of the
    // capitals dark on the teal band.
    Text1->setGradientStops(stops({{0.0, 0xFFD2ECEE}, {0.5345, 0xFFFFFFFF}}));
    Text1->setShadow(QColor(0, 0, 0, 70));

    Text2 = new ui::GradientText(tr("Tavrel 项目\n反馈请访问网站"), ToolBar1);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(609, -4, 126, 65);
    Text2->setFontSize(16);
    Text2->setGradientStops(stops({{0.0, 0xFFFFFFFF}, {1.0, 0xFFFFFFFF}}));

    Text4 = new ui::GradientText(QString::fromLatin1(WebAddress).remove(QStringLiteral("https://")), ToolBar1);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setGeometry(577, 51, 202, 25);
    Text4->setFontSize(16);
    Text4->setGradientStops(stops({{0.0, 0xFFF8F8F8}, {1.0, 0xFFF8F8F8}}));
    Text4->setClickable(true);
    Text4->setCursor(Qt::PointingHandCursor);

    TabControl1 = new ui::TabControl(Root1);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->setGeometry(4, 249, 747, 409);

    TabItem1 = new ui::TabItem(tr("模拟键盘按键"), TabControl1);
    TabItem1->setObjectName(QStringLiteral("TabItem1"));
    TabItem1->setGeometry(0, 0, 388, 59);
    TabItem1->setFontSize(20);
    TabItem1->setIcon(QStringLiteral("Keyboard"), QRect(32, 1, 90, 58));
    TabItem1->iconView()->setObjectName(QStringLiteral("Image4"));

    TabItem2 = new ui::TabItem(tr("模拟鼠标按键"), TabControl1);
    TabItem2->setObjectName(QStringLiteral("TabItem2"));
    TabItem2->setGeometry(388, 0, 357, 59);
    TabItem2->setFontSize(20);
    TabItem2->setIcon(QStringLiteral("MouseIcon"), QRect(33, 11, 44, 39));
    TabItem2->iconView()->setObjectName(QStringLiteral("Image5"));

    // The mouse page.
    Layout3 = new QWidget(TabControl1);
    Layout3->setObjectName(QStringLiteral("Layout3"));
    Layout3->setGeometry(0, 59, 747, 350);
    Image3 = new ui::PictureView(QStringLiteral("MouseDefault"), Layout3);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(55, 24, 295, 302);
    GroupBox1 = groupBox(tr("模拟按键"), {437, 32, 283, 142}, Layout3, "GroupBox1");
    RadioButton1 = radio(tr("鼠标左键"), "2", {90, 25, 120, 34}, GroupBox1, "RadioButton1");
    RadioButton2 = radio(tr("鼠标右键"), "2", {90, 72, 120, 19}, GroupBox1, "RadioButton2");
    RadioButton3 = radio(tr("滚轮按键"), "2", {90, 105, 120, 19}, GroupBox1, "RadioButton3");
    GroupBox2 = groupBox(tr("触发方式"), {440, 180, 283, 142}, Layout3, "GroupBox2");
    RadioButton4 = radio(tr("单次按下"), "3", {90, 45, 120, 19}, GroupBox2, "RadioButton4");
    RadioButton5 = radio(tr("连续按键"), "3", {90, 84, 120, 19}, GroupBox2, "RadioButton5");

    // The keyboard page.
    Layout2 = new QWidget(TabControl1);
    Layout2->setObjectName(QStringLiteral("Layout2"));
    Layout2->setGeometry(0, 59, 747, 350);
    TextBox1 = new QLineEdit(Layout2);
    TextBox1->setObjectName(QStringLiteral("TextBox1"));
    TextBox1->setGeometry(171, 70, 474, 49);
    TextBox1->setReadOnly(true);
    TextBox1->setAlignment(Qt::AlignCenter);
    {
        QFont f = TextBox1->font();
        f.setPixelSize(19);
        f.setItalic(true);
        TextBox1->setFont(f);
    }
    GroupBox3 = groupBox(tr("触发方式"), {440, 180, 283, 142}, Layout2, "GroupBox3");
    RadioButton6 = radio(tr("单次按下"), "1", {90, 45, 120, 19}, GroupBox3, "RadioButton6");
    RadioButton7 = radio(tr("连续按键"), "1", {90, 84, 120, 19}, GroupBox3, "RadioButton7");
    Image13 = new ui::PictureView(QStringLiteral("Keyboard"), Layout2);
    Image13->setObjectName(QStringLiteral("Image13"));
    // Below the capture box rather than under it, so neither hides the other.
    Image13->setGeometry(27, 129, 357, 212);
    Image13->setAttribute(Qt::WA_TransparentForMouseEvents);
    Text3 = new ui::GradientText(tr("设置按键：1"), Layout2);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setGeometry(103, 42, 245, 27);
    Text3->setFontSize(15);
    // Dark slate to mid slate: a gradient that ends in white would fade into the white page.
    Text3->setGradientStops(stops({{0.1345, 0xFF2E3B42}, {0.8909, 0xFF5E6E76}}));

    TabControl1->addTab(TabItem1, Layout2);
    TabControl1->addTab(TabItem2, Layout3);
    TabControl1->setItemIndex(0);
    TabControl1->hide();

    // Over both pages, in the strip that neither uses: right of the mouse picture and above the
    // mouse page's button box and the keyboard page's capture box.
    ReceivedText = new QLabel(TabControl1);
    ReceivedText->setObjectName(QStringLiteral("ReceivedText"));
    ReceivedText->setGeometry(356, 63, 380, 24);
    ReceivedText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui::setFontSize(ReceivedText, 14);
    ReceivedText->raise();

    RadioButton6->setChecked(true);
    RadioButton4->setChecked(true);

    HorzImageListBox1 = new ui::KeyPicker(Root1);
    HorzImageListBox1->setObjectName(QStringLiteral("HorzImageListBox1"));
    HorzImageListBox1->setGeometry(0, 109, 929, 141);

    CircleButton3 = new ui::CircleButton(tr("读取"), Root1);
    CircleButton3->setObjectName(QStringLiteral("CircleButton3"));
    CircleButton3->setGeometry(785, 398, 101, 100);
    CircleButton3->setFontFamily(QStringLiteral("黑体"));
    CircleButton3->setFontSize(29);

    CircleButton4 = new ui::CircleButton(tr("写入"), Root1);
    CircleButton4->setObjectName(QStringLiteral("CircleButton4"));
    CircleButton4->setGeometry(782, 524, 104, 100);
    CircleButton4->setFontFamily(QStringLiteral("黑体"));
    CircleButton4->setFontSize(29);

    ProgressBar1 = new QProgressBar(Root1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(0, 658, 929, 11);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAttribute(Qt::WA_TransparentForMouseEvents);

    BitmapButton1 = new ui::PictureButton(tr("无线开关配对"), QStringLiteral("PairIcon"), Root1);
    BitmapButton1->setObjectName(QStringLiteral("BitmapButton1"));
    BitmapButton1->setGeometry(780, 299, 124, 31);
    BitmapButton1->setPictureSize(24);
    BitmapButton1->setPadding(2);
    {
        // A longer caption widens the button to the left, beside the key pages.
        const int right = BitmapButton1->geometry().right();
        const int width = qBound(124, BitmapButton1->sizeHint().width(), right - TabControl1->geometry().right() - 4);
        BitmapButton1->setGeometry(right + 1 - width, 299, width, 31);
    }
    BitmapButton1->hide();

    CloseButton1 = new ui::CloseButton(Root1, ui::CloseButton::Action::Close);
    CloseButton1->setObjectName(QStringLiteral("CloseButton1"));
    CloseButton1->setGeometry(910, 1, 20, 20);

    // Drawn above everything else when it opens.
    MessagePopup1 = new ui::MessagePopup(this);
    MessagePopup1->setObjectName(QStringLiteral("MessagePopup1"));
    MessagePopup1->setGeometry(12, 511, 244, 146);
    MessagePopup1->setPlacementTarget(HorzImageListBox1);
    MessagePopup1->setText(tr("设置完成！"));
}

void TMainForm::buildHiddenPanel()
{
    // State holders that other code reads and writes; never shown.
    test = new QWidget(this);
    test->setObjectName(QStringLiteral("test"));
    test->setGeometry(0, 64, 361, 569);
    test->hide();

    Panel1 = new QWidget(test);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 248, 225, 49);
    const int writeX[] = {8, 44, 72, 100, 128, 156, 184};
    for (int i = 0; i < 7; ++i)
        lineEdit(QString(), {writeX[i], 12, 25, 21}, Panel1, QStringLiteral("Write%1").arg(i + 1));
    Panel1->findChild<QLineEdit*>(QStringLiteral("Write1"))->setToolTip(QStringLiteral("Number of bytes to write in hex"));

    HistoryListBox = new QListWidget(test);
    HistoryListBox->setObjectName(QStringLiteral("HistoryListBox"));
    HistoryListBox->setGeometry(8, 304, 273, 185);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(13);
    HistoryListBox->setFont(mono);

    Edit1 = lineEdit(QStringLiteral("Edit1"), {232, 16, 121, 21}, test, QStringLiteral("Edit1"));
    Edit2 = lineEdit(QStringLiteral("Edit2"), {232, 48, 121, 21}, test, QStringLiteral("Edit2"));
    Edit3 = lineEdit(QStringLiteral("Edit3"), {232, 80, 121, 21}, test, QStringLiteral("Edit3"));
    Edit4 = lineEdit(QStringLiteral("Edit4"), {232, 112, 121, 21}, test, QStringLiteral("Edit4"));
    Edit5 = lineEdit(QStringLiteral("Edit5"), {232, 140, 121, 21}, test, QStringLiteral("Edit5"));

    DevListBox = new QListWidget(test);
    DevListBox->setObjectName(QStringLiteral("DevListBox"));
    DevListBox->setGeometry(32, 24, 177, 81);
}

TMainForm::~TMainForm()
{
    if (m_hookFilter)
        QCoreApplication::instance()->removeNativeEventFilter(m_hookFilter.get());
    // The session goes first so that no device handler can reach a half-destroyed window.
    delete std::exchange(m_session, nullptr);
    HidCtl = nullptr;
    Timer1 = nullptr;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    emit closed();
}

void TMainForm::Text4Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(WebAddress)));
}

void TMainForm::BitmapButton1Click()
{
    if (!m_form1)
        return;
    m_form1->show();
    m_form1->raise();
    m_form1->activateWindow();
}

}  // namespace tavrel
