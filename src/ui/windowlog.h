#pragma once
// The logging category of the windows, tavrel.window: what the window could not do that the user
// is not told of in a box (a second start not told from the first, capture that is off).

#include <QLoggingCategory>

namespace tavrel {

Q_DECLARE_LOGGING_CATEGORY(lcWindow)

}  // namespace tavrel
