#include "platform/platformlog.h"

namespace tavrel::platform {

Q_LOGGING_CATEGORY(lcPlatform, "tavrel.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHook, "tavrel.hook", QtWarningMsg)

}  // namespace tavrel::platform
