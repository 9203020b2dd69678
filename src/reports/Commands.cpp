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
    window.registerDialog<TfmRelDescCol>("Coletor1Click", preselected);
    window.registerDialog<TfmRelDescFun>("Funcionrio1Click", preselected);
    window.registerDialog<TfmRelDescEve>("Eventos2Click");
    window.registerDialog<TfmRelDescLoc>("Locais2Click");
    window.registerDialog<TfmRelRealizado>("PorColetor1Click");
    window.registerDialog<TfmRelRealizadoRot>("PorRoteiro1Click");
    window.registerDialog<TfmRelGeral>("Geral1Click");
    window.registerDialog<TfmRelcoletaroteiro>("PorColetorRoteiro1Click");
    window.registerDialog<TfmRelDistancia>("Distnciaspercorridas1Click");
    window.registerDialog<TfmPainel>("PaineldoDia1Click");
    TfmDescarga::setConsistencyRunner(&TfmRelCons1::automaticCheck);
}

}  // namespace Reports
