// Loads a simulated terminal with touches, so a whole download can be shown without hardware.
//   torvel-carregar-terminal --modelo lumet|vigia-novo|vigia [--id ID] [--limpar]
//                            [--desconectado] [ARQUIVO]
// Touches are lines "CÓDIGO dd/mm/aaaa hh:mm[:ss] [TIPO]", from ARQUIVO or standard input.
// The program folder is TORVEL_HOME (default ~/.local/share/torvel).
#include "collection/terminals/TerminalSimulators.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString model, id, file;
    bool clear = false, disconnected = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == "--modelo" && i + 1 < args.size())
            model = args[++i];
        else if (a == "--id" && i + 1 < args.size())
            id = args[++i];
        else if (a == "--limpar")
            clear = true;
        else if (a == "--desconectado")
            disconnected = true;
        else if (!a.startsWith("--"))
            file = a;
        else {
            std::fprintf(stderr, "Opção desconhecida: %s\n", qPrintable(a));
            return 2;
        }
    }
    using TerminalSimulator::Kind;
    Kind kind;
    if (model == "lumet")
        kind = Kind::Lumet;
    else if (model == "vigia-novo")
        kind = Kind::Watch;
    else if (model == "vigia")
        kind = Kind::Vigia;
    else {
        std::fprintf(stderr, "uso: torvel-carregar-terminal --modelo lumet|vigia-novo|vigia "
                             "[--id ID] [--limpar] [--desconectado] [ARQUIVO]\n");
        return 2;
    }
    QStringList lines;
    // Touches come from the file, or from standard input when something is piped in.
    if (!file.isEmpty() || !isatty(STDIN_FILENO)) {
        QFile in;
        if (file.isEmpty() ? !in.open(stdin, QIODevice::ReadOnly | QIODevice::Text)
                           : (in.setFileName(file), !in.open(QIODevice::ReadOnly | QIODevice::Text))) {
            std::fprintf(stderr, "Não foi possível ler %s\n", qPrintable(file));
            return 1;
        }
        while (!in.atEnd())
            lines << QString::fromUtf8(in.readLine());
    }
    QStringList errors;
    const auto touches = TerminalSimulator::parseTouches(lines, &errors);
    for (const QString &e : errors)
        std::fprintf(stderr, "Linha ignorada, %s\n", qPrintable(e));
    TerminalSimulator::Terminal terminal(kind, Folders::programFolder());
    if (!id.isEmpty())
        terminal.setIdentifier(id);
    terminal.setConnected(!disconnected);
    if (clear)
        terminal.erase();
    terminal.add(touches);
    std::printf("%lld toques carregados; o coletor tem %lld na memória.\n",
                qlonglong(touches.size()), qlonglong(terminal.memory().size()));
    return errors.isEmpty() ? 0 : 1;
}
