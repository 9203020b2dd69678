#pragma once

#include "platform/MessageService.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;

// The main window: menu bar, shortcut tiles, status bar with the user and a clock. Every menu
// item and tile names its handler (the same name for both); the handler runs the command that
// the program's modules registered under that name. Items whose command no module registered
// stay disabled.
class TfmQ90ini : public QMainWindow {
    Q_OBJECT
public:
    using Command = std::function<void()>;

    explicit TfmQ90ini(QWidget *parent = nullptr);

    // The start-up steps of the window: caption, login, menu gating, status bar. False when
    // the login did not end with OK; the caller then ends the program.
    bool FormCreate();

    // Makes `handler` run `command`; enables its menu items (where permissions allow) and its
    // tile.
    void registerCommand(const QString &handler, Command command);
    // Makes `handler` open the dialog `Window`, made with `args` and then this window as its
    // parent, and wait for it to close.
    template <class Window, class... Args>
    void registerDialog(const QString &handler, Args... args)
    {
        registerCommand(handler, [this, args...] {
            Window dialog(args..., this);
            DialogRunner::exec(&dialog);
        });
    }
    bool hasCommand(const QString &handler) const { return m_commands.contains(handler); }
    // Runs the command of `handler`. A database or other error the command does not catch is
    // shown in an error box and ends only that command.
    void run(const QString &handler);

    // Enables the gated menus from a user's permission flags (enabled when exactly 0).
    void applyPermissions(const QMap<QString, int> &flags);

    QAction *action(const QString &handler) const;
    QMenu *menu(const QString &name) const;
    QToolButton *tile(const QString &caption) const;
    QList<QToolButton *> tiles() const { return m_tiles; }
    QString statusText(int panel) const;

    // Consistency preselection: the collector and download with which the consistency report
    // opens pre-filtered; an empty collector means none.
    QString preselColetor;
    QDateTime preselDescarga;

public Q_SLOTS:
    void Timer1Timer();
    void SairClick();
    void Sobre1Click();
    void Configuraes1Click();
    void TORVEL1Click();
    void bringToFront();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildTiles();
    QAction *addItem(QMenu *menu, const QString &caption, const QString &handler);
    QMenu *addMenu(QMenu *parent, const QString &caption, const QString &name);
    void updateEnabled();

    QHash<QString, Command> m_commands;
    QHash<QString, QMenu *> m_menus;
    QHash<QString, bool> m_menuAllowed;  // gated menus by permission
    QList<QAction *> m_actions;
    QList<QToolButton *> m_tiles;
    QLabel *m_panels[3] = {};
    QLabel *m_copyPanel = nullptr;  // when the last copy of the database was made
    QTimer *m_clock = nullptr;
    bool m_exitConfirmed = false;
};
