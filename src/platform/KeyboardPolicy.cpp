#include "platform/KeyboardPolicy.h"

#include <QAbstractItemView>
#include <QEvent>

bool KeyboardPolicy::eventFilter(QObject *watched, QEvent *event)
{
    // Shown, not created: a window sets its grid's edit triggers after creating it.
    if (event->type() == QEvent::Show) {
        if (auto *view = qobject_cast<QAbstractItemView *>(watched);
            view && view->editTriggers() == QAbstractItemView::NoEditTriggers)
            view->setTabKeyNavigation(false);
    }
    return QObject::eventFilter(watched, event);
}
