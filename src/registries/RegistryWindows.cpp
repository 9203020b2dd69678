#include "registries/RegistryWindows.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/IdentifierLists.h"
#include "registries/RegistryLists.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

FieldLinkOptions upper(int length) { return {.upperCase = true, .maxLength = length}; }
FieldLinkOptions plain(int length) { return {.upperCase = false, .maxLength = length}; }

template <typename List>
std::function<std::unique_ptr<TfmListaBase>()> listOf(QWidget *parent)
{
    return [parent] { return std::make_unique<List>(parent); };
}

bool addingWithEmpty(const DataSet &q, const QString &field)
{
    return q.state() == DataSet::State::Insert && q.text(field).isEmpty();
}

}  // namespace

// --- owners ---

OwnerWindow::OwnerWindow(const QString &caption, DataSet &query, const QString &identifierField,
                         QWidget *parent)
    : RegistrationWindow(caption, query, parent), m_identifierField(identifierField)
{
    TdmzDados::instance()->pendingOldIdentifier.clear();
}

void OwnerWindow::addIdentifierField()
{
    edIdentificador = addIdentifier(QStringLiteral("Identificador"), m_identifierField,
                                    [this] { btIdentificadorclick(); });
}

bool OwnerWindow::mayTake(const QString &) { return true; }

void OwnerWindow::btIdentificadorclick()
{
    guarded([this] {
        TfmListaButtonsR list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted)
            return;
        const QString code = list.chosen("codigo_button").toString();
        if (code.isEmpty() || !mayTake(code))
            return;
        DataSet &q = query();
        if (!q.isEditing())
            q.edit();
        q.setValue(m_identifierField, code);
    });
}

// --- locations ---

TfmLocais::TfmLocais(QWidget *parent)
    : OwnerWindow(QStringLiteral("Locais"), *TdmzDados::instance()->qyLocais, "button_local",
                  parent)
{
    TdmzDados::instance()->locationSaved = false;
    edNome = addText(QStringLiteral("Nome"), "nome_local", upper(40));
    addIdentifierField();
    addText(QStringLiteral("Endereco"), "endereco", upper(40));
    addText(QStringLiteral("Complemento"), "complemento", upper(30));
    addText(QStringLiteral("Cidade"), "cidade", upper(40));
    addText(QStringLiteral("UF"), "uf", upper(2));
    addText(QStringLiteral("Cep"), "cep", plain(8));
    addText(QStringLiteral("Fone"), "fone", plain(12));
    edObs = addMemo(QStringLiteral("Obs"), "obs", 200);
    addReadOnly(QStringLiteral("Data do Cadastro"), "data_cadastro");
    setFirstField(edNome);
    // Moving to the chosen location saves a pending change instead of discarding it.
    setSearch(listOf<TfmListaLocais>(this), "codigo_local", "codigo_local", false, false);
    setKeepQueryOpen(true);
    // The query may still be open, with a pending change, from the last opening.
    if (!query().isActive()) {
        query().setSql(QStringLiteral("select * from locais"));
        openQuery();
    }
}

bool TfmLocais::mayTake(const QString &code)
{
    QSqlQuery holder = Sql::exec(TdmzDados::instance()->db(),
                                 QStringLiteral("select * from locais where button_local = "
                                                ":pbutton_local"),
                                 {{"pbutton_local", code}});
    if (holder.next()) {
        Msg::information(QString::fromUtf8("Memória já associado a determinado local!"));
        return false;
    }
    return true;
}

void TfmLocais::refreshRouteStopNames()
{
    // Compared as bytes: the server's collation takes "PORTAO" and "PORTÃO" (or "Portao") for
    // the same name, and a rename by accent or case would never reach the stops, which the
    // consistency analysis matches by exact name.
    Sql::exec(TdmzDados::instance()->db(),
              QStringLiteral("update descrot d join locais l on l.codigo_local = d.codigo_local "
                             "set d.nome_local = l.nome_local "
                             "where not (cast(d.nome_local as binary) <=> "
                             "cast(l.nome_local as binary))"));
}

