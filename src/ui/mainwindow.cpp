#include "ui/mainwindow.h"

#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/testhookmemory.h"
#include "ui/errorbox.h"
#include "ui/pairingwindow.h"
#include "ui/widgets/circlebutton.h"
#include "ui/widgets/closebutton.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/toolbarband.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QUrl>

namespace tavrel {

const char* const MainWindow::WebAddress = "https://tavrel.org";

namespace {

QGradientStops stops(std::initializer_list<std::pair<qreal, QRgb>> list)
{
    QGradientStops result;
    for (const auto& [at, argb] : list)
        result << QGradientStop(at, QColor::fromRgba(argb));
    return result;
}

// A tab over the key pages: a checkable button with its caption centred and its icon picture at
// `iconGeometry`. It leaves the focus where it is, in the capture box above all.
QPushButton* tab(const QString& text, const QRect& geometry, const QString& icon, const QRect& iconGeometry,
                 QWidget* parent, const char* name)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(geometry);
    ui::setFontSize(button, 20);
    auto* iconLabel = new QLabel(button);
    iconLabel->setObjectName(QLatin1String(name) + QStringLiteral("Icon"));
    iconLabel->setGeometry(iconGeometry);
    ui::showPicture(iconLabel, icon);
    return button;
}

QGroupBox* groupBox(const QString& caption, const QRect& geometry, QWidget* parent, const char* name)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setAlignment(Qt::AlignHCenter);
    box->setGeometry(geometry);
    return box;
}

// A radio button of the group box `parent`, which is the group it belongs to.
QRadioButton* radio(const QString& text, const QRect& geometry, QGroupBox* parent, QButtonGroup* group, int id,
                    const char* name)
{
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QLatin1String(name));
    ui::setFontSize(button, 15);
    // A caption longer than the layout's width takes the rest of the group box.
    constexpr int BoxMargin = 10;
    QRect fitted = geometry;
    fitted.setWidth(qBound(geometry.width(), button->sizeHint().width(), parent->width() - geometry.x() - BoxMargin));
    button->setGeometry(fitted);
    group->addButton(button, id);
    return button;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setAttribute(Qt::WA_StyledBackground, true);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Tavrel"));
    setWindowIcon(ui::pictureIcon(QStringLiteral("AppIcon")));
    setFixedSize(926, 669);
    move(520, 245);

    buildLayout();

    m_session = new DeviceSession(this);
    m_editor = new DeviceEditor(*m_session, this);
    // The window shows what the selected device sends, for as long as it is open on that device.
    m_editor->setWatchesInput(true);

    connectHandlers();
    connectSession();
    m_session->start();
    // The keyboard layout's names are read when the window is first activated, not here: the
    // first paint does not wait for a keymap.
    setUpCapture();
}

void MainWindow::connectHandlers()
{
    const auto handler = [this](void (MainWindow::*method)()) { return [this, method] { (this->*method)(); }; };
    connect(m_readButton, &QAbstractButton::clicked, this, handler(&MainWindow::onReadClicked));
    connect(m_writeButton, &QAbstractButton::clicked, this, handler(&MainWindow::onWriteClicked));
    connect(m_pairingButton, &QAbstractButton::clicked, this, handler(&MainWindow::onPairingClicked));
    connect(m_webLink, &QAbstractButton::clicked, this, handler(&MainWindow::onWebLinkClicked));
    connect(m_deviceButtons, &QButtonGroup::idClicked, this, [this](int device) { onDeviceButtonClicked(device); });
    m_captureBox->installEventFilter(this);
    connectKeyEditor();
    buildFileActions();
    buildHistoryAction();
}

void MainWindow::buildLayout()
{
    // The scene is 3 columns wider than the window and right-aligned in it.
    auto* scene = new QWidget(this);
    scene->setObjectName(QStringLiteral("scene"));
    scene->setGeometry(-3, 0, 929, 669);
    m_root = new QWidget(scene);
    m_root->setObjectName(QStringLiteral("root"));
    m_root->setGeometry(0, 0, 929, 669);
    m_root->setAttribute(Qt::WA_StyledBackground, true);

    buildToolBar();
    buildKeyPages();
    m_keyPicker = new ui::KeyPicker(m_root);
    m_keyPicker->setObjectName(QStringLiteral("keyPicker"));
    m_keyPicker->setGeometry(0, 109, 929, 141);
    buildButtons();
    buildEmptyState();

    // Above everything else when it opens, below the key picker.
    m_messagePopup = new ui::MessagePopup(this);
    m_messagePopup->setObjectName(QStringLiteral("messagePopup"));
    m_messagePopup->setPlacementTarget(m_keyPicker);
    m_messagePopup->setWindowContent(scene);
    m_messagePopup->setText(tr("设置完成！"));
}

