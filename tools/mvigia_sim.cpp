// A stand-in for the Vigia Bastão terminal's program, with its three command lines:
//   mvigia 1 0 USB   download: NOVOS.TXT in MVIGIA under My Documents
//   mvigia 1 1 USB   erase the terminal
//   mvigia 1 2 USB   set the terminal's clock from the computer's
// The terminal's memory and clock are the simulator files of the program folder (this
// program's own folder, or TORVEL_HOME).
#include "collection/terminals/TerminalSimulators.h"
#include "platform/Folders.h"
#include "platform/SystemServices.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    // Installed as the simulator, it lives in the program folder's `simuladores`.
    QDir own(QCoreApplication::applicationDirPath());
    if (own.dirName() == QLatin1String("simuladores"))
        own.cdUp();
    const QString folder = qEnvironmentVariableIsSet("TORVEL_HOME") ? Folders::programFolder()
                                                                      : own.absolutePath();
    TerminalSimulator::Terminal terminal(TerminalSimulator::Kind::Vigia, folder);
    if (args.size() < 2) {
        std::fprintf(stderr, "uso: mvigia 1 0|1|2 USB\n");
        return 2;
    }
    if (!terminal.connected()) {
        std::fprintf(stderr, "Coletor não encontrado na porta USB.\n");
        return 1;
    }
    const QString action = args.at(1);
    if (action == "0") {
        const QString path = Folders::documentsFolder() + "MVIGIA/NOVOS.TXT";
        if (!TerminalSimulator::writeLines(path, terminal.vigiaFile())) {
            std::fprintf(stderr, "Não foi possível gravar %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%lld registros descarregados.\n", qlonglong(terminal.memory().size()));
        return 0;
    }
    if (action == "1") {
        terminal.erase();
        std::printf("Dados apagados.\n");
        return 0;
    }
    if (action == "2") {
        terminal.setClock(SystemServices::now());
        std::printf("Data/hora enviada.\n");
        return 0;
    }
    std::fprintf(stderr, "Ação desconhecida: %s\n", qPrintable(action));
    return 2;
}