void TfmLocais::done(int result)
{
    TdmzDados *dm = TdmzDados::instance();
    if (dm->locationSaved) {
        guarded([] { refreshRouteStopNames(); });
        dm->locationSaved = false;
    }
    OwnerWindow::done(result);
}

// --- collaborators ---

TfmFuncs::TfmFuncs(QWidget *parent)
    : OwnerWindow(QStringLiteral("Colaboradores"), *TdmzDados::instance()->qyFuncs, "memoria",
                  parent)
{
    edNome = addText(QStringLiteral("Nome"), "nome_func", upper(40));
    addIdentifierField();
    addText(QString::fromUtf8("Endereço"), "endereco", upper(40));
    addText(QStringLiteral("Complemento"), "complemento", upper(20));
    addText(QStringLiteral("Cidade"), "cidade", upper(30));
    addText(QStringLiteral("UF"), "uf", upper(2));
    addText(QStringLiteral("Cep"), "cep", plain(8));
    addText(QStringLiteral("Fone"), "fone", plain(12));
    addMemo(QStringLiteral("Obs"), "obs", 200);
    addReadOnly(QStringLiteral("Data do Cadastro"), "data_cadastro");
    setFirstField(edNome);
    setSearch(listOf<TfmListaFuncs>(this), "nome_func", "nome_func", true, true);
    query().setSql(QStringLiteral("select * from funcs\norder by nome_func"));
    openQuery();
}

void TfmFuncs::btadicionaclick()
{
    guarded([this] {
        DataSet &q = query();
        if (addingWithEmpty(q, "nome_func")) {
            Msg::information(QString::fromUtf8("Informe o nome do funcionário"));
            return;
        }
        q.post();
        q.append();
        q.setValue("data_cadastro",
                   SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
        focusFirstField();
    });
}

// --- events ---

TfmEventos::TfmEventos(QWidget *parent)
    : OwnerWindow(QStringLiteral("Eventos"), *TdmzDados::instance()->qyEventos, "button_evento",
                  parent)
{
    edEvento = addText(QStringLiteral("Evento"), "desc_evento", upper(30));
    addIdentifierField();
    addReadOnly(QStringLiteral("Data do Cadastro"), "data_cadastro");
    setFirstField(edEvento);
    setSearch(listOf<TfmListaEventos>(this), "desc_evento", "desc_evento", true, true);
    query().setSql(QStringLiteral("select * from eventos"));
    openQuery();
}

// --- job functions ---

TfmFuncao::TfmFuncao(QWidget *parent)
    : RegistrationWindow(QString::fromUtf8("Função"), *TdmzDados::instance()->qyFuncao, parent)
{
    edCodigo = addText(QString::fromUtf8("Código"), "codigo", upper(5));
    addText(QStringLiteral("Nome"), "descricao", upper(50));
    setSearch(listOf<TfmListaFuncao>(this), "codigo", "codigo", true, true);
    query().setSql(QStringLiteral("select * from funcao"));
    openQuery();
}

void TfmFuncao::btadicionaclick()
{
    if (addingWithEmpty(query(), "codigo"))
        return;
    RegistrationWindow::btadicionaclick();
}

// --- collectors ---

TfmColetores::TfmColetores(QWidget *parent)
    : RegistrationWindow(QStringLiteral("Coletores"), *TdmzDados::instance()->qyColetores, parent)
{
    edCodigo = addText(QString::fromUtf8("Código"), "codigo_coletor", upper(12));
    addText(QStringLiteral("Nome"), "nome_coletor", upper(30));
    addReadOnly(QStringLiteral("Data do Cadastro"), "data_cadastro");
    setSearch(listOf<TfmListaColetores>(this), "codigo_coletor", "codigo_coletor", true, true);
    query().setSql(QStringLiteral("select  * from coletor\norder by nome_coletor"));
    openQuery();
}

void TfmColetores::btadicionaclick()
{
    if (addingWithEmpty(query(), "codigo_coletor"))
        return;
    RegistrationWindow::btadicionaclick();
}
