#pragma once
// The logging categories of the platform layer: tavrel.platform for the system's files, shared
// memory and devices, tavrel.hook for the hook library and its messages. Off below warnings until
// QT_LOGGING_RULES turns them on.

#include <QLoggingCategory>

namespace tavrel::platform {

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcHook)

}  // namespace tavrel::platform
