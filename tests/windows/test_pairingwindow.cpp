// The pairing window against an emulated wireless receiver: its instructions, the ten-second
// binding window, the receiver's answers and the clearing of all bindings.
#include "common/pairingtexts.h"
#include "windowfixture.h"

#include "ui/widgets/toolbarband.h"

#include "ui/widgets/closebutton.h"

#include <QListWidget>

using namespace tavrel;
using namespace tavrel::test;

namespace {

using Transmitter = std::array<quint8, 5>;

const QString Waiting10Text = QStringLiteral("请在10秒内按下待绑定的发射器任意键...");
const QString TimedOutText = QStringLiteral("计时结束,未收到发射器传来的按键信号。");
const QString ClearedText = QStringLiteral("已解除所有绑定,接收器可以接收所有发射器的按键信号.");

QString waiting(int seconds)
{
    return QStringLiteral("请在%1秒内按下待绑定的发射器任意键...").arg(seconds);
}

QByteArray pairingReport(quint8 d0, quint8 d1, const Transmitter& id)
{
    QByteArray report(8, '\0');
    report[0] = 0x01;
    report[1] = char(d0);
    report[2] = char(d1);
    for (int i = 0; i < 5; ++i)
        report[3 + i] = char(id[std::size_t(i)]);
    return report;
}

class PairingWindowTest : public WindowTest {
protected:
    // A receiver for four transmitters whose transmitters are pressed only by the test.
    void startReceiver(const QString& name)
    {
        receiver = &plug(name, "311400000002", 6, true);
        receiver->setPairDelayMs(-1);
        start();
        waitForRead(6);
        ASSERT_FALSE(pairingButton()->isHidden());
        ASSERT_EQ(rx()->capabilities().bindCapacity, 4);
        // The seconds of the countdown as the receiver counts them.
        QObject::connect(rx(), &AttachedDevice::bindCountdownChanged, [this](int left) { ticks.push_back(left); });
        receiver->clearReceived();
    }

    // The receiver's model, selected.
    AttachedDevice* rx() const { return form->editor()->selected(); }
    bool counting() const { return rx()->bindCountdown() > 0; }

    void openWindow()
    {
        click(pairingButton());
        ASSERT_TRUE(pairing->isVisible());
    }

    QStringList memo() const { return pairingLines(); }

    // Requests of the pairing command the receiver took, as their argument bytes.
    std::vector<int> pairRequests() const
    {
        std::vector<int> out;
        for (const QByteArray& r : receiver->received())
            if (r.size() == 8 && quint8(r[0]) == 0x02 && quint8(r[1]) == 0x05) {
                EXPECT_EQ(r.mid(3), QByteArray(5, '\0'));
                out.push_back(quint8(r[2]));
            }
        return out;
    }

    // Sends a report from the receiver and waits until the window has handled it.
    void receive(const QByteArray& report)
    {
        const int logged = form->session()->log().size();
        receiver->pushInput(report);
        ASSERT_TRUE(waitFor([&] { return form->session()->log().size() > logged; }));
    }

    // Presses a transmitter as soon as the receiver has taken the bind request, then waits for
    // the answer to arrive in the memo.
    void pressTransmitter(const Transmitter& id)
    {
        const int lines = int(pairingLines().size());
        ASSERT_TRUE(waitFor([&] { return receiver->pressTransmitter(id); }));
        ASSERT_TRUE(waitFor([&] { return pairingLines().size() == lines + 2; }));
    }

    emu::EmulatedDevice* receiver = nullptr;
    std::vector<int> ticks;
};

TEST_F(PairingWindowTest, OpeningTheWindowShowsTheInstructionsForTheReceiversCapacity)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-open"));
    EXPECT_FALSE(pairing->isVisible());
    ASSERT_NO_FATAL_FAILURE(openWindow());
    EXPECT_EQ(memo(), pairingInstructionLines(4));
    EXPECT_EQ(pairingMessages()->toPlainText(), pairingInstructionLines(4).join('\n'));  // what the user sees
    EXPECT_TRUE(bindButton()->isEnabled());
    EXPECT_FALSE(counting());

    // A second click on the pairing button only brings the open window forward.
    click(clearBindingsButton());
    ASSERT_TRUE(waitFor([&] { return memo().size() == 8; }));
    click(pairingButton());
    EXPECT_TRUE(pairing->isVisible());
    EXPECT_EQ(memo().size(), 8);
    EXPECT_EQ(memo().last(), ClearedText);

