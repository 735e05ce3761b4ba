#pragma once
// The real windows against emulated devices in the same process: the test binary runs under
// umockdev-wrapper, so the device layer finds only the devices a test plugs in.

#include "common/qtwait.h"
#include "common/statehome.h"
#include "i18n/language.h"
#include "keyemu/testbed.h"
#include "ui/mainwindow.h"
#include "ui/pairingwindow.h"
#include "ui/widgets/circlebutton.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/messagepopup.h"
#include "ui/widgets/pictures.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace tavrel::test {

// One testbed for the whole process; devices stay registered, so every test names its own.
emu::Testbed& testbed();

// A left click in the middle of the widget, as a user would give it.
inline void click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A control of a window, found as a user finds it by what it is: by its object name. Fails the
// test when there is none of that kind.
template <class T = QWidget>
T* child(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no " << name;
    return found;
}

// A radio button takes clicks on its indicator and caption only, so this clicks the indicator.
inline void clickRadio(QRadioButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect indicator = button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator.center());
}

// A key of the selected device as its model holds it: "05 04 00 00 00", or "none".
inline QString heldText(const DeviceEditor& editor, int key)
{
    const auto& held = editor.shownRecord(key);
    return held ? recordText(held->record) : QStringLiteral("none");
}

// The record a write of the key sends: what the model holds, zeros for nothing.
inline std::array<quint8, 5> heldRecord(const DeviceEditor& editor, int key)
{
    const auto& held = editor.shownRecord(key);
    return held ? held->record.bytes() : std::array<quint8, 5>{};
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest() { useOwnStateHome(); }

    void TearDown() override
    {
        pairing.reset();
        form.reset();
        for (emu::EmulatedDevice* device : testbed().devices())
            if (device->plugged())
                testbed().unplug(*device);
    }

    emu::EmulatedDevice& plug(const QString& name, const QString& serial, int keys = 6, bool wireless = false)
    {
        emu::KeyModel model;
        model.name = name;
        model.serial = serial;
        model.keys = keys;
        model.wireless = wireless;
        return testbed().add(model);
    }

    // Starts the program's windows and waits for the first device scan.
    void start()
    {
        form = std::make_unique<MainWindow>();
        pairing = std::make_unique<PairingWindow>(form->editor());
        form->setPairingWindow(pairing.get());
        form->show();
        ASSERT_TRUE(waitFor([&] {
            return statusMemo()->toPlainText() != QStringLiteral("没有发现USB按键!") || !readButton()->isEnabled();
        }));
    }

    // Waits until the read is over and the device has answered every request it was sent.
    void waitForRead(int keys)
    {
        const auto answered = [&] {
            int asked = 0, answers = 0;
            for (const QString& line : form->session()->log()) {
                asked += line.startsWith(QLatin1String("W 02  01 "));
                answers += line.startsWith(QLatin1String("R ")) && line.mid(6, 2).toInt(nullptr, 16) > 0x80;
            }
            return answers >= asked;
        };
        ASSERT_TRUE(waitFor([&] {
            return keyPicker()->count() == keys && form->editor()->selected()
                   && form->editor()->selected()->readComplete() && !form->editor()->busy() && answered();
        }));
    }

    // Presses the popup's OK as soon as it opens; returns what it said.
    QString confirmPopup(int timeoutMs = 5000)
    {
        EXPECT_TRUE(waitFor([&] { return popup()->isOpen(); }, timeoutMs));
        const QString said = popup()->text();
        click(popup()->okButton());
        return said;
    }

    // Writes and confirms the popup that ends the write; returns what it said.
    QString writeAndConfirm()
    {
        click(writeButton());
        return confirmPopup(10000);
    }

    void activate()
    {
        form->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == form.get(); }));
    }

    // Presses a key file shortcut out of the capture box (which takes every combination as one
    // for the key) and answers the dialog it opens with `path`.
    void chooseFile(QKeySequence::StandardKey shortcut, const QString& path)
    {
        ASSERT_NO_FATAL_FAILURE(activate());
        captureBox()->clearFocus();
        ASSERT_TRUE(waitFor([&] { return !form->editor()->capturing(); }));
        QTest::keySequence(form.get(), QKeySequence(shortcut));
        ASSERT_TRUE(waitFor([&] { return form->fileDialog() && form->fileDialog()->isVisible(); }));
        QFileDialog* dialog = form->fileDialog();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();  // as its own button does
        ASSERT_TRUE(waitFor([&] { return form->fileDialog() == nullptr; }));
    }

public:
    // The main window's controls.
    template <class T = QWidget>
    T* mainChild(const char* name) const
    {
        return child<T>(form.get(), name);
    }
    QPlainTextEdit* statusMemo() const { return mainChild<QPlainTextEdit>("statusMemo"); }
    QWidget* toolBar() const { return mainChild("toolBar"); }
    QToolButton* deviceButton(int device) const
    {
        return mainChild<QToolButton>(QByteArray("deviceButton" + QByteArray::number(device)).constData());
    }
    ui::KeyPicker* keyPicker() const { return mainChild<ui::KeyPicker>("keyPicker"); }
    // The key pages with their tabs, and the stack of the pages (0 the keyboard's, 1 the mouse's).
    QWidget* pages() const { return mainChild("pages"); }
    QStackedWidget* pageStack() const { return mainChild<QStackedWidget>("pageStack"); }
    QPushButton* keyboardTab() const { return mainChild<QPushButton>("keyboardTab"); }
    QPushButton* mouseTab() const { return mainChild<QPushButton>("mouseTab"); }
    QLineEdit* captureBox() const { return mainChild<QLineEdit>("captureBox"); }
    QRadioButton* radio(const char* name) const { return mainChild<QRadioButton>(name); }
    ui::CircleButton* readButton() const { return mainChild<ui::CircleButton>("readButton"); }
    ui::CircleButton* writeButton() const { return mainChild<ui::CircleButton>("writeButton"); }
    QPushButton* pairingButton() const { return mainChild<QPushButton>("pairingButton"); }
    ui::MessagePopup* popup() const { return mainChild<ui::MessagePopup>("messagePopup"); }
    // The pairing window's.
    QToolButton* bindButton() const { return child<QToolButton>(pairing.get(), "bindButton"); }
    QToolButton* clearBindingsButton() const { return child<QToolButton>(pairing.get(), "clearBindingsButton"); }
    QPlainTextEdit* pairingMessages() const { return child<QPlainTextEdit>(pairing.get(), "messages"); }
    // The pairing window's messages as the user sees them, line by line; none while it is empty.
    QStringList pairingLines() const
    {
        const QString text = pairingMessages()->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

protected:
    std::unique_ptr<MainWindow> form;
    std::unique_ptr<PairingWindow> pairing;
};

// A window test under a locale, set as main does it: the language comes from the environment and
// its translation is installed before any window exists; the environment comes back afterwards.
class LocaleWindowTest : public WindowTest {
protected:
    void useLocale(const char* locale, bool withQtTexts)
    {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
            m_saved.emplace_back(name, qgetenv(name));
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", locale);
        m_translator = i18n::installTranslation(i18n::systemLanguage());
        if (withQtTexts)
            m_qtTranslator = i18n::installQtTranslation(i18n::systemLanguage());
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        delete m_translator;
        delete m_qtTranslator;
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
    }

private:
    std::vector<std::pair<const char*, QByteArray>> m_saved;
    QTranslator* m_translator = nullptr;
    QTranslator* m_qtTranslator = nullptr;
};

}  // namespace tavrel::test
