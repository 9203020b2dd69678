#pragma once

#include <QCursor>
#include <QGuiApplication>

// Shows the busy mouse cursor for its lifetime, in a program with a screen; does nothing in
// torvelctl, which has none.
class BusyCursor {
public:
    BusyCursor()
    {
        m_active = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
        if (m_active)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_active = false;
};
