// The registries' listings and the route listing without their windows: the rows as text, the
// printed report as a PDF, or the spreadsheet, from the engines the menu commands use.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "listings/RegistryListings.h"
#include "listings/RouteListing.h"

namespace {

int fail(const QString &text)
{
    Cli::printError(text);
    return 1;
}

int writePdf(const Listing &listing, const QString &path)
{
    if (listing.renderer(TdmzDados::instance()->installationName()).isEmpty())
        return fail(QString::fromUtf8("Não há registros: o relatório não tem páginas"));
    QString error;
    if (!listing.writePdf(TdmzDados::instance()->installationName(), path, &error))
        return fail(error);
    return 0;
}

int registry(const Cli::Options &options, TdmzDados &dm, RegistryListing which)
{
    if (options.has("route"))
        return fail(QString::fromUtf8("A listagem %1 não aceita --route").arg(RegistryListings::name(which)));
    if (options.has("xlsx") && !RegistryListings::hasSpreadsheet(which))
        return fail(QString::fromUtf8("A listagem de distâncias só é impressa: use --pdf ou --tsv"));
    const Listing listing = RegistryListings(dm).run(which);
    if (options.has("pdf"))
        return writePdf(listing, options.value("pdf"));
    // The spreadsheet goes to the file asked for (Cli::run).
    if (options.has("xlsx"))
        return listing.writeSpreadsheet() ? 0 : 1;
    for (const QString &line : listing.tsv())
        Cli::printOut(line);
    return 0;
}

int routes(const Cli::Options &options, TdmzDados &dm)
{
    QVariant code;
    if (options.has("route")) {
        const std::optional<int> number = Cli::routeCode(options.value("route"));
        if (!number)
            return 1;
        if (dm.CountByField(QString::number(*number), QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros")) <= 0)
            return fail(QString::fromUtf8("Roteiro não cadastrado!"));
        code = *number;
    }
    const QList<ListedRoute> list = RouteListing(dm).routes(code);
    if (options.has("pdf"))
        return writePdf(RouteListing::printed(list, options.has("one-per-page")), options.value("pdf"));
    if (options.has("xlsx"))
        return RouteListing::writeSpreadsheet(list) ? 0 : 1;
    for (const QString &line : RouteListing::tsv(list))
        Cli::printOut(line);
    return 0;
}

int runListing(const Cli::Options &options)
{
    const QStringList known = RegistryListings::names() << QStringLiteral("routes");
    if (options.positional.size() != 1)
        return fail(QString::fromUtf8("Informe a listagem: %1").arg(known.join(", ")));
    const QString name = options.positional.first();
    if (!known.contains(name))
        return fail(QString::fromUtf8("Listagem desconhecida: %1").arg(name));
    if (int(options.has("tsv")) + int(options.has("pdf")) + int(options.has("xlsx")) > 1)
        return fail(QString::fromUtf8("Escolha uma saída: --tsv, --pdf ou --xlsx"));
    if (name != QLatin1String("routes") && options.has("one-per-page"))
        return fail(QString::fromUtf8("A listagem %1 não aceita --one-per-page").arg(name));
    if (!Cli::connect(options))
        return 1;
    TdmzDados &dm = *TdmzDados::instance();
    try {
        if (name == QLatin1String("routes"))
            return routes(options, dm);
        return registry(options, dm, *RegistryListings::named(name));
    } catch (const DbError &e) {
        return fail(e.text());
    }
}

}  // namespace

void registerListingCommands()
{
    Cli::add({"listing",
              "NOME [--route CÓDIGO] [--one-per-page] [--tsv | --pdf ARQUIVO | --xlsx ARQUIVO]",
              QString::fromUtf8(
                  "Listagens dos cadastros: collectors, identifiers, collaborators, events, locations, "
                  "functions, distances (só impressa) e routes. Sem --pdf nem --xlsx, lista as linhas, "
                  "campos separados por tabulação.\n"
                  "      routes [--route CÓDIGO] [--one-per-page]: um roteiro só; cada roteiro em sua folha"),
              {{"route", 1}, {"one-per-page", 0}, {"tsv", 0}, {"pdf", 1}, {"xlsx", 1}},
              runListing});
}
