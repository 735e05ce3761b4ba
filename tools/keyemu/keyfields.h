#pragma once
// The text forms of the emulator program: key descriptions such as
// "name=left,serial=311400000002,keys=6,wireless" and bytes written as two-digit hex groups.

#include "keyemu/emulateddevice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrel::emu {

// Fields: name, serial, keys (0..15), wireless (alone, or =1/=0), product, vid and pid (hex),
// descriptor (hex bytes). Unknown fields and bad values give nullopt and the reason in *error.
std::optional<KeyModel> parseKeyFields(const QString& fields, QString* error);

// "02 01 03 00 00 00 00 00"
QString hexBytes(const QByteArray& bytes);
// Hex bytes as groups of two digits, with or without spaces between them ("1A2B", "1A 2B").
std::optional<QByteArray> parseHexBytes(const QString& text);

}  // namespace tavrel::emu
