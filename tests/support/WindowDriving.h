#pragma once

// Driving the program's windows as a user does: choosing in a search list, and keeping a
// picture of a window to look at.
#include "platform/MessageService.h"
#include "core/db/DataSet.h"
#include "registries/SearchList.h"

#include <QLineEdit>

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace WindowDriving {

// A search list answered by typing `search` into its search box (where it has one) and
// choosing the row the list then stands on.
inline ScriptedDialogRunner::Player pick(const QString &search)
{
    return [search](QDialog *dlg) {
        auto *list = qobject_cast<TfmListaBase *>(dlg);
        if (list->edPesquisa)
            list->edPesquisa->setText(search);
        list->choose();
        return list->result();
    };
}

// A search list answered by choosing the row whose `field` holds `value`.
inline ScriptedDialogRunner::Player pickWhere(const char *field, const QString &value)
{
    return [field, value](QDialog *dlg) {
        auto *list = qobject_cast<TfmListaBase *>(dlg);
        list->query().locate(field, value);
        list->choose();
        return list->result();
    };
}

// A search list left standing on the row whose `field` holds `value` and accepted, without
// going through its own choosing.
inline ScriptedDialogRunner::Player acceptWhere(const char *field, const QString &value)
{
    return [field, value](QDialog *dlg) {
        static_cast<TfmListaBase *>(dlg)->query().locate(field, value);
        return int(QDialog::Accepted);
    };
}

// Runs `click` while the dialog of class `dialog` is answered by `player`: true when that dialog,
// and no other, came up.
template <class Click>
bool answered(const QString &dialog, ScriptedDialogRunner::Player player, Click click)
{
    ScriptedDialogRunner runner;
    runner.expect(dialog, std::move(player));
    click();
    return runner.problems().isEmpty();
}

// With TORVEL_SCREENSHOTS set, the window as the user sees it goes to that folder as PNG.
inline void snapshot(QWidget &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("TORVEL_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    window.show();
    QCoreApplication::processEvents();
    window.grab().save(folder + '/' + name + ".png");
}

}  // namespace WindowDriving
