#include "core/db/Schema.h"

#include <QRegularExpression>

namespace Schema {

namespace {

const char *const kButtons =
    "CREATE TABLE buttons (\n"
    "  codigo_button char(12) NOT NULL default '',\n"
    "  referencia char(1),\n"
    "  tipo_button char(2),\n"
    "  data_cadastro datetime,\n"
    "  PRIMARY KEY (codigo_button)\n"
    ")";

const char *const kDistancia =
    "CREATE TABLE distancia (\n"
    "  iddistancia int(11) NOT NULL AUTO_INCREMENT,\n"
    "  descricao varchar(100),\n"
    "  pontoA varchar(10),\n"
    "  pontoB varchar(10),\n"
    "  km double(10,2),\n"
    "  PRIMARY KEY (iddistancia)\n"
    ")";

const char *const kColetor =
    "CREATE TABLE coletor (\n"
    "  codigo_coletor char(12) NOT NULL default '',\n"
    "  nome_coletor char(30),\n"
    "  data_cadastro datetime,\n"
    "  codigo_func int(11),\n"
    "  codigo_roteiro int(11) default '0',\n"
    "  fone char(15),\n"
    "  PRIMARY KEY (codigo_coletor),\n"
    "  KEY col_nom (nome_coletor)\n"
    ")";

const char *const kControl =
    "CREATE TABLE control (\n"
    "  login char(10) NOT NULL default '',\n"
    "  senha char(10) NOT NULL default '',\n"
    "  cadastros int(11) NOT NULL default '-1',\n"
    "  relatorios int(11) NOT NULL default '-1',\n"
    "  configuracoes int(11) NOT NULL default '-1',\n"
    "  utilitarios int(11) NOT NULL default '-1',\n"
    "  descarga int(11) NOT NULL default '-1',\n"
    "  memorias int(11) NOT NULL default '-1',\n"
    "  programa int(11) NOT NULL default '-1',\n"
    "  relcad int(11) NOT NULL default '-1',\n"
    "  reldesc int(11) NOT NULL default '-1',\n"
    "  relcons int(11) NOT NULL default '-1',\n"
    "  utilsen int(11) NOT NULL default '-1',\n"
    "  PRIMARY KEY (login,senha)\n"
    ")";

const char *const kControlRow =
    "INSERT INTO control (login, senha, cadastros, relatorios, configuracoes, utilitarios, "
    "descarga, memorias, programa, relcad, reldesc, relcons, utilsen) "
    "VALUES ('', '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)";

const char *const kDescarga =
    "CREATE TABLE descarga (\n"
    "  coletor char(12),\n"
    "  data_descarga char(19),\n"
    "  button char(12),\n"
    "  data_toque char(19),\n"
    "  tipo_button char(2)\n"
    ")";

const char *const kDescrot =
    "CREATE TABLE descrot (\n"
    "  cod int(11) NOT NULL auto_increment,\n"
    "  codigo_roteiro int(11),\n"
    "  ordem char(3),\n"
    "  codigo_local int(11),\n"
    "  t_min int(11),\n"
    "  t_max int(11),\n"
    "  nome_local char(40),\n"
    "  PRIMARY KEY (cod),\n"
    "  KEY drot_cor (codigo_roteiro,ordem)\n"
    ")";

const char *const kDesctot =
    "CREATE TABLE desctot (\n"
    "  cod int(11) NOT NULL auto_increment,\n"
    "  coletor char(12),\n"
    "  data_descarga datetime,\n"
    "  button char(12),\n"
    "  data_toque datetime,\n"
    "  tipo_button char(12),\n"
    "  codigo_roteiro int(11),\n"
    "  codigo_func int(11),\n"
    "  PRIMARY KEY (cod)\n"
    ")";

const char *const kEventos =
    "CREATE TABLE eventos (\n"
    "  codigo_evento int(11) NOT NULL auto_increment,\n"
    "  desc_evento char(30),\n"
    "  button_evento char(12),\n"
    "  data_cadastro datetime,\n"
    "  PRIMARY KEY (codigo_evento),\n"
    "  KEY eve_but (button_evento),\n"
    "  KEY eve_desc (desc_evento)\n"
    ")";

const char *const kFuncao =
    "CREATE TABLE funcao (\n"
    "  codigo char(5) NOT NULL default '',\n"
    "  descricao char(50),\n"
    "  PRIMARY KEY (codigo)\n"
    ")";

const char *const kFuncs =
    "CREATE TABLE funcs (\n"
    "  codigo_func int(11) NOT NULL auto_increment,\n"
    "  nome_func char(40),\n"
    "  memoria char(12),\n"
    "  endereco char(40),\n"
    "  complemento char(20),\n"
    "  cidade char(30),\n"
    "  uf char(2),\n"
    "  cep char(8),\n"
    "  fone char(12),\n"
    "  obs char(200),\n"
    "  data_cadastro datetime,\n"
    "  PRIMARY KEY (codigo_func),\n"
    "  KEY fun_mem (memoria),\n"
    "  KEY fun_nom (nome_func)\n"
    ")";

const char *const kLocais =
    "CREATE TABLE locais (\n"
    "  codigo_local int(11) NOT NULL auto_increment,\n"
    "  nome_local char(40),\n"
    "  button_local char(12),\n"
    "  endereco char(40),\n"
    "  complemento char(30),\n"
    "  cidade char(40),\n"
    "  uf char(2),\n"
    "  cep char(8),\n"
    "  fone char(12),\n"
    "  obs char(200),\n"
    "  data_cadastro datetime,\n"
    "  PRIMARY KEY (codigo_local),\n"
    "  KEY loc_but (button_local),\n"
    "  KEY loc_nom (nome_local)\n"
    ")";

const char *const kModem =
    "CREATE TABLE modem (\n"
    "  codigo char(2) NOT NULL default '',\n"
    "  marca char(40),\n"
    "  descricao char(40),\n"
    "  origem char(200),\n"
    "  PRIMARY KEY (codigo),\n"
    "  KEY marcdesc (marca,descricao)\n"
    ")";

// `origem` as written in the statements: every backslash doubled, so single ones are stored.
const char *const kModemRows[][4] = {
    {"01", "US ROBOTICS INTERNO", "CENTRAL", "ATQE&B&N&C&D&K&R1S10=200"},
    {"02", "HITECH OU FAX DATA EXTERNO", "CENTRAL", "ATEN1&K&C&D&R1S10=200"},
    {"03", "HITECH OU FAX DATA EXTERNO", "REMOTO", "ATEN1&KM2Q1&C&D&R1S10=200S0=3&W"},
    {"04", "US ROBOTICS EXTERNO", "CENTRAL", "ATE&B&N&C&D&K&R1S10=200"},
    {"05", "US ROBOTICS EXTERNO", "REMOTO", "ATEQ1&B&N&C&D&K&R1M2S10=200S0=3S13=8&W"},
    {"06", "MOTOROLA 28800 LIFESTYLE", "REMOTO", "ATQ1B1E0L1M1&D0%C0\\\\Q0\\\\J1\\\\N1S0=4\\\\M0&W0"},
    {"07", "HITECH VOICE EXTERNO", "REMOTO", "ATEN\\\\QM2Q1&C&DS10=200&W"},
    {"08", "WS1414EV1 EXTERNO", "REMOTO", "ATEN1Q1X3&C%D%E1%G\\\\J1\\\\N\\\\Q%C-J1S=3&W"},
    {"09", "ZOLTRIX 28800 INTERNO", "CENTRAL", "ATE\\\\TQ&C&DX3%Q2&A1\\\\N\\\\Q%CS10=200"},
    {"10", "BEST 33614DE VOICE FAX DATA EXTERNO", "REMOTO", "ATE\\\\QM2Q1\\\\N1&C&D&R1S0=2S10=225&W"},
    {"11", "14400 VOICEFAXMODEM", "CENTRAL", "ATEN1&C&DS10=200"},
    {"12", "HITECH EXTERNO 9/9/99", "CENTRAL", "ATX3EN1&K&C&D&R1"},
};

const char *const kRoteiros =
    "CREATE TABLE roteiros (\n"
    "  codigo_roteiro int(11) NOT NULL auto_increment,\n"
    "  nome_roteiro char(40),\n"
    "  button_referencia char(12),\n"
    "  tempo_locais int(11) NOT NULL default '-1',\n"
    "  tempo_padrao int(11) NOT NULL default '-1',\n"
    "  t_min_padrao char(11),\n"
    "  t_max_padrao char(11),\n"
    "  data_cadastro datetime,\n"
    "  hora_saida time,\n"
    "  hora_chegada time,\n"
    "  loc_meta_1 char(4),\n"
    "  empresa char(40),\n"
    "  ordemvisitas int(11) NOT NULL default '-1',\n"
    "  temporoteiro int(11) NOT NULL default '-1',\n"
    "  t_rot_min char(11),\n"
    "  t_rot_max char(11),\n"
    "  PRIMARY KEY (codigo_roteiro),\n"
    "  KEY rot_nom (nome_roteiro),\n"
    "  KEY rot_ref (button_referencia)\n"
    ")";

const char *const kPrecokm =
    "CREATE TABLE precokm (\n"
    "  id int(11) NOT NULL AUTO_INCREMENT,\n"
    "  datainicio date,\n"
    "  datafim date,\n"
    "  custo double(10,2),\n"
    "  PRIMARY KEY (id)\n"
    ")";

}  // namespace

QStringList statements()
{
    QStringList list;
    list << kButtons << kDistancia << kColetor << kControl << kDescarga << kDescrot << kDesctot
         << kEventos << kFuncao << kFuncs << kLocais << kModem << kRoteiros << kPrecokm
         << kControlRow;
    for (const auto &row : kModemRows) {
        list << QStringLiteral("INSERT INTO modem (codigo, marca, descricao, origem) "
                               "VALUES ('%1', '%2', '%3', '%4')")
                    .arg(QLatin1String(row[0]), QLatin1String(row[1]), QLatin1String(row[2]),
                         QLatin1String(row[3]));
    }
    return list;
}

QString script()
{
    return statements().join(QStringLiteral(";\n")) + QStringLiteral(";\n");
}

QStringList tableNames()
{
    return {"buttons", "distancia", "coletor", "control", "descarga", "descrot", "desctot",
            "eventos", "funcao",  "funcs",     "locais",  "modem",   "roteiros", "precokm"};
}

bool isValidDatabaseName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return re.match(name).hasMatch();
}

QString createDatabaseStatement(const QString &name)
{
    if (!isValidDatabaseName(name))
        return {};
    return QStringLiteral("create database `%1`").arg(name);
}

}  // namespace Schema