void MainWindow::buildToolBar()
{
    m_toolBar = new ui::ToolBarBand(m_root);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setGeometry(0, 17, 929, 93);
    // One button per device, made as devices come and go; the id is the device's place.
    m_deviceButtons = new QButtonGroup(this);
    m_deviceButtons->setExclusive(false);

    m_statusMemo = new QPlainTextEdit(m_toolBar);
    m_statusMemo->setObjectName(QStringLiteral("statusMemo"));
    m_statusMemo->setGeometry(782, 14, 135, 64);
    m_statusMemo->setReadOnly(true);
    m_statusMemo->setUndoRedoEnabled(false);
    m_statusMemo->setEnabled(false);
    m_statusMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_statusMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_statusMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui::setFontSize(m_statusMemo, 11);
    m_statusMemo->setPlainText(tr("没有发现USB按键!"));

    m_titleText = new ui::GradientText(QStringLiteral("Tavrel"), m_toolBar);
    m_titleText->setObjectName(QStringLiteral("titleText"));
    m_titleText->setGeometry(317, 17, 279, 42);
    ui::setFontSize(m_titleText, 27);
    // A pale tint to white over a soft shadow: a near-black top would leave the tops of the
    // capitals dark on the teal band.
    m_titleText->setGradientStops(stops({{0.0, 0xFFD2ECEE}, {0.5345, 0xFFFFFFFF}}));
    m_titleText->setShadow(QColor(0, 0, 0, 70));

    auto* projectText = new QLabel(tr("Tavrel 项目\n反馈请访问网站"), m_toolBar);
    projectText->setObjectName(QStringLiteral("projectText"));
    projectText->setGeometry(609, -4, 126, 65);
    projectText->setTextFormat(Qt::PlainText);
    ui::setFontSize(projectText, 16);

    // A flat button that reads as a link; the focus stays where it is, in the capture box above all.
    m_webLink = new QPushButton(QString::fromLatin1(WebAddress).remove(QStringLiteral("https://")), m_toolBar);
    m_webLink->setObjectName(QStringLiteral("webLink"));
    m_webLink->setGeometry(577, 51, 202, 25);
    m_webLink->setFlat(true);
    m_webLink->setFocusPolicy(Qt::NoFocus);
    m_webLink->setCursor(Qt::PointingHandCursor);
    ui::setFontSize(m_webLink, 16);
}

void MainWindow::buildKeyPages()
{
    m_pages = new QWidget(m_root);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setGeometry(4, 249, 747, 409);

    // A click on a tab reaches the tab's own handlers first, then the group's, which shows its page.
    m_tabs = new QButtonGroup(this);
    m_keyboardTab =
        tab(tr("模拟键盘按键"), {0, 0, 388, 59}, QStringLiteral("Keyboard"), {32, 1, 90, 58}, m_pages, "keyboardTab");
    m_mouseTab =
        tab(tr("模拟鼠标按键"), {388, 0, 357, 59}, QStringLiteral("MouseIcon"), {33, 11, 44, 39}, m_pages, "mouseTab");
    m_tabs->addButton(m_keyboardTab, 0);
    m_tabs->addButton(m_mouseTab, 1);

    m_pageStack = new QStackedWidget(m_pages);
    m_pageStack->setObjectName(QStringLiteral("pageStack"));
    m_pageStack->setGeometry(0, 59, 747, 350);
    // The mouse page is made first: the keyboard page lies above it.
    buildMousePage();
    buildKeyboardPage();
    m_pageStack->addWidget(m_keyboardPage);
    m_pageStack->addWidget(m_mousePage);
    connect(m_tabs, &QButtonGroup::idClicked, m_pageStack, &QStackedWidget::setCurrentIndex);
    m_keyboardTab->setChecked(true);
    m_pages->hide();

    // Over both pages, in the strip that neither uses: right of the mouse picture and above the
    // mouse page's button box and the keyboard page's capture box.
    m_receivedText = new QLabel(m_pages);
    m_receivedText->setObjectName(QStringLiteral("receivedText"));
    m_receivedText->setGeometry(356, 63, 380, 24);
    m_receivedText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui::setFontSize(m_receivedText, 14);
    m_receivedText->raise();

    m_keyboardTrigger->button(0)->setChecked(true);
    m_mouseTrigger->button(0)->setChecked(true);
}

