#pragma once

// A collection started from the communication window as the user starts one.
#include "collection/TfmComunicacao.h"
#include "platform/MessageService.h"

#include <QDialog>
#include <QStringList>

// Chooses `model`, presses "Coletar" and accepts the download window that follows. What went
// otherwise (another dialog, or none): empty when the collection ran as the user would see it.
inline QStringList collectThroughWindow(TfmComunicacao::Model model)
{
    ScriptedDialogRunner dialogs;
    dialogs.expect("TfmDescarga", [](QDialog *) { return int(QDialog::Accepted); });
    TfmComunicacao d;
    d.setModel(model);
    d.btColetarclick();
    return dialogs.problems();
}
