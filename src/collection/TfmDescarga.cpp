#include "collection/TfmDescarga.h"

#include "collection/ClassifyIdentifier.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/CommandRow.h"
#include "platform/DateTimeText.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

TfmDescarga::ConsistencyRunner &runner()
{
    static TfmDescarga::ConsistencyRunner r;
    return r;
}

const std::pair<const char *, const char *> kColumns[] = {
    {"coletor", "Coletor"},          {"data_descarga", "Data Coleta"},
    {"button", "Identificador"},     {"data_toque", "Data Toque"},
    {"tipo_button", "Tipo identificador"}, {"descricao", "Descrição"}};

constexpr double kOneMinute = 0.00069444440305233;

const QString kRegister = QStringLiteral(
    "INSERT INTO buttons (codigo_button, referencia, tipo_button, data_cadastro) "
    " VALUES (:pcodigo_button, \"\", :ptipo_button, :pdata_cadastro)");

}  // namespace

void TfmDescarga::setConsistencyRunner(ConsistencyRunner r) { runner() = std::move(r); }

TfmDescarga::TfmDescarga(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Dados da última coleta"));
    dbgDescarga = new QTableWidget(0, int(std::size(kColumns)));
    QStringList titles;
    for (const auto &[field, title] : kColumns)
        titles << QString::fromUtf8(title);
    dbgDescarga->setHorizontalHeaderLabels(titles);
    dbgDescarga->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgDescarga->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgDescarga->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgDescarga->verticalHeader()->hide();
    dbgDescarga->horizontalHeader()->setStretchLastSection(true);
    dbgDescarga->setContextMenuPolicy(Qt::CustomContextMenu);
    dbgDescarga->setWordWrap(false);
    dbgDescarga->resizeColumnsToContents();

    PopupMenu1 = new QMenu(this);
    Cadastraridentificadoratual1 = PopupMenu1->addAction(QStringLiteral("Cadastrar identificador atual"));
    Cadastrartodasasmemrias1 = PopupMenu1->addAction(QStringLiteral("Cadastrar todos os identificadores"));
    connect(Cadastraridentificadoratual1, &QAction::triggered, this,
            &TfmDescarga::Cadastraridentificadoratual1Click);
    connect(Cadastrartodasasmemrias1, &QAction::triggered, this,
            &TfmDescarga::Cadastrartodasasmemrias1Click);
    connect(dbgDescarga, &QTableWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        PopupMenu1Popup();
        PopupMenu1->popup(dbgDescarga->viewport()->mapToGlobal(at));
    });

    btConsistir = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                  QStringLiteral("Consistir"));
    btRetorna = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                QStringLiteral("Retorna"));
    btConsistir->setAutoDefault(false);
    btConsistir->setEnabled(bool(runner()));
    connect(btConsistir, &QPushButton::clicked, this, &TfmDescarga::Consistir);
    connect(btRetorna, &QPushButton::clicked, this, &TfmDescarga::btRetornaclick);
    auto *buttons = commandRow({btConsistir, btRetorna});

    lbAviso = new QLabel;
    lbAviso->setWordWrap(true);
    lbAviso->setStyleSheet(QStringLiteral("QLabel { color: #8a4b00; font-weight: bold; }"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbAviso);
    layout->addWidget(dbgDescarga, 1);
    layout->addLayout(buttons);
    resize(820, 480);

    TdmzDados *dm = TdmzDados::instance();
    if (!dm->config().readBool("OPERACAO", "CRIOUDESCARGA", false))
        TmpDesc::recreate(*dm);
    lbAviso->setText(dm->downloadNote);
    lbAviso->setVisible(!dm->downloadNote.isEmpty());
    m_table = std::make_unique<LocalTable>(dm->tempFolder(), QString::fromLatin1(TmpDesc::kName));
    load();
}

TfmDescarga::~TfmDescarga() = default;

