#include "collection/Demo.h"

#include "collection/terminals/TerminalSimulators.h"
#include "platform/IniFile.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"

#include <QSqlDatabase>

namespace Demo {

namespace {

struct Place {
    const char *name;
    const char *code;
};

const Place kPlaces[] = {
    {"PORTARIA PRINCIPAL", "F20001"}, {"GUARITA NORTE", "F20002"},    {"ESTACIONAMENTO", "F20003"},
    {"ALMOXARIFADO", "F20004"},       {"REFEITORIO", "F20005"},       {"GALPAO 1", "F20006"},
    {"GALPAO 2", "F20007"},           {"CASA DE MAQUINAS", "F20008"}, {"SUBESTACAO", "F20009"},
    {"ADMINISTRACAO", "F2000A"},      {"CAIXA D'AGUA", "F2000B"},     {"PORTAO DOS FUNDOS", "F2000C"},
};

// Every identifier of the company starts with F: the Q90 keeps the last five digits of a touch
// and stores them after an F, so these are the codes a Q90 gives back as they are.
const QString kNightReference = QStringLiteral("F30001");
const QString kDayReference = QStringLiteral("F30002");

// Night round: six checkpoints; day round: five.
const int kNight[] = {1, 2, 3, 6, 7, 12};
const int kDay[] = {1, 10, 5, 4, 9};

QDateTime at(const QDate &day, int hour, int minute, int second = 0)
{
    return QDateTime(day, QTime(0, 0)).addSecs(hour * 3600 + minute * 60 + second);
}

QString code(int place) { return QString::fromLatin1(kPlaces[place - 1].code); }

// One night round from `start`: the collaborator's identifier, the reference that opens the
// round, then the stops at the given minutes. The next round's reference closes it.
QList<TerminalSimulator::Touch> nightRound(const QDateTime &start, const QList<int> &stops,
                                           const QList<int> &minutes)
{
    QList<TerminalSimulator::Touch> touches;
    touches.append({QStringLiteral("F10001"), start.addSecs(-120)});
    touches.append({kNightReference, start});
    for (int i = 0; i < stops.size(); ++i)
        touches.append({code(stops[i]), start.addSecs(60 * minutes[i])});
    return touches;
}

}  // namespace

bool install(TdmzDados &dm, const QDate &day, QString *error)
{
    const QSqlDatabase db = dm.db();
    try {
        if (Sql::scalar(db, QStringLiteral("select count(*) from locais")).toInt() > 0) {
            *error = QString::fromUtf8("O banco de dados já tem locais cadastrados; a demonstração "
                                       "só é instalada num banco novo.");
            return false;
        }
        const QDateTime registered = at(day.addDays(-30), 9, 0);
        auto button = [&](const QString &c, const char *mark, int minute) {
            Sql::exec(db,
                      QStringLiteral("insert into buttons (codigo_button, referencia, tipo_button, "
                                     "data_cadastro) values (:c, :r, '01', :d)"),
                      {{"c", c}, {"r", QString::fromLatin1(mark)}, {"d", registered.addSecs(60 * minute)}});
        };
        int minute = 0;
        for (int i = 0; i < 12; ++i) {
            button(code(i + 1), "L", minute++);
            Sql::exec(db,
                      QStringLiteral("insert into locais (codigo_local, nome_local, button_local, "
                                     "endereco, cidade, uf, data_cadastro) values (:id, :n, :b, "
                                     "'AV. DAS INDUSTRIAS, 1000', 'CAMPINAS', 'SP', :d)"),
                      {{"id", i + 1}, {"n", QString::fromUtf8(kPlaces[i].name)}, {"b", code(i + 1)},
                       {"d", registered}});
        }
        const std::pair<const char *, const char *> events[] = {
            {"F30001", "INICIO RONDA NOTURNA"}, {"F30002", "INICIO RONDA DIURNA"},
            {"F30003", "OCORRENCIA"}};
        for (const auto &[c, name] : events) {
            button(QString::fromLatin1(c), "E", minute++);
            Sql::exec(db,
                      QStringLiteral("insert into eventos (desc_evento, button_evento, "
                                     "data_cadastro) values (:n, :b, :d)"),
                      {{"n", QString::fromLatin1(name)}, {"b", QString::fromLatin1(c)}, {"d", registered}});
        }
        const std::pair<const char *, const char *> people[] = {
            {"F10001", "JOAO DA SILVA"}, {"F10002", "MARIA APARECIDA SOUZA"}, {"F10003", "CARLOS PEREIRA"}};
        // The server gives the codes: on a cluster they step by the number of nodes, so the
        // first collaborator's is asked for, not taken to be 1.
        QVariant firstPerson;
        for (const auto &[c, name] : people) {
            button(QString::fromLatin1(c), "F", minute++);
            Sql::exec(db,
                      QStringLiteral("insert into funcs (nome_func, memoria, cidade, uf, "
                                     "data_cadastro) values (:n, :b, 'CAMPINAS', 'SP', :d)"),
                      {{"n", QString::fromLatin1(name)}, {"b", QString::fromLatin1(c)}, {"d", registered}});
            if (!firstPerson.isValid())
                firstPerson = Sql::scalar(db, QStringLiteral("select last_insert_id()"));
        }
        // Free identifiers, ready to be given to new checkpoints.
        button(QStringLiteral("F2000D"), "", minute++);
        button(QStringLiteral("F2000E"), "", minute++);
        for (const auto &[c, name] : {std::pair{"00001", "VIGILANTE"}, {"00002", "PORTEIRO"},
                                      {"00003", "SUPERVISOR"}})
            Sql::exec(db, QStringLiteral("insert into funcao (codigo, descricao) values (:c, :n)"),
                      {{"c", QString::fromLatin1(c)}, {"n", QString::fromLatin1(name)}});

        auto route = [&](const char *name, const char *reference, const char *leaves,
                         const char *returns, const int *stops, int count) {
            Sql::exec(db,
                      QStringLiteral(
                          "insert into roteiros (nome_roteiro, button_referencia, tempo_locais, "
                          "tempo_padrao, t_min_padrao, t_max_padrao, data_cadastro, hora_saida, "
                          "hora_chegada, empresa, ordemvisitas, temporoteiro, t_rot_min, "
                          "t_rot_max) values (:n, :r, 0, 0, '2', '15', :d, :s, :c, "
                          "'INDUSTRIA MODELO LTDA', 0, 0, '20', '60')"),
                      {{"n", QString::fromLatin1(name)}, {"r", QString::fromLatin1(reference)},
                       {"d", registered}, {"s", QString::fromLatin1(leaves)},
                       {"c", QString::fromLatin1(returns)}});
            const int id = Sql::scalar(db, QStringLiteral("select last_insert_id()")).toInt();
            for (int i = 0; i < count; ++i)
                Sql::exec(db,
                          QStringLiteral("INSERT INTO descrot (codigo_roteiro, ordem, codigo_local, "
                                         "t_min, t_max, nome_local) VALUES (:r, :o, :l, 2, 15, :n)"),
                          {{"r", id}, {"o", QStringLiteral("%1").arg(i + 1, 3, 10, QChar('0'))},
                           {"l", stops[i]}, {"n", QString::fromUtf8(kPlaces[stops[i] - 1].name)}});
            return id;
        };
        const int night = route("RONDA NOTURNA", "F30001", "22:00:00", "23:00:00", kNight, 6);
        const int dayRoute = route("RONDA DIURNA", "F30002", "08:00:00", "09:00:00", kDay, 5);

        const std::tuple<const char *, const char *, int> collectors[] = {
            {"LUMET1", "COLETOR LUMET", night}, {"000101", "COLETOR VIGIA BASTAO NOVO", dayRoute},
            {"VB0001", "COLETOR VIGIA BASTAO", night}, {"0001", "COLETOR Q90", night}};
        for (const auto &[c, name, r] : collectors)
            Sql::exec(db,
                      QStringLiteral("insert into coletor (codigo_coletor, nome_coletor, "
                                     "data_cadastro, codigo_func, codigo_roteiro) values "
                                     "(:c, :n, :d, :f, :r)"),
                      {{"c", QString::fromLatin1(c)}, {"n", QString::fromLatin1(name)},
                       {"d", registered}, {"f", firstPerson}, {"r", r}});
    } catch (const DbError &e) {
        *error = e.text();
        return false;
    }

    // A night of rounds for the Lumet: a clean round, one with two stops inverted and a late
    // interval, one that misses a stop and touches a checkpoint of the other route, and an
    // identifier nobody registered.
    using TerminalSimulator::Kind;
    using TerminalSimulator::Terminal;
    const QDate night = day.addDays(-1);
    QList<TerminalSimulator::Touch> lumet;
    lumet += nightRound(at(night, 22, 2), {1, 2, 3, 6, 7, 12}, {4, 9, 14, 19, 24, 29});
    lumet += nightRound(at(night, 23, 30), {1, 3, 2, 6, 7, 12}, {4, 9, 14, 40, 45, 50});
    lumet += nightRound(at(day, 1, 15), {1, 2, 6, 10, 7, 12}, {4, 9, 16, 20, 26, 31});
    lumet.append({QStringLiteral("BEEF01"), at(day, 2, 0)});
    Terminal lumetTerminal(Kind::Lumet, dm.programFolder());
    lumetTerminal.setIdentifier(QStringLiteral("LUMET1"));
    lumetTerminal.setConnected(true);
    lumetTerminal.setMemory(lumet);

    // A day round for the Vigia Bastão Novo, leaving late.
    QList<TerminalSimulator::Touch> watch{{QStringLiteral("F10002"), at(day, 8, 10)},
                                          {kDayReference, at(day, 8, 14)}};
    int m = 0;
    for (int stop : kDay)
        watch.append({code(stop), at(day, 8, 18 + 6 * m++)});
    Terminal watchTerminal(Kind::Watch, dm.programFolder());
    watchTerminal.setIdentifier(QStringLiteral("000101"));
    watchTerminal.setConnected(true);
    watchTerminal.setMemory(watch);

    // A short night round for the Vigia Bastão, with a stop missed.
    Terminal vigiaTerminal(Kind::Vigia, dm.programFolder());
    vigiaTerminal.setConnected(true);
    vigiaTerminal.setMemory(nightRound(at(night, 22, 1), {1, 2, 6, 7, 12}, {5, 10, 20, 25, 30}));

    // The Q90 simulator's memory, for `torvel-q90sim --toques`: a night round with a late
    // interval.
    QStringList q90;
    for (const TerminalSimulator::Touch &t : nightRound(at(night, 22, 3), {1, 2, 3, 6, 7, 12},
                                                        {4, 9, 14, 19, 40, 45}))
        q90 << t.code + u' ' + t.touched.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    TerminalSimulator::writeLines(dm.programFolder() + QStringLiteral("simuladores/q90-toques.txt"), q90);

    // The demonstration collects from the simulated terminals, by choice and visibly so.
    dm.config().writeBool(QStringLiteral("COM"), QStringLiteral("SIMULADORES"), true);
    if (dm.config().readString(QStringLiteral("CONFIG"), QStringLiteral("INSTALACAO"), {}).isEmpty())
        dm.config().writeString(QStringLiteral("CONFIG"), QStringLiteral("INSTALACAO"),
                                QStringLiteral("VIGILANCIA DEMONSTRACAO"));
    return true;
}

}  // namespace Demo
