#pragma once
// The device layer's log: nodes opened, failed and gone, and listings that failed. Only warnings
// show unless QT_LOGGING_RULES asks for more ("tavrel.hid.info=true"), so that tavrelctl's
// standard error carries its own messages alone.

#include <QLoggingCategory>

namespace tavrel {

Q_DECLARE_LOGGING_CATEGORY(hidLog)

}  // namespace tavrel
