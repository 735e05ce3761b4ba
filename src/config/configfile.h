#pragma once
// The key configuration as a file a person can read and edit: JSON, one key per line, each with
// its number as the user sees it, its assignment by name, its trigger and its raw record, so that
// a restore writes back every byte the key held. A file is checked whole, and every fault is
// reported with its line, before anything reaches a device.

#include "config/assignment.h"

#include <QByteArray>
#include <QString>
#include <span>
#include <variant>
#include <vector>

namespace tavrel::configfile {

constexpr int FormatVersion = 1;
constexpr QLatin1StringView FormatName("tavrel-keys");
// Key numbers run from 1 to the table's slots.
constexpr int MaxKeys = KeySlots;
// A key file is a few kilobytes; anything far larger is not one, and is not read into memory.
constexpr qint64 MaxFileBytes = 1 << 20;

struct KeyEntry {
    int key = 0;         // 1 for the first key
    KeyRecord record;    // the bytes to write
    QString assignment;  // as the file names it
    int line = 0;        // where the entry is in the file
};

struct ConfigFile {
    int version = FormatVersion;
    QString serial;  // of the device the configuration was taken from
    QString product;
    std::vector<KeyEntry> keys;  // in the file's order, key numbers distinct
};

struct FileError {
    int line = 0;  // 1 for the first line
    QString reason;
    // Only in the last entry of a list cut at MaxFaults: how many faults it stands for, which
    // its reason counts ("… and N more"); it has no line.
    int unlisted = 0;
    friend bool operator==(const FileError&, const FileError&) = default;
};
using FileErrors = std::vector<FileError>;  // ordered by line

// A file can hold a fault in every few bytes; the first this many by line are listed, and one
// last entry counts the rest.
constexpr std::size_t MaxFaults = 100;

// How many faults `errors` stands for: the listed ones and those a last entry counts.
std::size_t faultCount(const FileErrors& errors);

// records[i] is key i + 1.
QByteArray serialize(std::span<const KeyRecord> records, const QString& serial, const QString& product);

// The file, or the faults found in it (at most MaxFaults listed, see there). `steps`, when
// given, gets the work the check took, in steps over the text's bytes and over the members it
// looked up: the tests check that it grows with the file's size, not faster.
std::variant<ConfigFile, FileErrors> parse(const QByteArray& text, std::size_t* steps = nullptr);

struct RestorePlan {
    std::vector<KeyEntry> write;    // by key number
    std::vector<KeyEntry> skipped;  // beyond the device's keys, left out as asked
};

// Whether the file's keys fit a device with `deviceKeyCount` keys (at most MaxKeys count). A key
// beyond them refuses the whole file, unless `allowTruncate` asks to write the keys that fit.
std::variant<RestorePlan, FileErrors> validateFor(const ConfigFile& file, int deviceKeyCount, bool allowTruncate);

}  // namespace tavrel::configfile
