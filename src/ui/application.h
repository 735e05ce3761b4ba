#pragma once

#include <QApplication>

namespace tavrel {

// Catches what an event handler throws, shows it in the error box and lets the program go on.
class TavrelApplication : public QApplication {
public:
    TavrelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tavrel
