#pragma once
// The logging categories of the session: tavrel.session for the devices it opens and writes,
// tavrel.sharing for what Tavrel programs leave each other, tavrel.keyinput for the input event
// devices a tester reads.

#include <QLoggingCategory>

namespace tavrel {

Q_DECLARE_LOGGING_CATEGORY(lcSession)
Q_DECLARE_LOGGING_CATEGORY(lcSharing)
Q_DECLARE_LOGGING_CATEGORY(lcKeyInput)

}  // namespace tavrel
