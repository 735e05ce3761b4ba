#pragma once
// The device controller's event types. Each handler may be empty.

#include "hid/hidhandler.h"

#include <QtGlobal>

class QObject;

namespace tavrel {

class THidDevice;

// Sender is the controller.
using TNotifyEvent = Handler<void(QObject* Sender)>;
// Idx is the device's index in the controller's list; true: go on to the next device.
using THidEnumerateEvent = Handler<bool(THidDevice* HidDev, int Idx)>;
// Data points at the Size bytes after the report ID; valid only during the call.
using THidDataEvent = Handler<void(THidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size)>;
// Error is the errno of the failed read.
using THidDataErrorEvent = Handler<void(THidDevice* HidDev, quint32 Error)>;
using THidPlugEvent = Handler<void(THidDevice* HidDev)>;

}  // namespace tavrel
