// The day's board without its window: the cycles as text, the printed board, or a picture of
// every cycle's timeline.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "platform/Report.h"
#include "reports/RoundTimeline.h"
#include "reports/RoundsBoard.h"

#include <QDir>
#include <QFileInfo>

namespace {

int writePictures(const RoundsBoard &board, const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir()) {
        Cli::printError(QStringLiteral("--png: a pasta %1 não existe").arg(folder));
        return 1;
    }
    for (const BoardCycle &cycle : board.cycles()) {
        // A collector code is no path: a slash in it would name another folder.
        QString name = cycle.collector.trimmed();
        name.replace(u'/', u'_');
        const QString path = QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(name).arg(cycle.number()));
        QString error;
        if (!RoundTimeline::writePng(timelineOf(cycle), path, &error)) {
            Cli::printError(error);
            return 1;
        }
    }
    return 0;
}

int runBoard(const Cli::Options &options)
{
    const int outputs = int(options.has("tsv")) + int(options.has("pdf")) + int(options.has("png"));
    if (outputs != 1) {
        Cli::printError(QStringLiteral("Informe uma saída: --tsv, --pdf ARQUIVO ou --png PASTA"));
        return 2;
    }
    if (!options.has("day")) {
        Cli::printError(QStringLiteral("Informe o dia: --day dd/mm/aaaa"));
        return 2;
    }
    QString error;
    const auto day = RoundsBoard::readDay(options.value("day"), QStringLiteral("--day"), &error);
    if (!day) {
        Cli::printError(error);
        return 1;
    }
    if (!Cli::connect(options))
        return 1;
    TdmzDados &dm = *TdmzDados::instance();
    try {
        RoundsBoard board(dm);
        board.build(*day, options.value("collector"));
        if (board.collectors().isEmpty()) {
            Cli::printError(board.noTouchesText());
            return 0;
        }
        if (board.cycles().empty())
            Cli::printError(QStringLiteral("Nenhum ciclo em %1.").arg(day->toString(QStringLiteral("dd/MM/yyyy"))));
        if (options.has("tsv")) {
            for (const BoardCycle &cycle : board.cycles())
                Cli::printOut(cycle.fields().join(u'\t'));
            return 0;
        }
        if (options.has("png"))
            return writePictures(board, options.value("png"));
        ReportDefinition definition = board.report(dm.installationName());
        definition.printWhenEmpty = true;
        if (!ReportRenderer(definition, board.reportRows()).writePdf(options.value("pdf"), &error)) {
            Cli::printError(error);
            return 1;
        }
        return 0;
    } catch (const DbError &e) {
        Cli::printError(e.text());
        return 1;
    }
}

}  // namespace

void registerBoardCommands()
{
    Cli::add({"board",
              "--day dd/mm/aaaa [--collector CÓDIGO] (--tsv | --pdf ARQUIVO | --png PASTA)",
              "Painel do dia: os ciclos de cada coletor do dia (de 00:00:00 a 23:59:59), pela "
              "análise de consistência de cada coletor. --tsv lista uma linha por ciclo, por "
              "roteiro, coletor e ciclo: roteiro, coletor, ciclo, início, fim, situação "
              "(Incompleta, Fora de ordem, Fora do tempo, Correta), locais previstos, visitados, "
              "não visitados e intervalos fora do tempo, separados por tabulação. --pdf grava o "
              "painel e as linhas do tempo de cada roteiro e coletor; --png grava uma figura por "
              "ciclo na pasta, <coletor>-<ciclo>.png. Um dia sem toques é dito na saída de erros.",
              {{"day", 1}, {"collector", 1}, {"tsv", 0}, {"pdf", 1}, {"png", 1}},
              runBoard});
}
