#include "platform/WindowMemory.h"

#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace {

const char *const kRestored = "torvelGeometryRestored";

bool remembered(const QWidget *w)
{
    if (!w->isWindow() || (!qobject_cast<const QDialog *>(w) && !qobject_cast<const QMainWindow *>(w)))
        return false;
    if (qobject_cast<const QMessageBox *>(w) || qobject_cast<const QProgressDialog *>(w))
        return false;
    const Qt::WindowType type = w->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen)
        return false;
    return !(w->windowFlags() & Qt::FramelessWindowHint);
}

QString key(const QWidget *w)
{
    return QString::fromLatin1(w->metaObject()->className()) + QStringLiteral("/geometria");
}

}  // namespace

WindowMemory::WindowMemory(QObject *parent) : QObject(parent) {}

QString WindowMemory::fileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/torvel/janelas.ini");
}

bool WindowMemory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !remembered(w))
        return false;
    QSettings settings(fileName(), QSettings::IniFormat);
    if (event->type() == QEvent::Show) {
        if (!w->property(kRestored).toBool()) {
            w->setProperty(kRestored, true);
            const QByteArray geometry = settings.value(key(w)).toByteArray();
            if (!geometry.isEmpty())
                w->restoreGeometry(geometry);
        }
    } else if (w->property(kRestored).toBool()) {
        settings.setValue(key(w), w->saveGeometry());
    }
    return false;
}
