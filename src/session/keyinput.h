#pragma once
// What one attached device sends through its keyboard and mouse interfaces, while someone watches
// it: its input event devices, read on the event loop, and the presses and releases they report.
// The devices are found again whenever the session says input devices may have come or gone.

#include "config/inputdecoder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace tavrel {

namespace platform {
class InputEventReader;
class UdevContext;
}  // namespace platform

class KeyInput : public QObject {
    Q_OBJECT
public:
    // The device's hidraw interface at `syspath`; pollPeriodMs as HidDevice::setPollPeriod takes it.
    // Finds and opens its input devices at once.
    KeyInput(std::shared_ptr<platform::UdevContext> udev, QString syspath, int pollPeriodMs, QObject* parent = nullptr);
    ~KeyInput() override;

    // Opens the device's input devices that are not open yet, and lets go of those that have gone.
    void refind();
    // Lets go of every device at once.
    void stop();

    // The nodes read now.
    QStringList nodes() const;
    // Input devices of the device that could not be opened, and why the first could not.
    const QString& openError() const { return m_openError; }
    bool openDenied() const { return m_openDenied; }

signals:
    void received(const tavrel::InputChange& change);

private:
    struct Source {
        std::unique_ptr<platform::InputEventReader> reader;
        QString syspath;
    };
    void drop(int source);

    std::shared_ptr<platform::UdevContext> m_udev;
    QString m_syspath;
    int m_pollPeriod;
    // Indexed by the decoder's source number; an empty slot is free.
    std::vector<Source> m_sources;
    InputDecoder m_decoder;
    QString m_openError;
    bool m_openDenied = false;
};

}  // namespace tavrel
