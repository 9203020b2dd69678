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
