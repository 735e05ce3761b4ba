#pragma once

class QButtonGroup;

namespace tavrel::ui {

// Checks the group's button with `id`, or none where no button has it (an exclusive group keeps
// its checked button otherwise).
void checkOnly(QButtonGroup* group, int id);

}  // namespace tavrel::ui
