#include "ui/windowlog.h"

namespace tavrel {

Q_LOGGING_CATEGORY(lcWindow, "tavrel.window")

}  // namespace tavrel
