#include "listings/Commands.h"

#include "core/TfmQ90ini.h"
#include "listings/RegistryListings.h"
#include "listings/TfmExporta.h"
#include "listings/TfmExportaJornal.h"
#include "listings/TfmRelRot.h"
#include "platform/MessageService.h"

namespace Listings {

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    window.registerDialog<TfmExporta>("Exportarregistrodepontos1Click");
    window.registerDialog<TfmExportaJornal>("Exportarcoletasdejornais1Click");
    // The registries' listings ask nothing: each goes straight to its spreadsheet or preview.
    const QList<std::pair<const char *, RegistryListing>> listings = {
        {"Coletores2Click", RegistryListing::Collectors},   {"Memrias2Click", RegistryListing::Identifiers},
        {"Funcionrios1Click", RegistryListing::Collaborators}, {"Eventos1Click", RegistryListing::Events},
        {"Locais1Click", RegistryListing::Locations},       {"Funces1Click", RegistryListing::Functions},
        {"Distncias1Click", RegistryListing::Distances}};
    for (const auto &[handler, listing] : listings)
        window.registerCommand(handler, [w, listing = listing] { RegistryListings::open(listing, w); });
    window.registerDialog<TfmRelRot>("Roteiros1Click");
}

}  // namespace Listings
