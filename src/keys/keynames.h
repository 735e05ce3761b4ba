#pragma once
// The fixed vocabulary between key names and HID keyboard usages (page 0x07).

#include <QString>
#include <span>

namespace tavrel {

struct KeyName {
    const char* name;
    int usage;
};

// All 104 names, in usage order.
std::span<const KeyName> keyNameTable();

// The name bound to a usage, or "" for a usage the table does not hold.
QString keyNameForUsage(int usage);

// The text of the modifiers set in a mask; bit n stands for usage 224 + n.
// Order shown: Ctrl, Alt, Shift, Left Windows, Right Ctrl, Right Alt, Right Shift, Right Windows.
QString modifierNamesForMask(quint8 mask);

// The usage bound to a name, or 0 for a name the table does not hold.
int usageForName(const QString& name);

constexpr int FirstModifierUsage = 224;
constexpr int LastModifierUsage = 231;

// The modifier byte's bit for a modifier's usage (Left Ctrl 0x01 … Right GUI 0x80); 0 for any
// other usage.
constexpr quint8 modifierBit(int usage)
{
    return usage >= FirstModifierUsage && usage <= LastModifierUsage ? quint8(1u << (usage - FirstModifierUsage))
                                                                     : quint8(0);
}

}  // namespace tavrel
