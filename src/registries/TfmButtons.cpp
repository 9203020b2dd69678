#include "registries/TfmButtons.h"

#include "collection/terminals/TfmLerButton.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/DateTimeText.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "registries/IdentifierLists.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QToolButton>

namespace {
const std::pair<const char *, const char *> kReferences[] = {
    {"F", "Colaborador"}, {"L", "Local"}, {"E", "Evento"}};
}

TfmButtons::TfmButtons(QWidget *parent)
    : RegistrationWindow(QStringLiteral("Identificadores"), *TdmzDados::instance()->qyButtons,
                         parent)
{
    DataSet &q = query();
    edCodigo = new QLineEdit;
    edCodigo->setObjectName("codigo_button");
    edCodigo->setToolTip(QString::fromUtf8("Informe somente os 6 (seis) últimos dígitos da memória"));
    FieldLink::bind(edCodigo, q, "codigo_button", {.upperCase = true, .maxLength = 6});
    btLer = new QToolButton;
    btLer->setIcon(QIcon::fromTheme("input-keyboard", style()->standardIcon(QStyle::SP_DriveHDIcon)));
    btLer->setToolTip(QStringLiteral("Ler o ibutton a partir do DS9"));
    auto *codeRow = new QHBoxLayout;
    codeRow->addWidget(edCodigo, 1);
    codeRow->addWidget(btLer);
    form()->addRow(QStringLiteral("Código "), codeRow);
    setFirstField(edCodigo);

    edDataCadastro = new QLineEdit;
    edDataCadastro->setReadOnly(true);
    FieldLink::bind(edDataCadastro, q, "data_cadastro", {.readOnly = true});
    lbDataCadastro = new QLabel(QStringLiteral("Data de Cadastro"));
    lbDataCadastro->setToolTip(QString::fromUtf8("Clique duas vezes para ver o valor guardado"));
    lbDataCadastro->installEventFilter(this);
    form()->addRow(lbDataCadastro, edDataCadastro);

    cbReferencia = new QComboBox;
    for (const auto &[mark, caption] : kReferences)
        cbReferencia->addItem(QString::fromUtf8(caption), QString::fromLatin1(mark));
    cbReferencia->setEnabled(false);  // ownership follows the owners, it is never typed here
    form()->addRow(QString::fromUtf8("Referência"), cbReferencia);

    setSearch([this] { return std::make_unique<TfmListaButtons>(this); }, "codigo_button",
              "codigo_button", true, true);

    connect(btLer, &QToolButton::clicked, this, &TfmButtons::btLerclick);
    connect(&q, &DataSet::currentRowChanged, this, &TfmButtons::showReference);
    connect(&q, &DataSet::dataReset, this, &TfmButtons::showReference);
    connect(&q, &DataSet::fieldChanged, this, &TfmButtons::showReference);
    connect(&q, &DataSet::rowUpdated, this, &TfmButtons::showReference);

    q.setSql(QStringLiteral("select * from buttons"));
    openQuery();
    showReference();
}

void TfmButtons::showReference()
{
    const DataSet &q = query();
    const QString mark =
        q.isActive() && (q.isEditing() || !q.isEmpty()) ? q.text("referencia").trimmed() : QString();
    cbReferencia->setCurrentIndex(mark.isEmpty() ? -1 : cbReferencia->findData(mark));
}

void TfmButtons::btadicionaclick()
{
    guarded([this] {
        DataSet &q = query();
        if (q.state() == DataSet::State::Insert && q.text("codigo_button").isEmpty())
            return;
        q.append();
        focusFirstField();
    });
}

void TfmButtons::btLerclick()
{
    guarded([this] {
        TfmLerButton reader(this);
        reader.setPort(TdmzDados::instance()->config().readInteger("DS9", "PORTA", 1));
        // Closed with nothing read: the row is neither put in edit nor emptied.
        if (DialogRunner::exec(&reader) != QDialog::Accepted || reader.code().isEmpty())
            return;
        DataSet &q = query();
        if (q.state() == DataSet::State::Browse)
            q.edit();
        q.setValue("codigo_button", reader.code());
    });
}

QString TfmButtons::dataCadastroAsNumber() const
{
    const QVariant value = query().value("data_cadastro");
    if (value.isNull() || !value.toDateTime().isValid())
        return QStringLiteral("0");
    const double days = DateTimeText::toDays(value.toDateTime());
    // As the system prints a floating number: up to 15 significant digits, no trailing zeros.
    QString text = QLocale(QLocale::Portuguese, QLocale::Brazil).toString(days, 'g', 15);
    text.remove(QLocale(QLocale::Portuguese, QLocale::Brazil).groupSeparator());
    return text;
}

void TfmButtons::lbDataCadastroDblClick()
{
    if (!query().isActive() || (query().isEmpty() && !query().isEditing()))
        return;
    Msg::information(dataCadastroAsNumber());
}

bool TfmButtons::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lbDataCadastro && event->type() == QEvent::MouseButtonDblClick) {
        lbDataCadastroDblClick();
        return true;
    }
    return RegistrationWindow::eventFilter(watched, event);
}
