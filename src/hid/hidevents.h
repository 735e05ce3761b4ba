#pragma once
// The handlers the device controller and its devices call. Each handler may be empty.

#include "hid/hidhandler.h"

#include <QtGlobal>

class QObject;

namespace tavrel {

class HidDevice;

// A scan changed the list of devices; `controller` is the controller that scanned.
using HidChangeHandler = Handler<void(QObject* controller)>;
// A device offered to the holder: `index` is its place in the controller's list; true: go on to
// the next device.
using HidOfferHandler = Handler<bool(HidDevice* device, int index)>;
// An input report: `data` points at the `size` bytes after the report ID; valid only during the
// call.
using HidReportHandler = Handler<void(HidDevice* device, quint8 reportId, const quint8* data, quint16 size)>;
// A read failed; `error` is its errno.
using HidReadErrorHandler = Handler<void(HidDevice* device, quint32 error)>;
// A device arrived, was removed or was unplugged.
using HidPlugHandler = Handler<void(HidDevice* device)>;

}  // namespace tavrel
