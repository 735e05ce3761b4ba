#pragma once
// The logging category of tavrelctl, tavrel.ctl: diagnostics on standard error beside the lines a
// command prints, never in place of them.

#include <QLoggingCategory>

namespace tavrel::ctl {

Q_DECLARE_LOGGING_CATEGORY(lcCtl)

}  // namespace tavrel::ctl
