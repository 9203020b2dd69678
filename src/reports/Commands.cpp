#include "reports/Commands.h"

#include "collection/TfmDescarga.h"
#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"
#include "reports/TfmPainel.h"
#include "reports/TfmRelCons1.h"
#include "reports/TfmRelDesc.h"
#include "reports/TfmRelDistancia.h"
#include "reports/TfmRelGeral.h"
#include "reports/TfmRelRealizado.h"
#include "reports/TfmRelRealizadoRot.h"
#include "reports/TfmRelcoletaroteiro.h"

namespace Reports {

void openConsistency(TfmQ90ini &window)
{
    TfmRelCons1 report(window.preselColetor, window.preselDescarga, &window);
    DialogRunner::exec(&report);
}

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    window.registerCommand("ConsistenciaClick", [w] { openConsistency(*w); });
    // The downloads by collector and by collaborator open the consistency report on the
    // download double-clicked, through the main window's preselection.
    const ConsistencyOpener preselected = [w](const QString &collector, const QDateTime &download) {
        w->preselColetor = collector;
        w->preselDescarga = download;
        openConsistency(*w);
    };
    window.registerCommand("Coletor1Click", [w, preselected] {
        TfmRelDescCol report(preselected, w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("Funcionrio1Click", [w, preselected] {
        TfmRelDescFun report(preselected, w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("Eventos2Click", [w] {
        TfmRelDescEve report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("Locais2Click", [w] {
        TfmRelDescLoc report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("PorColetor1Click", [w] {
        TfmRelRealizado report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("PorRoteiro1Click", [w] {
        TfmRelRealizadoRot report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("Geral1Click", [w] {
        TfmRelGeral report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("PorColetorRoteiro1Click", [w] {
        TfmRelcoletaroteiro report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("Distnciaspercorridas1Click", [w] {
        TfmRelDistancia report(w);
        DialogRunner::exec(&report);
    });
    window.registerCommand("PaineldoDia1Click", [w] {
        TfmPainel board(w);
        DialogRunner::exec(&board);
    });
    TfmDescarga::setConsistencyRunner(&TfmRelCons1::automaticCheck);
}

}  // namespace Reports