    // Closed and opened again with a receiver for ten selected: fresh instructions for it.
    click(child(pairing.get(), "closeButton"));
    EXPECT_FALSE(pairing->isVisible());
    plug("pair-open-10", "312200000003", 6, true);
    ASSERT_TRUE(waitFor([&] { return toolBar()->findChild<QToolButton*>("deviceButton1") != nullptr; }));
    click(deviceButton(1));
    ASSERT_EQ(rx()->capabilities().bindCapacity, 10);
    ASSERT_NO_FATAL_FAILURE(openWindow());
    EXPECT_EQ(memo(), pairingInstructionLines(10));
}

// The countdown runs on the receiver's own seconds: the test waits for them and checks their
// order, each shown as it comes, and that the last one ends the binding.
TEST_F(PairingWindowTest, TheBindingWindowCountsDownAndRunsOut)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-countdown"));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    click(bindButton());
    // Connected after the window's own handler, which the click connected: the memo as each
    // second left it.
    QStringList shown;
    QObject::connect(rx(), &AttachedDevice::bindCountdownChanged, pairing.get(),
                     [&] { shown << memo().join(QLatin1Char('|')); });
    EXPECT_EQ(memo(), QStringList{Waiting10Text});
    EXPECT_FALSE(bindButton()->isEnabled());
    EXPECT_TRUE(counting());
    ASSERT_TRUE(receiver->waitForReceived(1, 2000));
    EXPECT_EQ(pairRequests(), std::vector<int>{0x01});

    ASSERT_TRUE(waitFor([&] { return bindButton()->isEnabled(); }, 3 * BindSeconds * 1000));
    EXPECT_EQ(ticks, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    // Each second on the line as it passed; the time-out line then takes the last one's place.
    QStringList expected;
    for (int left = 9; left >= 0; --left)
        expected << waiting(left);
    EXPECT_EQ(shown.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
    EXPECT_EQ(memo(), QStringList{TimedOutText});
    EXPECT_FALSE(counting());

    // An answer after the time-out binds nothing that the window shows.
    const int logged = form->session()->log().size();
    receiver->pushInput(pairingReport(0x50, 0x02, {0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    ASSERT_TRUE(waitFor([&] { return form->session()->log().size() > logged; }));
    EXPECT_EQ(memo(), QStringList{TimedOutText});
}

TEST_F(PairingWindowTest, ATransmitterPressEndsTheBindingWithItsIdentity)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-press"));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    const Transmitter id{0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    click(bindButton());
    ASSERT_TRUE(waitFor([&] { return ticks.size() >= 4; }));
    ASSERT_NO_FATAL_FAILURE(pressTransmitter(id));
    // The countdown stops at the second the answer came in.
    const int left = ticks.back();
    EXPECT_LE(left, 6);
    EXPECT_EQ(memo(), (QStringList{waiting(left), QStringLiteral("加入绑定发射器：1A 2B 3C 4D 5E (00 )"),
                                   QStringLiteral("绑定完成！")}));
    EXPECT_FALSE(counting());
    EXPECT_TRUE(bindButton()->isEnabled());
    EXPECT_EQ(receiver->bindings(), std::vector<Transmitter>{id});

    // The same transmitter once more: the receiver knows it already.
    ticks.clear();
    click(bindButton());
    ASSERT_NO_FATAL_FAILURE(pressTransmitter(id));
    EXPECT_EQ(memo(), (QStringList{ticks.empty() ? Waiting10Text : waiting(ticks.back()),
                                   QStringLiteral("此发射器之前已绑定过：1A 2B 3C 4D 5E (00 )"),
                                   QStringLiteral("操作结束！")}));
    EXPECT_FALSE(counting());
    EXPECT_TRUE(bindButton()->isEnabled());
}

TEST_F(PairingWindowTest, TheBindsAnswerIsShownWhetherOrNotTheWindowIsOpen)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-response"));
    const struct {
        quint8 d1;
        const char* first;
        const char* second;
    } cases[] = {
        {0x02, "加入绑定发射器：1A 2B 3C 4D 5E (02 )", "绑定完成！"},
        {0x0F, "加入绑定发射器：1A 2B 3C 4D 5E (0F )", "绑定完成！"},
        {0x13, "此发射器之前已绑定过：1A 2B 3C 4D 5E (03 )", "操作结束！"},
        {0xF0, "此发射器之前已绑定过：1A 2B 3C 4D 5E (00 )", "操作结束！"},
    };
    const Transmitter id{0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

    // Hidden and never opened: the lines go into the memo all the same.
    bindButton()->click();
    ASSERT_NO_FATAL_FAILURE(receive(pairingReport(0x50, 0x02, id)));
    EXPECT_FALSE(pairing->isVisible());
    EXPECT_EQ(memo().mid(1), (QStringList{QString::fromUtf8(cases[0].first), QString::fromUtf8(cases[0].second)}));

    ASSERT_NO_FATAL_FAILURE(openWindow());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "D1 " << int(c.d1));
        click(bindButton());
        const int lines = int(pairingLines().size());
        ASSERT_NO_FATAL_FAILURE(receive(pairingReport(0x50, c.d1, id)));
        EXPECT_EQ(memo().mid(lines), (QStringList{QString::fromUtf8(c.first), QString::fromUtf8(c.second)}));
        EXPECT_TRUE(bindButton()->isEnabled());
        EXPECT_FALSE(counting());
    }
}

// The receiver's answer with no bind open, and another device's during one, bind nothing on the
// receiver: the window shows neither, and the binding runs on.
TEST_F(PairingWindowTest, AnAnswerNobodyAskedForIsNotShown)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-unasked"));
    auto& wired = plug("pair-wired", "300000000001");
    ASSERT_TRUE(waitFor([&] { return form->session()->devices().size() == 2; }));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    const QStringList instructions = memo();
    const QByteArray unasked = pairingReport(0x50, 0x01, {0xDE, 0xAD, 0xBE, 0xEF, 0x01});

    ASSERT_NO_FATAL_FAILURE(receive(unasked));
    EXPECT_EQ(memo(), instructions);

    click(bindButton());
    ASSERT_TRUE(waitFor([&] { return pairRequests().size() == 1; }));
    const int logged = form->session()->log().size();
    wired.pushInput(unasked);
    ASSERT_TRUE(waitFor([&] { return form->session()->log().size() > logged; }));
    ASSERT_TRUE(counting());
    EXPECT_EQ(memo(), QStringList{waiting(rx()->bindCountdown())});
    EXPECT_FALSE(bindButton()->isEnabled());
}

