// Stand-in until the main window lands.
#include <QLabel>

namespace tavrel {
QWidget* createMainWindow()
{
    auto* label = new QLabel(QStringLiteral("Tavrel"));
    label->setWindowTitle(QStringLiteral("Tavrel"));
    label->resize(926, 669);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
}  // namespace tavrel