void MainWindow::buildMousePage()
{
    m_mousePage = new QWidget(m_pageStack);
    m_mousePage->setObjectName(QStringLiteral("mousePage"));
    m_mousePage->resize(747, 350);
    m_mousePicture = new QLabel(m_mousePage);
    m_mousePicture->setObjectName(QStringLiteral("mousePicture"));
    m_mousePicture->setGeometry(55, 24, 295, 302);
    ui::showPicture(m_mousePicture, QStringLiteral("MouseDefault"));

    // The ids are the button bits the record holds.
    m_mouseButtons = new QButtonGroup(this);
    m_mouseButtonBox = groupBox(tr("模拟按键"), {437, 32, 283, 142}, m_mousePage, "mouseButtonBox");
    radio(tr("鼠标左键"), {90, 25, 120, 34}, m_mouseButtonBox, m_mouseButtons, MouseLeft, "leftButtonRadio");
    radio(tr("鼠标右键"), {90, 72, 120, 19}, m_mouseButtonBox, m_mouseButtons, MouseRight, "rightButtonRadio");
    radio(tr("滚轮按键"), {90, 105, 120, 19}, m_mouseButtonBox, m_mouseButtons, MouseMiddle, "middleButtonRadio");

    m_mouseTrigger = new QButtonGroup(this);
    m_mouseTriggerBox = groupBox(tr("触发方式"), {440, 180, 283, 142}, m_mousePage, "mouseTriggerBox");
    radio(tr("单次按下"), {90, 45, 120, 19}, m_mouseTriggerBox, m_mouseTrigger, 0, "mouseSingleRadio");
    radio(tr("连续按键"), {90, 84, 120, 19}, m_mouseTriggerBox, m_mouseTrigger, 1, "mouseRepeatRadio");
}

void MainWindow::buildKeyboardPage()
{
    m_keyboardPage = new QWidget(m_pageStack);
    m_keyboardPage->setObjectName(QStringLiteral("keyboardPage"));
    m_keyboardPage->resize(747, 350);
    m_captureBox = new QLineEdit(m_keyboardPage);
    m_captureBox->setObjectName(QStringLiteral("captureBox"));
    m_captureBox->setGeometry(171, 70, 474, 49);
    m_captureBox->setReadOnly(true);
    m_captureBox->setAlignment(Qt::AlignCenter);
    QFont font = m_captureBox->font();
    font.setPixelSize(19);
    font.setItalic(true);
    m_captureBox->setFont(font);

    m_keyboardTrigger = new QButtonGroup(this);
    m_keyboardTriggerBox = groupBox(tr("触发方式"), {440, 180, 283, 142}, m_keyboardPage, "keyboardTriggerBox");
    radio(tr("单次按下"), {90, 45, 120, 19}, m_keyboardTriggerBox, m_keyboardTrigger, 0, "keyboardSingleRadio");
    radio(tr("连续按键"), {90, 84, 120, 19}, m_keyboardTriggerBox, m_keyboardTrigger, 1, "keyboardRepeatRadio");

    auto* keyboardPicture = new QLabel(m_keyboardPage);
    keyboardPicture->setObjectName(QStringLiteral("keyboardPicture"));
    // Below the capture box rather than under it, so neither hides the other.
    keyboardPicture->setGeometry(27, 129, 357, 212);
    ui::showPicture(keyboardPicture, QStringLiteral("Keyboard"));
    m_keyCaption = new ui::GradientText(tr("设置按键：1"), m_keyboardPage);
    m_keyCaption->setObjectName(QStringLiteral("keyCaption"));
    m_keyCaption->setGeometry(103, 42, 245, 27);
    ui::setFontSize(m_keyCaption, 15);
    // Dark slate to mid slate: a gradient that ends in white would fade into the white page.
    m_keyCaption->setGradientStops(stops({{0.1345, 0xFF2E3B42}, {0.8909, 0xFF5E6E76}}));
}

