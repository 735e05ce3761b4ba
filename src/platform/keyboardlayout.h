#pragma once
// The labels of the user's keyboard layout, from libxkbcommon: the X server's keymap and the
// group in use now, or a layout named as setxkbmap names it.

#include "keys/keylabels.h"

#include <QString>
#include <optional>

namespace tavrel::platform {

// The labels of the X server's keymap in its active group, read through a connection of its own
// to $DISPLAY; none without a display that offers the XKB extension.
std::optional<KeyLabels> displayKeyLabels();

// The labels of a layout given by name ("de", "fr", "us" with variant "dvorak"), from the XKB
// data on this machine; none when it has no such layout.
std::optional<KeyLabels> namedLayoutKeyLabels(const QString& layout, const QString& variant = {});

}  // namespace tavrel::platform
