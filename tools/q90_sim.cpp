// A simulated Q90 terminal with its interface, on a pseudo-terminal pair: prints the device to
// give as PORTACOM (in TORVEL.INI, section COM, or torvelctl q90 --port) and answers until
// interrupted.
//   torvel-q90sim [--registros 2000|4000] [--toques ARQUIVO | --gerar N] [--endereco 0x0020]
//                 [--codigo 10HEX] [--bateria-baixa] [--ritmo [--baud 1200]] [--link CAMINHO]
//                 [--sem-eco] [--silencio N|-1] [--corromper N] [--lixo] [--bloco-curto 0xADDR]
//                 [--modelo 0xCODE] [--registros-informados N]
// Touches are lines "CÓDIGO dd/mm/aaaa hh:mm[:ss]", from ARQUIVO ("-" for standard input).
#include "collection/terminals/Q90Simulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_signalPipe[2];

void onSignal(int) { (void)!::write(g_signalPipe[1], "x", 1); }

int number(const QString &text, bool *ok) { return text.toInt(ok, 0); }

int usage()
{
    std::fprintf(stderr,
                 "uso: torvel-q90sim [--registros 2000|4000] [--toques ARQUIVO | --gerar N]\n"
                 "       [--endereco 0x0020] [--codigo 10HEX] [--bateria-baixa] [--ritmo]\n"
                 "       [--baud 1200] [--link CAMINHO] [--sem-eco] [--silencio N] [--corromper N]\n"
                 "       [--lixo] [--bloco-curto 0xENDERECO] [--modelo 0xCODIGO]\n"
                 "       [--registros-informados N]\n");
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    int capacity = 2000, generate = 0, baud = 1200, told = -1;
    uint16_t first = Q90::kFirstBlock;
    bool pace = false, batteryLow = false;
    QString touchesFile, code = QStringLiteral("0000001234"), link;
    Q90Simulator::Faults faults;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == "--registros" && hasValue) capacity = number(args[++i], &ok);
        else if (a == "--toques" && hasValue) touchesFile = args[++i];
        else if (a == "--gerar" && hasValue) generate = number(args[++i], &ok);
        else if (a == "--endereco" && hasValue) first = uint16_t(number(args[++i], &ok));
        else if (a == "--codigo" && hasValue) code = args[++i];
        else if (a == "--bateria-baixa") batteryLow = true;
        else if (a == "--ritmo") pace = true;
        else if (a == "--baud" && hasValue) baud = number(args[++i], &ok);
        else if (a == "--link" && hasValue) link = args[++i];
        else if (a == "--sem-eco") faults.echo = false;
        else if (a == "--silencio" && hasValue) faults.silent = number(args[++i], &ok);
        else if (a == "--corromper" && hasValue) faults.corrupt = number(args[++i], &ok);
        else if (a == "--lixo") faults.garbage = true;
        else if (a == "--bloco-curto" && hasValue) faults.shortBlocks.insert(number(args[++i], &ok));
        else if (a == "--modelo" && hasValue) faults.modelCode = number(args[++i], &ok);
        else if (a == "--registros-informados" && hasValue) told = number(args[++i], &ok);
        else return usage();
        if (!ok)
            return usage();
    }
    if (capacity != 2000 && capacity != 4000)
        return usage();

    QList<TerminalSimulator::Touch> touches;
    if (!touchesFile.isEmpty()) {
        QFile in;
        const bool opened = touchesFile == "-" ? in.open(stdin, QIODevice::ReadOnly | QIODevice::Text)
                                               : (in.setFileName(touchesFile),
                                                  in.open(QIODevice::ReadOnly | QIODevice::Text));
        if (!opened) {
            std::fprintf(stderr, "Não foi possível ler %s\n", qPrintable(touchesFile));
            return 1;
        }
        QStringList lines, errors;
        while (!in.atEnd())
            lines << QString::fromUtf8(in.readLine());
        touches = TerminalSimulator::parseTouches(lines, &errors);
        for (const QString &e : errors)
            std::fprintf(stderr, "Linha ignorada, %s\n", qPrintable(e));
    }
    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < generate; ++i)
        touches.append({QStringLiteral("%1").arg(0xA00000 + i, 6, 16, QChar('0')).toUpper(),
                        start.addSecs(60 * i)});

    Q90Simulator sim;
    sim.setTerminalCode(code);
    sim.setBatteryLow(batteryLow);
    sim.load(touches, capacity, first);
    if (told >= 0)
        sim.setImage(sim.image(), told, first);
    sim.setFaults(faults);
    sim.setPacing(pace ? baud : 0);
    if (!sim.start()) {
        std::fprintf(stderr, "Não foi possível criar o pseudoterminal: %s\n", qPrintable(sim.error()));
        return 1;
    }
    if (!link.isEmpty()) {
        QFile::remove(link);
        if (!QFile::link(sim.slavePath(), link))
            std::fprintf(stderr, "Não foi possível criar o atalho %s\n", qPrintable(link));
    }
    std::printf("%s\n", qPrintable(sim.slavePath()));
    std::fprintf(stderr, "Coletor Q90 simulado: %d registros na memória de %d; use PORTACOM=%s. "
                         "Ctrl+C encerra.\n",
                 sim.records(), capacity, qPrintable(link.isEmpty() ? sim.slavePath() : link));
    std::fflush(stdout);

    if (pipe(g_signalPipe) != 0)
        return 1;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier quit(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quit, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    const int status = app.exec();
    const auto c = sim.counters();
    std::fprintf(stderr, "%d pedidos, %d blocos lidos, %d apagamentos, %lld bytes recebidos, "
                         "%lld enviados.\n",
                 c.requests, c.blockReads, c.erases, c.bytesIn, c.bytesOut);
    sim.stop();
    if (!link.isEmpty())
        QFile::remove(link);
    return status;
}
