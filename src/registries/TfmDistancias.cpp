#include "registries/TfmDistancias.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"
#include "registries/RegistryLists.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace {

// The name of the location holding the identifier `code`, as the window shows it beside a
// point. An empty point is no identifier: it names no location, not even one registered
// without an identifier.
QString locationNameOf(const QString &sql, const QString &parameter, const QString &code)
{
    if (code.isEmpty())
        return {};
    QSqlQuery q = Sql::exec(TdmzDados::instance()->db(), sql, {{parameter, code}});
    return q.next() ? q.value(QStringLiteral("nome_local")).toString() : QString();
}

}  // namespace

TfmDistancias::TfmDistancias(QWidget *parent)
    : RegistrationWindow(QString::fromUtf8("Distâncias entre locais"),
                         *TdmzDados::instance()->qyDistancia, parent)
{
    // The query may still be open, with a pending change, from the last opening. Opened
    // before the fields are bound, so they know the columns' types.
    if (!query().isActive()) {
        query().setSql(QStringLiteral("select * from distancia "));
        openQuery();
    }
    edDescricao = addText(QString::fromUtf8("Descrição"), "descricao",
                          {.upperCase = true, .maxLength = 100});
    edKm = addText(QStringLiteral("KM"), "km", {.maxLength = 13});
    edKm->setMaximumWidth(edKm->fontMetrics().horizontalAdvance(QString(16, u'0')));
    edPontoA = addPoint(QStringLiteral("Ponto A"), "pontoA", lbLocalA, btPontoA);
    edPontoB = addPoint(QStringLiteral("Ponto B"), "pontoB", lbLocalB, btPontoB);
    setFirstField(edDescricao);
    // Moving to the chosen distance saves a pending change instead of discarding it.
    setSearch([this] { return std::make_unique<TfmListaDistancias>(this); }, "iddistancia",
              "iddistancia", false, false);
    setKeepQueryOpen(true);

    DataSet &q = query();
    for (auto signal : {&DataSet::currentRowChanged, &DataSet::dataReset})
        connect(&q, signal, this, &TfmDistancias::showLocationNames);
    connect(&q, &DataSet::stateChanged, this, &TfmDistancias::showLocationNames);
    connect(&q, &DataSet::rowUpdated, this, &TfmDistancias::showLocationNames);
    connect(&q, &DataSet::fieldChanged, this, [this](const QString &field) {
        if (field.startsWith(QStringLiteral("ponto"), Qt::CaseInsensitive))
            showLocationNames();
    });
    connect(btPontoA, &QToolButton::clicked, this, [this] { btPontoAclick(); });
    connect(btPontoB, &QToolButton::clicked, this, [this] { btPontoBclick(); });
    showLocationNames();
    resize(620, sizeHint().height());
}

QLineEdit *TfmDistancias::addPoint(const QString &caption, const QString &field,
                                   QLineEdit *&name, QToolButton *&button)
{
    // The code may be typed, or filled by choosing the location.
    auto *edit = new QLineEdit;
    edit->setObjectName(field);
    FieldLink::bind(edit, query(), field, {.upperCase = true, .maxLength = 10});
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(14, u'W')));
    button = new QToolButton;
    button->setObjectName("bt" + field);
    button->setIcon(QIcon::fromTheme("edit-find", style()->standardIcon(QStyle::SP_ArrowRight)));
    button->setToolTip(QStringLiteral("Escolher o local"));
    name = new QLineEdit;
    name->setObjectName("lbLocal" + field.right(1));
    name->setReadOnly(true);
    name->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(button);
    row->addWidget(name, 1);
    form()->addRow(caption, row);
    return edit;
}

void TfmDistancias::btPontoAclick()
{
    choosePoint({"pontoA", "pontoB",
                 QString::fromUtf8("Escolha um outro local, pois esse local já está associado "
                                   "ao ponto B")});
}

void TfmDistancias::btPontoBclick()
{
    choosePoint({"pontoB", "pontoA",
                 QString::fromUtf8("Escolha um outro local, pois esse local já está associado "
                                   "ao ponto A")});
}

void TfmDistancias::choosePoint(const Point &point)
{
    guarded([&] {
        TfmListaLocais list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted)
            return;
        if (!list.chosen("codigo_local").isValid())
            return;  // the search found no location
        const QString code = list.chosen("button_local").toString();
        DataSet &q = query();
        if (!q.isEditing() && !q.edit())
            return;
        // A location without identifier names no point, so it never clashes with the other.
        if (!code.isEmpty() && code == q.text(point.other)) {
            Msg::warning(point.refusal);
            return;
        }
        q.setValue(point.field, code);
        showLocationNames();
    });
}

void TfmDistancias::showLocationNames()
{
    guarded([this] {
        const DataSet &q = query();
        const bool row = q.isActive() && (q.isEditing() || !q.isEmpty());
        lbLocalA->setText(row ? locationNameOf(QStringLiteral("select * from locais where "
                                                              "button_local = :pontoa"),
                                               "pontoa", q.text("pontoA"))
                              : QString());
        lbLocalB->setText(row ? locationNameOf(QStringLiteral("select * from locais where "
                                                              "button_local = :pontob"),
                                               "pontob", q.text("pontoB"))
                              : QString());
    });
}
