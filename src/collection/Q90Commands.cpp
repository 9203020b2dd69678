#include "collection/Q90Commands.h"

#include "collection/TfmComunicacao.h"
#include "collection/TfmDescarga.h"
#include "core/TdmzDados.h"
#include "platform/MessageService.h"

TfmComunica::Ingestor q90Ingestor(std::function<void()> showReview)
{
    TfmComunica::Ingestor ingestor;
    ingestor.ensureBackupFolder = [] { return Ingest::ensureBackupFolder(); };
    ingestor.convertAndIngest = [showReview](const QString &collector,
                                             const std::function<void(const QString &)> &log) {
        return Ingest(*TdmzDados::instance(), {log, showReview}).ConvertAndIngestQ90Listing(collector).complete();
    };
    return ingestor;
}

void installQ90Commands()
{
    const auto libraryCommand = [](void (TfmComunica::*command)()) {
        return [command](TfmComunicacao &dialog) {
            TfmComunica carrier([&dialog](const QString &line) { dialog.log(line); });
            QObject::connect(&carrier, &TfmComunica::closed, &dialog, &TfmComunicacao::startRelease);
            (carrier.*command)();
        };
    };
    TfmComunicacao::setQ90Commands(
        {libraryCommand(&TfmComunica::btStatusQ90Click),
         libraryCommand(&TfmComunica::btEnviaDHQ90Click),
         [](TfmComunicacao &dialog, const QString &collector) {
             TfmComunica carrier([&dialog](const QString &line) { dialog.log(line); });
             carrier.setCollector(collector);
             carrier.setIngestor(q90Ingestor([&dialog] {
                 TfmDescarga review(&dialog);
                 DialogRunner::exec(&review);
             }));
             carrier.btColetaQ90Click();
         }});
}
