#include "reports/TfmRelDesc.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/CommandRow.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/RegistryLists.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A printer, drawn where the icon theme has none: the button prints, it does not save.
QIcon printerIcon()
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9, 3, 14, 10));     // the sheet going in
    painter.setBrush(QColor(120, 120, 120));
    painter.drawRoundedRect(QRectF(3, 12, 26, 12), 3, 3);  // the body
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9, 20, 14, 9));     // the sheet coming out
    return QIcon(picture);
}

struct Captions {
    const char *caption;
    const char *keyLabel;
    const char *keyName;
    const char *descriptionLabel;
    const char *descriptionName;
    const char *screenCommand;
};

Captions captionsOf(DownloadsKey key)
{
    switch (key) {
    case DownloadsKey::Collector:
        return {"Relatório de Descarregamento (Coletor)", "Coletor", "edColetor", "Descrição", "edDescricao", "Vídeo"};
    case DownloadsKey::Collaborator:
        return {"Relatório de Descarregamento (Funcionário)", "Código", "edCodFun", "Nome", "edNome", "Vídeo"};
    case DownloadsKey::Event:
        return {"Relatório de Descarregamento (Evento)", "Evento", "edEvento", "Descrição", "edDescricao", "Relatório"};
    case DownloadsKey::Location:
        break;
    }
    return {"Relatório de Descarregamento (Local)", "Local", "edLocal", "Nome", "edNome_local", "Relatório"};
}

const QString kNothingFound = QString::fromUtf8("Nenhuma informação encontrada neste período!");

}  // namespace

TfmRelDesc::TfmRelDesc(DownloadsKey key, ConsistencyOpener opener, QWidget *parent)
    : QDialog(parent), m_dm(*TdmzDados::instance()), m_member(DownloadReports::member(key)),
      m_opener(std::move(opener))
{
    buildWidgets();
    FormCreate();
}

void TfmRelDesc::buildWidgets()
{
    const Captions c = captionsOf(m_member.key);
    setWindowTitle(QString::fromUtf8(c.caption));
    QStyle *st = style();

    edKey = new QLineEdit;
    edKey->setObjectName(QString::fromLatin1(c.keyName));
    edKey->setMaxLength(12);
    btPesquisa = new QToolButton;
    btPesquisa->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
    edDescricao = new QLineEdit;
    edDescricao->setObjectName(QString::fromLatin1(c.descriptionName));
    edDescricao->setEnabled(false);
    edInicio = new MaskEdit(QStringLiteral("00/00/0000;1;_"));
    edInicio->setToolTip(QStringLiteral("Data de início no formato (dd/mm/aaaa)"));
    edFim = new MaskEdit(QStringLiteral("00/00/0000;1;_"));
    edFim->setToolTip(QStringLiteral("Data final no formato (dd/mm/aaaa)"));

    auto *fields = new QGridLayout;
    fields->addWidget(new QLabel(QString::fromUtf8(c.keyLabel)), 0, 0);
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(edKey);
    keyRow->addWidget(btPesquisa);
    fields->addLayout(keyRow, 0, 1);
    fields->addWidget(new QLabel(QString::fromUtf8(c.descriptionLabel)), 1, 0);
    fields->addWidget(edDescricao, 1, 1);
    fields->addWidget(new QLabel(QString::fromUtf8("Início")), 2, 0);
    auto *dates = new QHBoxLayout;
    dates->addWidget(edInicio);
    dates->addWidget(new QLabel(QStringLiteral("Fim")));
    dates->addWidget(edFim);
    dates->addStretch();
    fields->addLayout(dates, 2, 1);

    DBGrid1 = new QTableView;
    m_grid = new QStandardItemModel(0, int(m_member.gridTitles.size()), this);
    m_grid->setHorizontalHeaderLabels(m_member.gridTitles);
    DBGrid1->setModel(m_grid);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    if (m_opener)
        DBGrid1->setToolTip(QString::fromUtf8("Duplo click para relatório de consistência"));

    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8(c.screenCommand));
    btImpressora = new QPushButton(QIcon::fromTheme(QStringLiteral("document-print"), printerIcon()),
                                   QStringLiteral("Impressora"));
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Retorna"));
    for (QPushButton *b : {btRelatorio, btImpressora, btRetorna})
        b->setAutoDefault(false);
    auto *buttons = commandRow({btRelatorio, btImpressora, btRetorna});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(btPesquisa, &QToolButton::clicked, this, &TfmRelDesc::btPesquisaclick);
    connect(edKey, &QLineEdit::editingFinished, this, &TfmRelDesc::edKeyExit);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelDesc::btRelatorioclick);
    connect(btImpressora, &QPushButton::clicked, this, &TfmRelDesc::btImpressoraclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelDesc::btRetornaclick);
    connect(DBGrid1, &QTableView::doubleClicked, this, &TfmRelDesc::DBGrid1DblClick);
}

