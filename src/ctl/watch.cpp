#include "ctl/watch.h"

#include "config/assignment.h"
#include "ctl/ctllog.h"
#include "ctl/sessiondriver.h"
#include "keys/keynames.h"
#include "platform/interruptsignals.h"
#include "session/keyinput.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTextStream>

namespace tavrel::ctl {

QString sentName(const SentInput& input)
{
    const InputNames names{
        [](int usage) { return keyNameForUsage(usage); },
        [](quint8 button) {
            return assignmentText(KeyRecord{button, 0, 0, 0, ModeMouseSingle});
        },
        [](quint16 code) { return QStringLiteral("code:%1").arg(code); },
    };
    return sentInputText(input, names);
}

QString watchLine(const InputChange& change, int key, bool json)
{
    const bool press = change.kind == InputChange::Kind::Press;
    const QString sent = sentName(change.input);
    if (json) {
        QJsonObject line{{QStringLiteral("event"), press ? QStringLiteral("press") : QStringLiteral("release")},
                         {QStringLiteral("input"), sent},
                         {QStringLiteral("repeat"), change.presses},
                         {QStringLiteral("key"), key >= 0 ? QJsonValue(key + 1) : QJsonValue()}};
        return QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
    }
    const QString number = QString::number(key + 1);
    const QString count = QString::number(change.presses);
    if (!change.repeated() && press) {
        return key >= 0 ? QCoreApplication::translate("tavrelctl", "Pressed: %1 (key %2)").arg(sent, number)
                        : QCoreApplication::translate("tavrelctl", "Pressed: %1").arg(sent);
    }
    if (!change.repeated()) {
        return key >= 0 ? QCoreApplication::translate("tavrelctl", "Released: %1 (key %2)").arg(sent, number)
                        : QCoreApplication::translate("tavrelctl", "Released: %1").arg(sent);
    }
    if (press) {
        return key >= 0 ? QCoreApplication::translate("tavrelctl", "Pressed: %1, repeat %2 (key %3)")
                              .arg(sent, count, number)
                        : QCoreApplication::translate("tavrelctl", "Pressed: %1, repeat %2").arg(sent, count);
    }
    return key >= 0
               ? QCoreApplication::translate("tavrelctl", "Released: %1, repeat %2 (key %3)").arg(sent, count, number)
               : QCoreApplication::translate("tavrelctl", "Released: %1, repeat %2").arg(sent, count);
}

std::optional<Failure> watchDevice(AttachedDevice* device, SessionDriver& driver, bool json, QTextStream& out,
                                   QTextStream& err)
{
    const QString name = SessionDriver::nameOf(device);
    // The assignments first: they tell which key sends what arrives.
    if (auto failure = driver.read(device))
        return failure;
    const QPointer<AttachedDevice> watched(device);
    driver.session().watchInput(device);
    const KeyInput* input = device->input();
    if (!input || input->nodes().isEmpty()) {
        if (input && input->openDenied()) {
            return Failure(ExitPermissionDenied,
                           QCoreApplication::translate("tavrelctl",
                                                       "Permission denied: the keyboard and mouse of %1 may "
                                                       "not be read (%2). Install the udev rule, then unplug "
                                                       "and replug the device.")
                               .arg(name, input->openError()));
        }
        return Failure(ExitDeviceFailed,
                       QCoreApplication::translate("tavrelctl", "%1 has no keyboard or mouse to watch.").arg(name));
    }

    platform::InterruptSignals interrupt;
    if (!interrupt.active())
        qCWarning(lcCtl) << "Interrupts are not heard: Ctrl+C ends the watch without letting go of the device first.";
    bool interrupted = false;
    QEventLoop loop;
    QObject context;
    const auto over = [&] { return interrupted || !watched || watched->gone(); };
    QObject::connect(&interrupt, &platform::InterruptSignals::interrupted, &loop, [&] {
        interrupted = true;
        loop.quit();
    });
    // An unplugged device is gone once udev's removal has reached the session.
    QObject::connect(&driver.session(), &DeviceSession::devicesChanged, &loop, [&] {
        if (over())
            loop.quit();
    });
    QObject::connect(device, &AttachedDevice::inputReceived, &context, [&](const InputChange& change, int k) {
        out << watchLine(change, k, json) << '\n';
        out.flush();
    });
    // Another program wrote the device: the records it holds now tell which key sends what.
    QObject::connect(device, &AttachedDevice::recordChanged, &context, [&](int k) {
        const auto& held = watched->assignments().at(k);
        if (!held)
            return;
        err << QCoreApplication::translate("tavrelctl", "Key %1 of %2 was written by another program: %3.")
                   .arg(QString::number(k + 1), name, assignmentText(held->record))
            << '\n';
        err.flush();
    });
    err << QCoreApplication::translate("tavrelctl", "Watching %1: press its keys; Ctrl+C ends.").arg(name) << '\n';
    err.flush();
    if (!over())
        loop.exec();
    if (!interrupted)
        return SessionDriver::unplugged(name);
    return std::nullopt;
}

}  // namespace tavrel::ctl
