#include "ui/statedump.h"

#include "config/terminaltext.h"
#include "platform/privatefile.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"
#include "ui/errorbox.h"
#include "ui/mainwindow.h"
#include "ui/widgets/gradienttext.h"
#include "ui/widgets/keypicker.h"
#include "ui/widgets/keypickeritem.h"
#include "ui/widgets/messagepopup.h"
#include "ui/widgets/pictures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tavrel {

namespace {

// A device's product name or serial, a key's text or a window title may hold an escape sequence
// that a terminal would act on: every quoted value goes out as the command line writes such
// text, with its own backslashes doubled first so that each escape reads back one way.
QString escaped(QString text)
{
    return terminalSafe(text.replace(QLatin1Char('\\'), QLatin1String("\\\\")));
}

// What a widget shows, by kind.
QString content(QObject* o)
{
    if (auto* w = qobject_cast<QPlainTextEdit*>(o))
        return QStringLiteral(" text=\"%1\"").arg(escaped(w->toPlainText()));
    if (auto* w = qobject_cast<ui::GradientText*>(o))
        return QStringLiteral(" text=\"%1\"").arg(escaped(w->text()));
    if (auto* w = qobject_cast<QAbstractButton*>(o); w && w->property("picture").isValid())
        return QStringLiteral(" text=\"%1\" picture=%2").arg(escaped(w->text()), ui::shownPicture(w));
    if (auto* w = qobject_cast<ui::KeyPickerItem*>(o))
        return QStringLiteral(" picture=%1 selected=%2 received=%3")
            .arg(w->picture())
            .arg(w->isChecked())
            .arg(w->isReceived());
    if (auto* w = qobject_cast<QAbstractButton*>(o))
        return QStringLiteral(" text=\"%1\" checked=%2").arg(escaped(w->text())).arg(w->isChecked());
    if (auto* w = qobject_cast<ui::KeyPicker*>(o))
        return QStringLiteral(" index=%1 count=%2 received=%3")
            .arg(w->currentIndex())
            .arg(w->count())
            .arg(w->receivedIndex());
    if (auto* w = qobject_cast<QStackedWidget*>(o))
        return QStringLiteral(" index=%1").arg(w->currentIndex());
    if (auto* w = qobject_cast<ui::MessagePopup*>(o))
        return QStringLiteral(" open=%1 text=\"%2\"").arg(w->isOpen()).arg(escaped(w->text()));
    if (auto* w = qobject_cast<QLineEdit*>(o))
        return QStringLiteral(" text=\"%1\"").arg(escaped(w->text()));
    if (auto* w = qobject_cast<QLabel*>(o); w && w->property("picture").isValid())
        return QStringLiteral(" picture=%1").arg(ui::shownPicture(w));
    if (auto* w = qobject_cast<QLabel*>(o))
        return QStringLiteral(" text=\"%1\"").arg(escaped(w->text()));
    if (auto* w = qobject_cast<QProgressBar*>(o))
        return QStringLiteral(" value=%1").arg(w->value());
    return {};
}

void describe(QObject* o, const QString& window, QString& out)
{
    if (!o->objectName().isEmpty() && !o->objectName().startsWith(QLatin1String("qt_"))) {
        QString line = window + QLatin1Char('.') + o->objectName() + QLatin1Char(' ')
                       + QLatin1String(o->metaObject()->className());
        if (auto* w = qobject_cast<QWidget*>(o)) {
            // A window of another window (a message over it) has its place in that window, as
            // the widgets in it have.
            QRect g = w->geometry();
            if (w->isWindow() && w->parentWidget())
                g.moveTopLeft(w->parentWidget()->window()->mapFromGlobal(g.topLeft()));
            line += QStringLiteral(" visible=%1 shown=%2 enabled=%3 geometry=%4,%5,%6x%7")
                        .arg(w->isVisibleTo(w->parentWidget() ? w->parentWidget() : w))
                        .arg(w->isVisible())
                        .arg(w->isEnabled())
                        .arg(g.x())
                        .arg(g.y())
                        .arg(g.width())
                        .arg(g.height());
            if (w->isWindow())
                line +=
                    QStringLiteral(" title=\"%1\" active=%2").arg(escaped(w->windowTitle())).arg(w->isActiveWindow());
        }
        if (auto* t = qobject_cast<QTimer*>(o))
            line += QStringLiteral(" active=%1 interval=%2").arg(t->isActive()).arg(t->interval());
        out += line + content(o) + QLatin1Char('\n');
    }
    for (QObject* child : o->children())
        describe(child, window, out);
}

// What the main window's session and editor hold, which no widget shows whole.
void describeSession(const MainWindow& window, QString& out)
{
    const DeviceSession& s = *window.session();
    const DeviceEditor& e = *window.editor();
    // The countdown of a bind: only one receiver binds at a time.
    int countdown = 0;
    for (const AttachedDevice* device : s.devices())
        countdown = std::max(countdown, device->bindCountdown());
    out += QStringLiteral("session devices=%1 selected=%2 key=%3 keys=%4 busy=%5 capturing=%6 repolling=%7 "
                          "binding=%8 countdown=%9 logdropped=%10\n")
               .arg(s.devices().size())
               .arg(e.selectedIndex())
               .arg(e.selectedKey())
               .arg(e.shownKeys())
               .arg(e.busy())
               .arg(e.capturing())
               .arg(e.repolling())
               .arg(countdown > 0)
               .arg(countdown)
               .arg(s.logDropped());
    for (std::size_t i = 0; i < s.devices().size(); ++i)
        out += QStringLiteral("device index=%1 selected=%2 text=\"%3\"\n")
                   .arg(i)
                   .arg(int(i) == e.selectedIndex())
                   .arg(escaped(s.devices()[i]->itemText()));
    for (int k = 0; k < e.shownKeys(); ++k) {
        const auto& held = e.shownRecord(k);
        out += held ? QStringLiteral("record key=%1 bytes=\"%2\" text=\"%3\"\n")
                          .arg(k)
                          .arg(recordText(held->record), escaped(held->text))
                    : QStringLiteral("record key=%1 bytes=none\n").arg(k);
    }
    const DeviceEditor::CaptureTrace& capture = e.lastCapture();
    out += QStringLiteral("capture codes=\"%1\" trace=\"%2\"\n").arg(escaped(capture.codes), escaped(capture.trace));
    for (const QString& line : s.log())
        out += QStringLiteral("log text=\"%1\"\n").arg(escaped(line));
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

QString stateSnapshot()
{
    QString out;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName().isEmpty() && !qobject_cast<QMessageBox*>(top))
            continue;
        if (auto* box = qobject_cast<QMessageBox*>(top)) {
            if (box->isVisible())
                out += QStringLiteral("messagebox title=\"%1\" text=\"%2\"\n")
                           .arg(escaped(box->windowTitle()), escaped(box->text()));
            continue;
        }
        // A window of another window is described with that window's widgets.
        if (top->parentWidget())
            continue;
        describe(top, top->objectName(), out);
        if (auto* window = qobject_cast<MainWindow*>(top); window && window->session() && window->editor())
            describeSession(*window, out);
    }
    out += QStringLiteral("end\n");
    return out;
}

void writeStateSnapshot()
{
    const QByteArray text = stateSnapshot().toUtf8();
    const QString path = qEnvironmentVariable("TAVREL_STATE_DUMP");
    if (path.isEmpty()) {
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
        std::fflush(stderr);
        return;
    }
    const IoResult outcome = platform::writePrivateFile(QFile::encodeName(path).toStdString(), text);
    // Once is enough: the reason holds for every later signal as well.
    static bool told = false;
    if (!outcome.ok() && !told) {
        told = true;
        const QByteArray line = QCoreApplication::translate("tavrel::StateDump", "tavrel：状态快照未写入%1：%2")
                                    .arg(path, failureText(outcome))
                                    .toLocal8Bit()
                                + '\n';
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
        std::fflush(stderr);
    }
}

void installStateDump()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char buffer[16];
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], buffer, sizeof buffer);
        writeStateSnapshot();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

}  // namespace tavrel