void TfmRelDesc::FormCreate()
{
    // The downloads of a collector or collaborator are looked at over the last month.
    if (m_member.key == DownloadsKey::Collector || m_member.key == DownloadsKey::Collaborator) {
        const QDate today = SystemServices::now().date();
        edInicio->setDate(today.addDays(-30));
        edFim->setDate(today);
    }
}

int TfmRelDesc::gridRows() const { return m_grid->rowCount(); }

QStringList TfmRelDesc::gridRow(int row) const
{
    QStringList cells;
    for (int c = 0; c < m_grid->columnCount(); ++c)
        cells << m_grid->index(row, c).data().toString();
    return cells;
}

void TfmRelDesc::closeGrid()
{
    m_grid->removeRows(0, m_grid->rowCount());
    m_values.clear();
    m_gridOpen = false;
}

void TfmRelDesc::btPesquisaclick()
{
    std::unique_ptr<TfmListaBase> list;
    switch (m_member.key) {
    case DownloadsKey::Collector: list = std::make_unique<TfmListaColetores>(this); break;
    case DownloadsKey::Collaborator: list = std::make_unique<TfmListaFuncs>(this); break;
    case DownloadsKey::Event: list = std::make_unique<TfmListaEventos>(this); break;
    case DownloadsKey::Location: list = std::make_unique<TfmListaLocais>(this); break;
    }
    if (DialogRunner::exec(list.get()) != QDialog::Accepted || list->query().isEmpty())
        return;
    DownloadReports reports(m_dm);
    switch (m_member.key) {
    case DownloadsKey::Collector:
    case DownloadsKey::Collaborator: {
        const QString code =
            list->chosen(m_member.key == DownloadsKey::Collector ? "codigo_coletor" : "codigo_func").toString();
        const std::optional<QString> name = reports.describe(m_member.key, code);
        if (!name)
            return;
        edKey->setText(code);
        edDescricao->setText(*name);
        break;
    }
    case DownloadsKey::Event:
        edKey->setText(list->chosen("button_evento").toString());
        edDescricao->setText(list->chosen("desc_evento").toString());
        break;
    case DownloadsKey::Location:
        edKey->setText(list->chosen("button_local").toString());
        edDescricao->setText(list->chosen("nome_local").toString());
        break;
    }
    closeGrid();
}

void TfmRelDesc::edKeyExit()
{
    // A collaborator's code is not checked on the way out; the report finds what it finds.
    if (m_member.key == DownloadsKey::Collaborator)
        return;
    if (edKey->text().isEmpty()) {
        edDescricao->clear();
        return;
    }
    const std::optional<QString> description = DownloadReports(m_dm).describe(m_member.key, edKey->text());
    if (!description) {
        Msg::information(m_member.notRegistered);
        edKey->clear();
        edDescricao->clear();
        closeGrid();
        return;
    }
    edDescricao->setText(*description);
}

std::optional<DownloadsResult> TfmRelDesc::runQuery()
{
    DownloadsInputs in;
    in.key = m_member.key;
    in.keyValue = edKey->text();
    in.description = edDescricao->text();
    in.from = edInicio->maskedText();
    in.to = edFim->maskedText();
    std::optional<DownloadsResult> result = DownloadReports(m_dm).run(in);
    if (result) {
        // The user sees the substitutes of blank dates.
        edInicio->setMaskedText(result->from);
        edFim->setMaskedText(result->to);
    }
    return result;
}

void TfmRelDesc::showRows(const DownloadsResult &result)
{
    closeGrid();
    m_values = result.values;
    for (const QStringList &row : result.listing.sheetRows()) {
        QList<QStandardItem *> items;
        for (const QString &cell : row)
            items << new QStandardItem(cell);
        m_grid->appendRow(items);
    }
    m_gridOpen = true;
    DBGrid1->resizeColumnsToContents();
    if (m_grid->rowCount() > 0)
        DBGrid1->selectRow(0);
}

void TfmRelDesc::btRelatorioclick()
{
    if (edKey->text().isEmpty())
        return;
    const std::optional<DownloadsResult> result = runQuery();
    if (!result)
        return;
    showRows(*result);
    if (result->values.isEmpty() && m_member.emptyMessage)
        Msg::information(kNothingFound);
}

void TfmRelDesc::btImpressoraclick()
{
    if (edKey->text().isEmpty())
        return;
    const std::optional<DownloadsResult> result = runQuery();
    if (!result)
        return;
    result->listing.present(m_dm.excel, m_dm.installationName(), this);
}

void TfmRelDesc::DBGrid1DblClick()
{
    if (!m_opener || !m_gridOpen || m_values.isEmpty())
        return;
    const int row = qMax(0, DBGrid1->currentIndex().row());
    const QVariantList &values = m_values.value(row);
    // By collector the key is the collector; by collaborator the row names it.
    const QString collector = m_member.key == DownloadsKey::Collector
                                  ? edKey->text()
                                  : values.value(1).toString();
    m_opener(collector.left(12), values.value(0).toDateTime());
}
