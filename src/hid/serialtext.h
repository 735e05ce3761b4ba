#pragma once
// Which answer to the serial number request is a serial number.

#include <QString>
#include <optional>
#include <vector>

namespace tavrel {

// serial: the answer to the serial number request, nullopt when it failed. languageIds: string
// descriptor 0, nullopt when it could not be read. A device that answers the serial request with
// its language list, or whose language list cannot be read, has no serial: the result is empty.
// Otherwise the serial up to its first zero unit, at most 254 units.
QString serialNumberText(const std::optional<QString>& serial, const std::optional<std::vector<quint16>>& languageIds);

// A string as a device's 254-unit string buffer holds it: up to the first zero unit.
QString deviceStringText(const QString& text);

}  // namespace tavrel
