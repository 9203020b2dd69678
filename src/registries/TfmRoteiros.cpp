#include "registries/TfmRoteiros.h"

#include "registries/RouteStops.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "core/db/Sql.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "platform/TextCut.h"
#include "registries/IdentifierLists.h"
#include "registries/RegistryLists.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kRoutesSql = QStringLiteral("select * from roteiros order by codigo_roteiro");
const QString kStopsSql = QStringLiteral("select * from descrot where codigo_roteiro = "
                                         ":codigo_roteiro\norder by ordem");

QLineEdit *minutesField(DataSet &q, const QString &field)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(field);
    edit->setMaximumWidth(90);
    FieldLink::bind(edit, q, field, {.upperCase = false, .maxLength = 11});
    return edit;
}

}  // namespace

TfmRoteiros::TfmRoteiros(QWidget *parent)
    : RegistrationWindow(QStringLiteral("Roteiros"), *TdmzDados::instance()->qyRoteiros, parent)
{
    TdmzDados *dm = TdmzDados::instance();
    DataSet &q = query();

    // The reference: the event's description, filled only through the event list.
    edDesc_eve = new QLineEdit;
    edDesc_eve->setReadOnly(true);
    edDesc_eve->setToolTip(QString::fromUtf8("Evento referência para início e fim do roteiro. "
                                             "(Duplo clique p/ limpar)"));
    edDesc_eve->installEventFilter(this);
    jvBitmapButton1 = new QToolButton;
    jvBitmapButton1->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    jvBitmapButton1->setToolTip(QStringLiteral("Escolher o evento referência"));
    auto *refRow = new QHBoxLayout;
    refRow->addWidget(edDesc_eve, 1);
    refRow->addWidget(jvBitmapButton1);
    form()->addRow(QString::fromUtf8("Referência"), refRow);
    setFirstField(edDesc_eve);

    edNome = new QLineEdit;
    FieldLink::bind(edNome, q, "nome_roteiro", {.upperCase = true, .maxLength = 40});
    form()->addRow(QStringLiteral("Nome do Roteiro"), edNome);
    edEmpresa = new QLineEdit;
    FieldLink::bind(edEmpresa, q, "empresa", {.upperCase = true, .maxLength = 40});
    form()->addRow(QStringLiteral("Nome da Empresa"), edEmpresa);
    edHoraSaida = addTime(QString::fromUtf8("Hora saída"), "hora_saida");
    edHoraChegada = addTime(QStringLiteral("Hora chegada"), "hora_chegada");

    auto *rules = new QWidget;
    auto *rulesLayout = new QHBoxLayout(rules);
    rulesLayout->setContentsMargins(0, 0, 0, 0);

    auto *routeTime = new QGroupBox(QStringLiteral("Tempo do Roteiro (minuto)"));
    auto *routeTimeForm = new QFormLayout(routeTime);
    ckTempoRoteiro = addFlag(nullptr, QStringLiteral("Controlar tempo"), "temporoteiro",
                             QStringLiteral("Tempo, em minutos, entre o primeiro local do "
                                            "roteiro e o último"));
    routeTimeForm->addRow(ckTempoRoteiro);
    edTRotMin = minutesField(q, "t_rot_min");
    edTRotMax = minutesField(q, "t_rot_max");
    routeTimeForm->addRow(QString::fromUtf8("Tempo Mínimo:"), edTRotMin);
    routeTimeForm->addRow(QString::fromUtf8("Tempo Máximo:"), edTRotMax);
    rulesLayout->addWidget(routeTime);

    auto *between = new QVBoxLayout;
    ckTempoLocais = addFlag(nullptr, QStringLiteral("Controlar tempo entre Locais"),
                            "tempo_locais", {});
    ckTempoPadrao = addFlag(nullptr, QString::fromUtf8("Tempo padrão/específico"), "tempo_padrao",
                            QString::fromUtf8("Marcado = Tempo Padrão / Desmarcado = Tempo "
                                              "Específico"));
    auto *standard = new QGroupBox(QString::fromUtf8("Tempo Padrão (minuto)"));
    auto *standardForm = new QFormLayout(standard);
    edTMinPadrao = minutesField(q, "t_min_padrao");
    edTMaxPadrao = minutesField(q, "t_max_padrao");
    standardForm->addRow(QString::fromUtf8("Tempo Mínimo:"), edTMinPadrao);
    standardForm->addRow(QString::fromUtf8("Tempo Máximo:"), edTMaxPadrao);
    ckOrdemVisitas = addFlag(nullptr, QString::fromUtf8("Verificar sequência programada"),
                             "ordemvisitas",
                             QString::fromUtf8("Confere a sequência de visitas de acordo com a "
                                               "sequência programada"));
    between->addWidget(ckTempoLocais);
    between->addWidget(ckTempoPadrao);
    between->addWidget(standard);
    between->addWidget(ckOrdemVisitas);
    rulesLayout->addLayout(between);
    form()->addRow(rules);
    addReadOnly(QStringLiteral("Data do Cadastro"), "data_cadastro");

    // The stops.
    m_stops = new DataSet(dm->db(), this);
    m_stops->setSql(kStopsSql);
    m_stops->setTable("descrot");
    m_stopsModel = new DataSetModel(*m_stops, this);
    m_stopsModel->addColumn("ordem", QStringLiteral("Ordem"), 60);
    m_stopsModel->addColumn("nome_local", QStringLiteral("Nome Local"), 260);
    m_stopsModel->addColumn("codigo_local", QStringLiteral("codigo_local"), 90);
    auto *stopsBox = new QGroupBox(QStringLiteral("Sequência de Locais do Roteiro"));
    auto *stopsLayout = new QHBoxLayout(stopsBox);
    dbgLocais = new QTableView;
    dbgLocais->setModel(m_stopsModel);
    m_stopsModel->bindView(dbgLocais);
    dbgLocais->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgLocais->verticalHeader()->hide();
    TfmListaBase::sizeColumns(dbgLocais, 1);  // the location's name takes the room
    stopsLayout->addWidget(dbgLocais, 1);
    auto *stopSide = new QVBoxLayout;
    auto *specific = new QGroupBox(QString::fromUtf8("Tempo Específico (minuto)"));
    auto *specificForm = new QFormLayout(specific);
    const QString hint = QStringLiteral("<-- Tempo entre o local selecionado e o local anterior");
    edTMin = minutesField(*m_stops, "t_min");
    edTMax = minutesField(*m_stops, "t_max");
    edTMin->setToolTip(hint);
    edTMax->setToolTip(hint);
    specificForm->addRow(QString::fromUtf8("Tempo Mínimo:"), edTMin);
    specificForm->addRow(QString::fromUtf8("Tempo Máximo:"), edTMax);
    stopSide->addWidget(specific);
    auto stopButton = [&](const QString &caption, QStyle::StandardPixmap icon) {
        auto *b = new QPushButton(style()->standardIcon(icon), caption);
        b->setAutoDefault(false);
        stopSide->addWidget(b);
        return b;
    };
    btAdicionaL = stopButton(QStringLiteral("A&diciona"), QStyle::SP_FileDialogNewFolder);
    btApagaL = stopButton(QStringLiteral("E&xclui"), QStyle::SP_TrashIcon);
    btAcima = stopButton(QStringLiteral("Ac&ima"), QStyle::SP_ArrowUp);
    btAbaixo = stopButton(QStringLiteral("A&baixo"), QStyle::SP_ArrowDown);
    stopSide->addStretch();
    stopsLayout->addLayout(stopSide);
    form()->addRow(stopsBox);

    connect(jvBitmapButton1, &QToolButton::clicked, this, &TfmRoteiros::jvBitmapButton1click);
    connect(btAdicionaL, &QPushButton::clicked, this, &TfmRoteiros::btAdicionaLclick);
    connect(btApagaL, &QPushButton::clicked, this, &TfmRoteiros::btApagaLclick);
    connect(btAcima, &QPushButton::clicked, this, &TfmRoteiros::btAcimaclick);
    connect(btAbaixo, &QPushButton::clicked, this, &TfmRoteiros::btAbaixoclick);
    disconnect(buRetorna, nullptr, this, nullptr);
    connect(buRetorna, &QPushButton::clicked, this, &TfmRoteiros::btRetornaclick);

    // A route needs its name, whichever command saves it.
    q.on(DataSet::Event::BeforePost, this, [](DataSet &route) {
        if (route.text("nome_roteiro").trimmed().isEmpty()) {
            Msg::error(QStringLiteral("Favor informar o nome do roteiro."));
            throw DataSetAbort();
        }
    });
    q.on(DataSet::Event::AfterScroll, this, [this](DataSet &) {
        openStops();
        showReference();
    });

    setSearch([this] { return std::make_unique<TfmListaRoteiros>(this); }, "nome_roteiro",
              "nome_roteiro", true, true);
    q.setSql(kRoutesSql);
    openQuery();
    openStops();
    showReference();
    resize(760, 700);
}

