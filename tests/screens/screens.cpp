// Pictures of the windows in their usual states, to compare a change of the widgets against the
// look before it: the real windows against an emulated device, grabbed as Qt paints them.
//
//   tavrel-screens OUTDIR            (under umockdev-wrapper and an X display; the language
//                                     comes from the environment, as for the program)
//   tavrel-screens --compare A B [DIFFS]
//                                    the number of differing pixels of each picture in both;
//                                    DIFFS gets each differing picture of B with those pixels red
#include "common/qtwait.h"
#include "common/statehome.h"
#include "i18n/language.h"
#include "keyemu/testbed.h"
#include "ui/mainwindow.h"
#include "ui/pairingwindow.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/picturestyle.h"
#include "ui/widgets/stylesheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cstdio>

using namespace tavrel;

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString& why)
{
    QTextStream(stderr) << "tavrel-screens: " << why << Qt::endl;
    return 1;
}

// Pixels that differ between two pictures; every pixel of the larger one when the sizes differ.
qint64 differingPixels(const QImage& a, const QImage& b, QImage* marked = nullptr)
{
    if (a.size() != b.size())
        return qint64(qMax(a.width(), b.width())) * qMax(a.height(), b.height());
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    if (marked)
        *marked = right;
    qint64 count = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            if (l[x] == r[x])
                continue;
            ++count;
            if (marked)
                marked->setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    return count;
}

