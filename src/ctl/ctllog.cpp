#include "ctl/ctllog.h"

namespace tavrel::ctl {

Q_LOGGING_CATEGORY(lcCtl, "tavrel.ctl", QtWarningMsg)

}  // namespace tavrel::ctl