void MainWindow::buildButtons()
{
    m_readButton = new ui::CircleButton(tr("读取"), m_root);
    m_readButton->setObjectName(QStringLiteral("readButton"));
    m_readButton->setGeometry(785, 398, 101, 100);
    m_readButton->setFontFamily(QStringLiteral("黑体"));
    m_readButton->setFontSize(29);

    m_writeButton = new ui::CircleButton(tr("写入"), m_root);
    m_writeButton->setObjectName(QStringLiteral("writeButton"));
    m_writeButton->setGeometry(782, 524, 104, 100);
    m_writeButton->setFontFamily(QStringLiteral("黑体"));
    m_writeButton->setFontSize(29);

    m_writeProgress = new QProgressBar(m_root);
    m_writeProgress->setObjectName(QStringLiteral("writeProgress"));
    m_writeProgress->setGeometry(0, 658, 929, 11);
    m_writeProgress->setRange(0, 100);
    m_writeProgress->setValue(0);
    m_writeProgress->setTextVisible(false);
    m_writeProgress->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_pairingButton =
        ui::pictureButton(tr("无线开关配对"), QStringLiteral("PairIcon"), 24, Qt::ToolButtonTextBesideIcon, m_root);
    m_pairingButton->setObjectName(QStringLiteral("pairingButton"));
    // A longer caption widens the button to the left, beside the key pages: the picture, a gap of
    // 4 and the caption, and a margin of 2 around them.
    constexpr int Right = 903;
    m_pairingButton->ensurePolished();
    const int needed =
        24 + 4 + m_pairingButton->fontMetrics().size(Qt::TextSingleLine, m_pairingButton->text()).width() + 4;
    const int width = qBound(124, needed, Right - m_pages->geometry().right() - 4);
    m_pairingButton->setGeometry(Right + 1 - width, 299, width, 31);
    m_pairingButton->hide();

    auto* closeButton = new ui::CloseButton(m_root, ui::CloseButton::Action::Close);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(910, 1, 20, 20);
}

void MainWindow::buildEmptyState()
{
    // Where the key picker and the pages are once a device is found; shown once a scan found none.
    m_emptyHelp = new QLabel(m_root);
    m_emptyHelp->hide();
    m_emptyHelp->setObjectName(QStringLiteral("emptyHelp"));
    m_emptyHelp->setGeometry(44, 150, 667, 440);
    m_emptyHelp->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_emptyHelp->setWordWrap(true);
    m_emptyHelp->setTextFormat(Qt::PlainText);
    m_emptyHelp->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui::setFontSize(m_emptyHelp, 17);
    m_emptyHelp->setText(tr("没有发现USB按键。") + QStringLiteral("\n\n") + tr("请插入USB按键，Tavrel 会自动发现它。")
                         + QStringLiteral("\n\n")
                         + tr("按键已经插入却没有发现？当前用户可能没有访问它的权限：请在 Tavrel 源码目录中运行 "
                              "scripts/install-udev-rule.sh 安装 udev 规则，然后拔出并重新插入按键。")
                         + QStringLiteral("\n\n")
                         + tr("在终端中运行 tavrelctl list，可以查看系统找到的按键以及无法使用的原因。"));
}

MainWindow::~MainWindow()
{
    if (m_hookFilter)
        QCoreApplication::instance()->removeNativeEventFilter(m_hookFilter.get());
    // The session and the editor go first so that no device handler can reach a half-destroyed
    // window.
    delete std::exchange(m_editor, nullptr);
    delete std::exchange(m_session, nullptr);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    stopCapture();
    event->accept();
    emit closed();
}

void MainWindow::onWebLinkClicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(WebAddress)));
}

void MainWindow::onPairingClicked()
{
    if (!m_pairingWindow) {
        m_ownPairingWindow = std::make_unique<PairingWindow>(m_editor);
        m_pairingWindow = m_ownPairingWindow.get();
    }
    m_pairingWindow->show();
    m_pairingWindow->raise();
    m_pairingWindow->activateWindow();
}

}  // namespace tavrel