int compare(const QString& before, const QString& after, const QString& diffs)
{
    if (!diffs.isEmpty() && !QDir().mkpath(diffs))
        return fail(QStringLiteral("cannot make %1").arg(diffs));
    QStringList names = QDir(before).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    for (const QString& name : QDir(after).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
        if (!names.contains(name))
            names << name;
    names.sort();
    qint64 total = 0;
    for (const QString& name : std::as_const(names)) {
        const QImage a(QDir(before).filePath(name));
        const QImage b(QDir(after).filePath(name));
        if (a.isNull() || b.isNull()) {
            out() << name << "\tmissing in " << (a.isNull() ? before : after) << Qt::endl;
            total += 1;
            continue;
        }
        QImage marked;
        const qint64 differing = differingPixels(a, b, diffs.isEmpty() ? nullptr : &marked);
        if (differing > 0 && !marked.isNull())
            marked.save(QDir(diffs).filePath(name));
        out() << name << '\t' << differing << Qt::endl;
        total += differing;
    }
    out() << "total\t" << total << Qt::endl;
    return 0;
}

template <class T = QWidget>
T* child(const QObject* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

// The window as the screen shows it: with the windows that belong to it (a message over it)
// painted where they are, within their masks.
QImage onScreen(QWidget* window)
{
    QImage image = window->grab().toImage();
    QPainter painter(&image);
    for (QWidget* over : QApplication::topLevelWidgets()) {
        if (over == window || !over->isVisible() || !over->parentWidget() || over->parentWidget()->window() != window)
            continue;
        const QPoint at = window->mapFromGlobal(over->pos());
        painter.save();
        if (!over->mask().isEmpty())
            painter.setClipRegion(over->mask().translated(at));
        painter.drawPixmap(at, over->grab());
        painter.restore();
    }
    return image;
}

class Screens {
public:
    Screens(const QString& folder, const QString& prefix) : m_folder(folder), m_prefix(prefix) {}

    bool shoot(QWidget* window, const QString& state)
    {
        // Whatever was posted (layout, polish, repaints) lands before the picture is taken.
        QCoreApplication::processEvents();
        const QString path = QDir(m_folder).filePath(m_prefix + QLatin1Char('-') + state + QStringLiteral(".png"));
        if (!onScreen(window).save(path)) {
            fail(QStringLiteral("cannot write %1").arg(path));
            return false;
        }
        out() << path << Qt::endl;
        return true;
    }

private:
    QString m_folder;
    QString m_prefix;
};

bool step(bool done, const char* what)
{
    if (!done)
        fail(QStringLiteral("gave up waiting for %1").arg(QLatin1String(what)));
    return done;
}

int shootAll(const QString& folder)
{
    test::useOwnStateHome();
    QTemporaryDir files;
    const i18n::Language language = i18n::systemLanguage();
    i18n::installTranslation(language);
    i18n::installQtTranslation(language);
    ui::installFontSubstitutes();
    QApplication::setStyle(new ui::PictureStyle);
    qApp->setStyleSheet(ui::builtInStyleSheet());
    Screens screens(folder, language == i18n::Language::Chinese ? QStringLiteral("zh") : QStringLiteral("en"));

    emu::Testbed testbed;
    // The pointer stays off the windows, so that no control shows itself hovered where the
    // display happens to put it.
    QCursor::setPos(0, 0);
    MainWindow form;
    PairingWindow pairing(form.editor());
    form.setPairingWindow(&pairing);
    form.show();
    auto* readButton = child<QAbstractButton>(&form, "readButton");
    if (!step(test::waitFor([&] { return child<QWidget>(&form, "emptyHelp")->isVisible(); }), "the empty state"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("1-no-device")))
        return 1;

    emu::KeyModel model;
    model.name = QStringLiteral("Screens");
    model.serial = QStringLiteral("311400000002");
    model.keys = 6;
    model.wireless = true;
    emu::EmulatedDevice& device = testbed.add(model);
    device.setPairDelayMs(-1);
    device.setRecord(0, {0x03, 0x05, 0, 0, 0x00});  // Ctrl+Shift+B
    device.setRecord(1, {0x02, 0, 0, 0, 0x03});     // the right button, repeated
    const auto readDone = [&] {
        const auto* picker = child<QWidget>(&form, "keyPicker");
        return picker && picker->findChild<QWidget*>(QStringLiteral("keyItem5")) != nullptr && form.editor()->selected()
               && form.editor()->selected()->readComplete() && !form.editor()->busy() && readButton->isEnabled();
    };
    if (!step(test::waitFor(readDone), "the read"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("2-keyboard-page")))
        return 1;

    if (!step(test::waitFor([&] { return device.inputOpens() >= 2; }), "the device's input nodes"))
        return 1;
    device.pressKey(0, 50);
    if (!step(test::waitFor([&] { return !child<QLabel>(&form, "receivedText")->text().isEmpty(); }), "the press"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("3-tester")))
        return 1;

    QTest::mouseClick(child<QWidget>(&form, "mouseTab"), Qt::LeftButton);
    if (!step(test::waitFor([&] { return child<QWidget>(&form, "mousePage")->isVisible(); }), "the mouse page"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("4-mouse-page")))
        return 1;
    QTest::mouseClick(child<QWidget>(&form, "keyboardTab"), Qt::LeftButton);

    auto* popupOk = child<QAbstractButton>(&form, "okButton");
    form.saveKeyFile(QDir(files.path()).filePath(QStringLiteral("keys.json")));
    if (!step(test::waitFor([&] { return popupOk->isVisible(); }), "the saved file's message"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("5-message-saved")))
        return 1;
    QTest::mouseClick(popupOk, Qt::LeftButton);
    if (!step(test::waitFor([&] { return !popupOk->isVisible() && readButton->isEnabled(); }), "the message to close"))
        return 1;

    device.setFailWrites(true);
    QTest::mouseClick(child<QWidget>(&form, "writeButton"), Qt::LeftButton);
    if (!step(test::waitFor([&] { return popupOk->isVisible() && !form.editor()->busy(); }, 20000),
              "the failed write's message"))
        return 1;
    if (!screens.shoot(&form, QStringLiteral("6-message-write-failed")))
        return 1;
    QTest::mouseClick(popupOk, Qt::LeftButton);
    device.setFailWrites(false);

    QTest::mouseClick(child<QWidget>(&form, "pairingButton"), Qt::LeftButton);
    if (!step(test::waitFor([&] { return pairing.isVisible(); }), "the pairing window"))
        return 1;
    if (!screens.shoot(&pairing, QStringLiteral("7-pairing")))
        return 1;
    auto* messages = child<QPlainTextEdit>(&pairing, "messages");
    const QString before = messages->toPlainText();
    QTest::mouseClick(child<QWidget>(&pairing, "clearBindingsButton"), Qt::LeftButton);
    if (!step(test::waitFor([&] { return messages->toPlainText() != before && !form.editor()->busy(); }),
              "the pairing window's report"))
        return 1;
    if (!screens.shoot(&pairing, QStringLiteral("8-pairing-report")))
        return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if ((args.size() == 4 || args.size() == 5) && args[1] == QLatin1String("--compare"))
        return compare(args[2], args[3], args.value(4));
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-')))
        return fail(QStringLiteral("usage: tavrel-screens OUTDIR | --compare DIR_A DIR_B [DIFFS]"));
    if (!QDir().mkpath(args[1]))
        return fail(QStringLiteral("cannot make %1").arg(args[1]));
    return shootAll(args[1]);
}