TEST_F(PairingWindowTest, AReportWithoutATransmitterLeavesTheBindingRunning)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-empty"));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    click(bindButton());

    // D2 to D5 decide; D1 and D6 alone do not make a response.
    ASSERT_NO_FATAL_FAILURE(receive(pairingReport(0x50, 0x02, {0, 0, 0, 0, 0x5E})));
    ASSERT_TRUE(counting());
    EXPECT_EQ(memo(), QStringList{waiting(rx()->bindCountdown())});
    EXPECT_FALSE(bindButton()->isEnabled());

    // The next second still counts.
    const std::size_t before = ticks.size();
    ASSERT_TRUE(waitFor([&] { return ticks.size() > before; }));
    EXPECT_EQ(memo(), QStringList{waiting(ticks.back())});
}

TEST_F(PairingWindowTest, ClearingRemovesEveryBindingWithoutTouchingTheCountdown)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-clear"));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    click(bindButton());
    ASSERT_NO_FATAL_FAILURE(pressTransmitter({0x11, 0x22, 0x33, 0x44, 0x55}));
    ASSERT_EQ(receiver->bindings().size(), 1u);

    const int lines = int(pairingLines().size());
    click(clearBindingsButton());
    ASSERT_TRUE(waitFor([&] { return memo().size() == lines + 1; }));
    EXPECT_EQ(memo().last(), ClearedText);
    EXPECT_TRUE(waitFor([&] { return receiver->bindings().empty(); }));
    EXPECT_EQ(pairRequests(), (std::vector<int>{0x01, 0x03}));

    // During a binding the clear line is the last one, so the next tick takes its place.
    click(bindButton());
    click(clearBindingsButton());
    EXPECT_TRUE(waitFor([&] {
        return memo() == QStringList{Waiting10Text, ClearedText};
    })) << memo().join('|').toStdString();
    EXPECT_TRUE(counting());
    EXPECT_FALSE(bindButton()->isEnabled());
    ticks.clear();
    ASSERT_TRUE(waitFor([&] { return !ticks.empty(); }));
    EXPECT_EQ(memo(), (QStringList{Waiting10Text, waiting(ticks.front())}));
}

TEST_F(PairingWindowTest, ARequestThatCannotBeWrittenSaysSoAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(startReceiver("pair-fail"));
    ASSERT_NO_FATAL_FAILURE(openWindow());
    receiver->setFailWrites(true);

    click(bindButton());
    EXPECT_TRUE(
        waitFor([&] { return memo() == QStringList{QStringLiteral("绑定请求发送失败，请检查接收器是否已连接。")}; }));
    EXPECT_TRUE(bindButton()->isEnabled());
    EXPECT_FALSE(counting());

    click(clearBindingsButton());
    EXPECT_TRUE(waitFor([&] {
        return memo()
               == QStringList{QStringLiteral("绑定请求发送失败，请检查接收器是否已连接。"),
                              QStringLiteral("解除绑定请求发送失败，请检查接收器是否已连接。")};
    }));
    EXPECT_TRUE(pairRequests().empty());
    receiver->setFailWrites(false);
}

}  // namespace
