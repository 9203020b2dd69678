#pragma once

#include <QObject>
#include <QString>

// Every window comes back where the user left it: its size and position (and the main window's
// maximised state) are kept per user and per window class, outside TORVEL.INI, in
// `torvel/janelas.ini` of the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
// Installed once on the application as an event filter: a window is restored when it is first
// shown and remembered when it is hidden. Message boxes, progress boxes, popups, the splash and
// frameless panels keep the place Qt gives them.
class WindowMemory : public QObject {
    Q_OBJECT
public:
    explicit WindowMemory(QObject *parent = nullptr);
    // The file the geometries are kept in.
    static QString fileName();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