TfmRoteiros::~TfmRoteiros() = default;

QString TfmRoteiros::position(int n) { return RouteStops::position(n); }

QCheckBox *TfmRoteiros::addFlag(QWidget *, const QString &caption, const QString &field,
                                const QString &hint)
{
    auto *box = new QCheckBox(caption);
    box->setObjectName(field);
    if (!hint.isEmpty())
        box->setToolTip(hint);
    FieldLink::bind(box, query(), field);
    return box;
}

MaskEdit *TfmRoteiros::addTime(const QString &caption, const QString &field)
{
    auto *edit = new MaskEdit;
    edit->setObjectName(field);
    edit->setDelphiMask(QStringLiteral("!90:00;1;_"));
    edit->setMaximumWidth(80);
    form()->addRow(caption, edit);
    DataSet &q = query();
    // Written when the field is left, so a half-typed time is never taken for a wrong one.
    auto show = [edit, field, &q] {
        const bool hasRow = q.isActive() && (q.isEditing() || !q.isEmpty());
        edit->setEnabled(hasRow);
        const QTime t = hasRow ? q.value(field).toTime() : QTime();
        edit->setMaskedText(t.isValid() ? t.toString(QStringLiteral("hh:mm")) : QString());
    };
    connect(&q, &DataSet::currentRowChanged, edit, show);
    connect(&q, &DataSet::dataReset, edit, show);
    connect(&q, &DataSet::rowUpdated, edit, show);
    connect(&q, &DataSet::stateChanged, edit, show);
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, field, show] {
        guarded([&] {
            DataSet &route = query();
            const QTime current = route.value(field).toTime();
            if (edit->isBlank()) {
                if (!route.isNull(field))
                    route.setValue(field, QVariant());
                return;
            }
            const QTime typed = QTime::fromString(edit->maskedText().replace(' ', '0'),
                                                  QStringLiteral("hh:mm"));
            if (!typed.isValid()) {
                Msg::error(QString::fromUtf8("Hora inválida: ") + edit->maskedText());
                show();
                return;
            }
            if (typed != current)
                route.setValue(field, typed);
        });
    });
    return edit;
}

