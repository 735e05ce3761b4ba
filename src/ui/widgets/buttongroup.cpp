#include "ui/widgets/buttongroup.h"

#include <QAbstractButton>
#include <QButtonGroup>

namespace tavrel::ui {

void checkOnly(QButtonGroup* group, int id)
{
    if (QAbstractButton* button = group->button(id)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = group->checkedButton()) {
        group->setExclusive(false);
        checked->setChecked(false);
        group->setExclusive(true);
    }
}

}  // namespace tavrel::ui
