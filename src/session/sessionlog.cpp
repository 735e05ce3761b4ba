#include "session/sessionlog.h"

namespace tavrel {

Q_LOGGING_CATEGORY(lcSession, "tavrel.session", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSharing, "tavrel.sharing")
Q_LOGGING_CATEGORY(lcKeyInput, "tavrel.keyinput", QtWarningMsg)

}  // namespace tavrel
