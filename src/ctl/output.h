#pragma once
// What tavrelctl prints: the device list, the keys of a device, the outcome of a write or a bind,
// the faults of a refused file, and a failure of the system as an exit code and a line. Pure
// functions of the values they are given.

#include "config/assignment.h"
#include "config/configfile.h"
#include "config/historyentry.h"
#include "config/reports.h"
#include "ctl/commandline.h"
#include "devices/devicecapabilities.h"
#include "platform/ioresult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <vector>

namespace tavrel::ctl {

// A device as `tavrelctl list` shows it.
struct ListedDevice {
    int index = 0;
    QString id;  // the device's interface: tells apart two devices with one serial
    QString product;
    QString serial;
    DeviceCapabilities capabilities;
    bool openable = true;
    QString accessError;          // why it may not be opened
    std::optional<int> keyCount;  // none when it did not answer
};

// The columns `text` takes on a terminal: two for an East Asian wide or fullwidth character,
// none for a combining mark, one for any other.
int displayWidth(QStringView text);

// What a device offers: "mouse buttons, trigger choice, pairing (capacity 4)", "keyboard only", or
// that its serial is not one Tavrel knows.
QString offersText(const DeviceCapabilities& capabilities);

// Every line of `tavrelctl list`: the devices that may be opened, then those that may not, with
// the fix.
QStringList listLines(const std::vector<ListedDevice>& devices);

// The fix for a device that this user may not open.
QString accessFix();

// `tavrelctl show`: one line per key, numbered from 1, with aligned columns:
// "1  Ctrl+Alt+A  single  05 04 00 00 00".
QStringList keyLines(std::span<const KeyRecord> records);

// "Programmable Key (SN:310000000001)".
QString deviceName(const QString& product, const QString& serial);

// Key indexes (0-based) as the user numbers them: "key 3", "keys 1, 2 and 5".
QString keysText(const QList<int>& keys);

// A receiver's answer to a bind request.
QString pairingText(const PairingResponse& response);

// A key an entry of the write history changed: "Key 3: Ctrl+Alt+A → Ctrl+Shift+B", with the
// triggers where they differ, and the raw records where the names are the same.
QString keyChangeText(const history::KeyWrite& change);

// `tavrelctl history` of one device: a heading naming it, then each entry, newest first (the
// entries are given oldest first), numbered from 1: its local time, what wrote it, and a line per
// key it changed.
QStringList historyLines(const history::HistoryDevice& device, const std::vector<history::HistoryEntry>& entries);

// `tavrelctl history --json`: one JSON object per entry and line, newest first, with the keys the
// entry changed, each record by assignment, trigger and bytes.
QStringList historyJsonLines(const history::HistoryDevice& device, const std::vector<history::HistoryEntry>& entries);

// "FILE:LINE: reason" for each fault listed, and "FILE: … and N more" for those past the cap.
QStringList fileErrorLines(const QString& file, const configfile::FileErrors& errors);

// A file that cannot be read or written: ExitBadFile and "FILE cannot be read: the reason", the
// reason put into words by fileFailureText (platform/filefailure.h), which tavrelctl's other
// failures of the system use too.
Failure fileReadFailure(const QString& file, const IoResult& result);
Failure fileWriteFailure(const QString& file, const IoResult& result);

}  // namespace tavrel::ctl
