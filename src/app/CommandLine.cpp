#include "app/CommandLine.h"

#include "core/TorvelApplication.h"

#include <QFile>
#include <QMessageBox>
#include <cstdio>
#include <cstring>

namespace CommandLine {

QString help()
{
    return QString::fromUtf8(
        "Uso: torvel [--demo]\n"
        "     torvel --help | --version\n"
        "\n"
        "Torvel - Controle de Rondas: descarrega os coletores de ronda, guarda os\n"
        "toques num banco de dados MySQL ou MariaDB, confere cada ronda com o seu\n"
        "roteiro e emite os relatórios.\n"
        "\n"
        "Sem opções, o Torvel usa o seu próprio servidor de banco de dados (MariaDB),\n"
        "só desta conta: na primeira vez prepara-o, grava o TORVEL.INI apontando para\n"
        "ele e cria o banco \"torvel\" com todas as tabelas; depois abre a janela de\n"
        "login (no primeiro acesso, login e senha em branco). O servidor para quando o\n"
        "Torvel fecha. Se o Torvel já está aberto, a janela aberta vem para a frente.\n"
        "\n"
        "Opções:\n"
        "  --demo      num banco novo, cadastra uma empresa de demonstração e carrega os\n"
        "              coletores simulados com um dia de rondas para descarregar\n"
        "  --help      mostra esta ajuda e sai\n"
        "  --version   mostra a versão e sai\n"
        "\n"
        "Variáveis de ambiente:\n"
        "  TORVEL_EXTERNAL_DB=1  usa o servidor MySQL/MariaDB que o TORVEL.INI indica,\n"
        "                        sem o servidor próprio; sem TORVEL.INI, a janela\n"
        "                        \"Conexão\" pergunta pelo servidor\n"
        "  TORVEL_HOME           pasta do programa (padrão ~/.local/share/torvel)\n"
        "  TORVEL_WINDIR         pasta do segundo TORVEL.INI (padrão ~/.config/torvel)\n"
        "  TORVEL_BACKUP_DIR     pasta das cópias de segurança das descargas (padrão\n"
        "                        ~/COLETA)\n"
        "  TORVEL_DOCUMENTS      pasta das planilhas (padrão a pasta de documentos)\n"
        "  TORVEL_MARIADB_PATH   pastas onde procurar os programas do MariaDB, separadas\n"
        "                        por \":\" (padrão o PATH, /usr/sbin e /usr/bin)\n"
        "\n"
        "Arquivos:\n"
        "  ~/.local/share/torvel/TORVEL.INI      configurações e a conexão com o banco\n"
        "  ~/.local/share/torvel/TORVEL.TXT      o texto da ajuda (menu Ajuda)\n"
        "  ~/.local/share/torvel/mariadb/        o servidor próprio; o que ele diz fica\n"
        "                                        em error.log\n"
        "\n"
        "Veja também: torvelctl(1), os mesmos trabalhos sem janelas.\n");
}

namespace {

int showStartupError()
{
    QFile in;
    QString text;
    if (in.open(stdin, QIODevice::ReadOnly))
        text = QString::fromUtf8(in.readAll()).trimmed();
    if (text.isEmpty())
        text = QString::fromUtf8("O Torvel não pôde ser iniciado.");
    int argc = 1;
    char name[] = "torvel";
    char *argv[] = {name, nullptr};
    TorvelApplication app(argc, argv);
    TorvelApplication::setUp();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Torvel - Controle de Rondas"), text,
                    QMessageBox::Ok);
    // The log's path is in the text: it can be selected and copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
    return 0;
}

}  // namespace

std::optional<int> answer(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(help().toUtf8().constData(), stdout);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0) {
            std::printf("torvel %s\n", TorvelApplication::version().toUtf8().constData());
            return 0;
        }
        if (std::strcmp(arg, "--startup-error") == 0)
            return showStartupError();
    }
    return std::nullopt;
}

}  // namespace CommandLine
