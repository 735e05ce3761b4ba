// Linked into a copy of the program (its own main) for the start-up benchmark: as soon as the
// first top-level window has painted, the process ends on the spot, so that what callgrind counts
// is exactly the start of the program up to the first painted window, without the event loop's
// idle turns or the tear-down.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class FirstPaint : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            const auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->isWindow()) {
                m_seen = true;
                // The paint event is delivered before this turn of the loop ends; the timer
                // fires after it has been drawn and flushed to the screen.
                QTimer::singleShot(0, [] {
                    std::fflush(nullptr);
                    std::_Exit(0);
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

void watchFirstPaint()
{
    QCoreApplication::instance()->installEventFilter(new FirstPaint(QCoreApplication::instance()));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(watchFirstPaint)
