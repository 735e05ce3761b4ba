#include "hid/hidlog.h"

namespace tavrel {

Q_LOGGING_CATEGORY(hidLog, "tavrel.hid", QtWarningMsg)

}  // namespace tavrel