void TfmRoteiros::openStops()
{
    guarded([this] {
        if (m_stops->isEditing())
            m_stops->post();
        m_stops->close();
        const DataSet &q = query();
        const int route = q.isActive() && !q.isEmpty() && q.state() != DataSet::State::Insert
                              ? q.asInt("codigo_roteiro")
                              : 0;
        m_stops->setParam("codigo_roteiro", route);
        m_stops->open();
        m_stops->first();
    });
}

void TfmRoteiros::showReference()
{
    TdmzDados *dm = TdmzDados::instance();
    const DataSet &q = query();
    const QString reference =
        q.isActive() && (q.isEditing() || !q.isEmpty()) ? q.text("button_referencia") : QString();
    QString description;
    guarded([&] {
        if (!reference.isEmpty() && dm->FindByField(reference, "button_evento", "eventos"))
            description = dm->qyProcura->text("desc_evento");
    });
    edDesc_eve->setText(description);
}

void TfmRoteiros::btadicionaclick()
{
    guarded([this] {
        DataSet &q = query();
        if (!q.append())
            return;
        q.setValue("data_cadastro",
                   SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
        for (const char *flag : {"tempo_locais", "tempo_padrao", "ordemvisitas", "temporoteiro"})
            q.setValue(flag, -1);
        for (const char *time : {"t_rot_min", "t_rot_max", "t_min_padrao", "t_max_padrao"})
            q.setValue(time, QStringLiteral("0"));
        edDesc_eve->clear();
        focusFirstField();
    });
}

void TfmRoteiros::btapagaclick()
{
    guarded([this] {
        DataSet &q = query();
        if (!q.isActive() || q.isEmpty())
            return;
        if (!Msg::confirm(QStringLiteral("Deseja realmente excluir este registro?")))
            return;
        if (q.state() == DataSet::State::Insert) {
            q.cancel();
            return;
        }
        // The route goes with its stops, or neither goes; the list then shows what the database
        // holds, also when the removal failed.
        try {
            RouteStops::removeRoute(TdmzDados::instance()->db(), q.asInt("codigo_roteiro"));
        } catch (const DbError &) {
            q.refresh();
            throw;
        }
        q.refresh();
        edDesc_eve->clear();
    });
}

void TfmRoteiros::btLocalizaclick()
{
    RegistrationWindow::btLocalizaclick();
    showReference();
}

void TfmRoteiros::btRetornaclick() { buRetornaClick(); }

void TfmRoteiros::jvBitmapButton1click()
{
    guarded([this] {
        DataSet &q = query();
        if (!q.isActive())
            return;
        if (!q.isEditing() && !q.edit())
            return;
        TfmListaButtonsRef list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
            return;
        const QString description = list.chosen("desc_evento").toString();
        const QString identifier = list.chosen("button_evento").toString();
        if (identifier.isEmpty()) {
            Msg::information(QString::fromUtf8("Nenhuma memória associada ao evento ") +
                             description + "!");
            return;
        }
        QSqlQuery other = Sql::exec(
            TdmzDados::instance()->db(),
            QStringLiteral("select nome_roteiro from roteiros where button_referencia = "
                           ":pbutton_referencia and codigo_roteiro <> :pcodigo_roteiro"),
            {{"pbutton_referencia", identifier},
             {"pcodigo_roteiro", q.state() == DataSet::State::Insert ? 0 : q.asInt("codigo_roteiro")}});
        if (other.next()) {
            Msg::information(QString::fromUtf8("Este evento já é referência do roteiro ") +
                             other.value(0).toString() + "!");
            return;
        }
        q.setValue("button_referencia", identifier);
        edDesc_eve->setText(description);
    });
}

void TfmRoteiros::edDesc_eveDblClick()
{
    guarded([this] {
        DataSet &q = query();
        if (!q.isActive() || q.isEmpty() || q.state() == DataSet::State::Insert ||
            q.text("button_referencia").isEmpty())
            return;
        Sql::exec(TdmzDados::instance()->db(),
                  QStringLiteral("UPDATE roteiros SET button_referencia= \"\"") +
                      QStringLiteral(" where codigo_roteiro = :pcodigo_roteiro"),
                  {{"pcodigo_roteiro", q.asInt("codigo_roteiro")}});
        // The row in memory follows the database; the description stays until the route is
        // shown again.
        if (q.state() == DataSet::State::Browse) {
            const QString shown = edDesc_eve->text();
            q.refresh();
            edDesc_eve->setText(shown);
        }
    });
}

void TfmRoteiros::btAdicionaLclick()
{
    guarded([this] {
        TfmListaLocais list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
            return;
        const int location = list.chosen("codigo_local").toInt();
        const QString name = TextCut::left(list.chosen("nome_local").toString(), 40);
        DataSet &q = query();
        if (q.state() == DataSet::State::Insert && !q.post())
            return;  // refused (no name): nothing is added
        if (q.isEmpty() || location <= 0)
            return;
        RouteStops::add(TdmzDados::instance()->db(), q.asInt("codigo_roteiro"), location, name);
        openStops();
        m_stops->last();
    });
}

void TfmRoteiros::btApagaLclick()
{
    guarded([this] {
        if (!m_stops->isActive() || m_stops->isEmpty())
            return;
        m_stops->cancel();
        RouteStops::remove(TdmzDados::instance()->db(), m_stops->asInt("cod"));
        openStops();
    });
}

void TfmRoteiros::moveStop(int direction)
{
    guarded([&] {
        if (!m_stops->isActive() || m_stops->recordCount() < 2)
            return;
        if (m_stops->isEditing())
            m_stops->post();
        const int row = m_stops->currentRow();
        const int neighbour = row + direction;
        if (row < 0 || neighbour < 0 || neighbour >= m_stops->recordCount())
            return;
        const QVariant moved = m_stops->valueAt(row, "cod");
        // The neighbour is the one in the database now: another workstation may have changed
        // the route since the grid was read.
        RouteStops::move(TdmzDados::instance()->db(), moved.toInt(), direction);
        openStops();
        // The moved stop stays selected, so pressing "Acima" again moves it further.
        m_stops->locate("cod", moved);
    });
}

void TfmRoteiros::btAcimaclick() { moveStop(-1); }

void TfmRoteiros::btAbaixoclick() { moveStop(+1); }

bool TfmRoteiros::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edDesc_eve && event->type() == QEvent::MouseButtonDblClick) {
        edDesc_eveDblClick();
        return true;
    }
    return RegistrationWindow::eventFilter(watched, event);
}

void TfmRoteiros::done(int result)
{
    // A stop being edited is saved; an unsaved route change is discarded.
    guarded([this] {
        if (m_stops->isEditing())
            m_stops->post();
    });
    m_stops->close();
    RegistrationWindow::done(result);
}