void TfmDescarga::load()
{
    dbgDescarga->setRowCount(0);
    if (!m_table->open()) {
        // A missing or damaged table shows as empty; the next download recreates it.
        if (!m_table->create(TmpDesc::fields()))
            Msg::error(m_table->lastError());
        return;
    }
    int row = 0;
    dbgDescarga->setRowCount(m_table->recordCount());
    for (m_table->first(); !m_table->eof(); m_table->next(), ++row) {
        int column = 0;
        for (const auto &[field, title] : kColumns)
            dbgDescarga->setItem(row, column++,
                                 new QTableWidgetItem(m_table->value(field).toString()));
    }
    dbgDescarga->resizeColumnsToContents();
    if (row > 0)
        setCurrentRow(0);
}

int TfmDescarga::currentRow() const { return dbgDescarga->currentRow(); }

void TfmDescarga::setCurrentRow(int row) { dbgDescarga->selectRow(row); }

void TfmDescarga::btRetornaclick() { accept(); }

void TfmDescarga::Consistir()
{
    const int row = currentRow();
    if (row < 0 || !runner())
        return;
    runner()(dbgDescarga->item(row, 0)->text(), this);
}

void TfmDescarga::PopupMenu1Popup()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const QString description = dbgDescarga->item(row, 5)->text();
    // Other descriptions (an owner's name) keep the state of the last opening.
    if (description == QString::fromUtf8("Referência errada") ||
        description == QString::fromUtf8("Não associado")) {
        Cadastraridentificadoratual1->setEnabled(false);
        Cadastrartodasasmemrias1->setEnabled(false);
    } else if (description == QString::fromUtf8("Não cadastrado")) {
        Cadastraridentificadoratual1->setEnabled(true);
        Cadastrartodasasmemrias1->setEnabled(true);
    }
}

bool TfmDescarga::registerIdentifier(const QString &button, const QString &type,
                                     const QDateTime &when)
{
    TdmzDados *dm = TdmzDados::instance();
    if (dm->CountByField(button, "codigo_button", "buttons") > 0)
        return false;
    Sql::exec(dm->db(), kRegister,
              {{"pcodigo_button", button}, {"ptipo_button", type}, {"pdata_cadastro", when}});
    return true;
}

void TfmDescarga::reclassify(int row)
{
    const QString button = dbgDescarga->item(row, 2)->text();
    const QString description = RegistryLookups(TdmzDados::instance()->db()).ClassifyIdentifier(button);
    m_table->first();
    for (int i = 0; i < row && !m_table->eof(); ++i)
        m_table->next();
    if (m_table->eof() || !m_table->edit() || !m_table->setValue("descricao", description) ||
        !m_table->post())
        throw DbError(m_table->lastError());
    dbgDescarga->item(row, 5)->setText(description);
}

void TfmDescarga::Cadastraridentificadoratual1Click()
{
    const int row = currentRow();
    if (row < 0)
        return;
    try {
        TdmzDados *dm = TdmzDados::instance();
        const QString button = dbgDescarga->item(row, 2)->text();
        const int total = Sql::scalar(dm->db(),
                                      QStringLiteral("select count(*) as total from buttons where "
                                                     "codigo_button = :pcod"),
                                      {{"pcod", button}})
                              .toInt();
        if (total == 0)
            Sql::exec(dm->db(), kRegister,
                      {{"pcodigo_button", button},
                       {"ptipo_button", dbgDescarga->item(row, 4)->text()},
                       {"pdata_cadastro", SystemServices::now()}});
        reclassify(row);
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
}

void TfmDescarga::Cadastrartodasasmemrias1Click()
{
    QDateTime when = SystemServices::now();
    dbgDescarga->setUpdatesEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        for (int row = 0; row < dbgDescarga->rowCount(); ++row) {
            const QString button = dbgDescarga->item(row, 2)->text();
            // Data codes (job functions, quantities) are not identifiers to register.
            if (button.startsWith('3') || button.startsWith('4'))
                continue;
            if (registerIdentifier(button, dbgDescarga->item(row, 4)->text(), when))
                when = DateTimeText::fromDays(DateTimeText::toDays(when) + kOneMinute);
            reclassify(row);
        }
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        dbgDescarga->setUpdatesEnabled(true);
        Msg::error(e.text());
        return;
    }
    m_table->flush();
    QApplication::restoreOverrideCursor();
    dbgDescarga->setUpdatesEnabled(true);
    Msg::information(QString::fromUtf8("Cadastro de identificadores concluído!"));
}
