#include "core/TfmAcesso.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/FieldLink.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

struct FlagDef {
    const char *column;
    const char *caption;
    bool indented;  // shown under the flag above it
};

// In the order the editor shows them: "Relatórios" with its three reports, "Utilitários"
// with "Senha".
const FlagDef kFlags[] = {
    {"cadastros", "Cadastros", false},         {"relatorios", "Relatórios", false},
    {"relcad", "Cadastro", true},              {"relcons", "Consistência", true},
    {"reldesc", "Descarregamento", true},      {"configuracoes", "Configurações", false},
    {"descarga", "Coleta", false},             {"memorias", "Identificadores", false},
    {"programa", "Programa", false},           {"utilitarios", "Utilitários", false},
    {"utilsen", "Senha", true},
};

DataSet &users() { return *TdmzDados::instance()->qyControl; }

// The caption of a user without a login (the initial user has none).
const QString kNoLogin = QStringLiteral("(sem login)");

// A person: head and shoulders, in the palette's highlight colour.
QIcon personIcon(const QColor &colour)
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(10, 3, 12, 12));
    painter.drawRoundedRect(QRectF(5, 17, 22, 14), 7, 7);
    return QIcon(picture);
}

}  // namespace

TfmAcesso::TfmAcesso(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Usuários do Sistema"));
    DataSet &q = users();
    q.close();
    q.setSql(QStringLiteral("select * from control order by login"));
    guarded([&q] { q.open(); });
    // Whichever way a new or changed user is left (another user clicked, "Adiciona",
    // "Retorna"), it is saved only as "Confirma" saves it: with a password.
    q.on(DataSet::Event::BeforePost, this, [](DataSet &d) {
        if (d.text("senha").isEmpty())
            throw DbError(QStringLiteral("Informe a senha!"));
    });

    lvUsuarios = new QListWidget;
    lvUsuarios->setViewMode(QListView::IconMode);
    lvUsuarios->setMovement(QListView::Static);
    lvUsuarios->setResizeMode(QListView::Adjust);
    lvUsuarios->setWrapping(true);
    lvUsuarios->setIconSize(QSize(32, 32));
    lvUsuarios->setGridSize(QSize(96, 64));
    lvUsuarios->setToolTip(QStringLiteral("Clique no usuário para realizar as alterações"));
    connect(lvUsuarios, &QListWidget::itemClicked, this, &TfmAcesso::lvUsuariosClick);
    auto *usersBox = new QGroupBox(QString::fromUtf8("Usuários"));
    auto *usersLayout = new QVBoxLayout(usersBox);
    usersLayout->addWidget(lvUsuarios);

    gbAcessos = new QGroupBox(QStringLiteral("Acessos"));
    edLogin = new QLineEdit;
    edLogin->setObjectName("edLogin");
    edLogin->setToolTip(QString::fromUtf8("Nome do usuário"));
    FieldLink::bind(edLogin, q, "login", {.upperCase = true, .maxLength = 10});
    connect(edLogin, &QLineEdit::editingFinished, this, &TfmAcesso::edLoginExit);
    edSenha = new QLineEdit;
    edSenha->setObjectName("edSenha");
    edSenha->setToolTip(QString::fromUtf8("Senha do usuário"));
    edSenha->setEchoMode(QLineEdit::Password);
    FieldLink::bind(edSenha, q, "senha", {.upperCase = true, .maxLength = 10});
    const int fieldWidth = edLogin->fontMetrics().horizontalAdvance(QString(13, u'W'));
    edLogin->setMinimumWidth(fieldWidth);
    edSenha->setMinimumWidth(fieldWidth);
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Login"), edLogin);
    fields->addRow(QStringLiteral("Senha"), edSenha);

    auto *flags = new QVBoxLayout;
    flags->setSpacing(2);
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth) + 8;
    for (const FlagDef &def : kFlags) {
        auto *box = new QCheckBox(QString::fromUtf8(def.caption));
        box->setObjectName(def.column);
        FieldLink::bind(box, q, def.column);
        m_flags << box;
        auto *row = new QHBoxLayout;
        row->setContentsMargins(def.indented ? indent : 0, 0, 0, 0);
        row->addWidget(box);
        flags->addLayout(row);
    }
    auto *accessLayout = new QVBoxLayout(gbAcessos);
    accessLayout->addLayout(fields);
    accessLayout->addSpacing(6);
    accessLayout->addLayout(flags);
    accessLayout->addStretch(1);

    const auto command = [this](const QString &caption, QStyle::StandardPixmap icon,
                                const char *theme) {
        auto *button = new QPushButton(QIcon::fromTheme(theme, style()->standardIcon(icon)),
                                       caption);
        button->setAutoDefault(false);
        return button;
    };
    btadiciona = command(QStringLiteral("Adiciona"), QStyle::SP_FileDialogNewFolder, "list-add");
    btapaga = command(QStringLiteral("Exclui"), QStyle::SP_TrashIcon, "list-remove");
    btconfirma = command(QStringLiteral("Confirma"), QStyle::SP_DialogApplyButton,
                         "document-save");
    buRetorna = command(QStringLiteral("Retorna"), QStyle::SP_DialogCloseButton, "window-close");
    connect(btadiciona, &QPushButton::clicked, this, &TfmAcesso::btadicionaclick);
    connect(btapaga, &QPushButton::clicked, this, &TfmAcesso::btapagaclick);
    connect(btconfirma, &QPushButton::clicked, this, &TfmAcesso::btconfirmaclick);
    connect(buRetorna, &QPushButton::clicked, this, &TfmAcesso::buRetornaclick);
    auto *commands = new QHBoxLayout;
    for (QPushButton *b : {btadiciona, btapaga, btconfirma, buRetorna})
        commands->addWidget(b);

    auto *top = new QHBoxLayout;
    top->addWidget(usersBox, 1);
    top->addWidget(gbAcessos);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(commands);
    resize(600, sizeHint().height());
    FormCreate();
}

TfmAcesso::~TfmAcesso()
{
    // Nothing of the window outlives it: a row left pending goes, the query closes.
    users().close();
}

QCheckBox *TfmAcesso::flag(const QString &column) const
{
    for (QCheckBox *box : m_flags)
        if (box->objectName() == column)
            return box;
    return nullptr;
}

QStringList TfmAcesso::captions() const
{
    QStringList list;
    for (int i = 0; i < lvUsuarios->count(); ++i)
        list << lvUsuarios->item(i)->text();
    return list;
}

void TfmAcesso::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(e.text());
    }
}

void TfmAcesso::setFieldsEnabled(bool enabled) { gbAcessos->setEnabled(enabled); }

void TfmAcesso::FormCreate()
{
    setFieldsEnabled(false);
    fillList();
}

void TfmAcesso::fillList()
{
    lvUsuarios->clear();
    const DataSet &q = users();
    if (!q.isActive())
        return;
    const QIcon person = QIcon::fromTheme("user-identity", personIcon(palette().color(QPalette::Highlight)));
    // Item i is row i of the query: two users may share a login, and the one pointed at is
    // the one acted on.
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString login = q.textAt(r, "login");
        lvUsuarios->addItem(new QListWidgetItem(person, login.isEmpty() ? kNoLogin : login));
    }
}

void TfmAcesso::leavePending()
{
    DataSet &q = users();
    if (!q.isEditing())
        return;
    if (!q.modified()) {
        q.cancel();
        return;
    }
    q.post();  // refused without a password (the BeforePost rule): the row stays as typed
    q.refresh();
    fillList();
}

void TfmAcesso::lvUsuariosClick(QListWidgetItem *item)
{
    if (!item)
        return;
    guarded([this, item] {
        DataSet &q = users();
        const int row = lvUsuarios->row(item);
        if (row < 0 || row >= q.recordCount())
            return;
        // The user's key, read before a pending row is saved and the list rebuilt.
        const QVariantList key{q.valueAt(row, "login"), q.valueAt(row, "senha")};
        const bool pending = q.isEditing();
        leavePending();
        if (pending) {
            if (!q.locate(QStringList{"login", "senha"}, key))
                return;
        } else {
            q.setRecNo(row + 1);
        }
        setFieldsEnabled(true);
        edLogin->setFocus();
    });
}

void TfmAcesso::btadicionaclick()
{
    guarded([this] {
        DataSet &q = users();
        if (!q.isActive())
            return;
        leavePending();
        if (!q.append())
            return;
        // A new user may do everything until told otherwise.
        for (QCheckBox *box : std::as_const(m_flags))
            q.setValue(box->objectName(), 0);
        setFieldsEnabled(true);
        edLogin->setFocus();
    });
}

void TfmAcesso::edLoginExit()
{
    guarded([this] {
        DataSet &q = users();
        if (q.state() != DataSet::State::Insert)
            return;
        QSqlQuery same = Sql::exec(TdmzDados::instance()->db(),
                                   QStringLiteral("select * from control where login = :log"),
                                   {{"log", q.text("login")}});
        if (!same.next())
            return;
        // Only a warning: the same login with another password is a row of its own.
        Msg::information(QString::fromUtf8("Nome de usuário já existente!"));
        edLogin->setFocus();
    });
}

void TfmAcesso::btconfirmaclick()
{
    guarded([this] {
        DataSet &q = users();
        if (!q.isActive() || (q.isEmpty() && !q.isEditing()))
            return;
        if (q.text("senha").isEmpty()) {
            Msg::warning(QStringLiteral("Informe a senha!"));
            edSenha->setFocus();
            return;
        }
        // A refused save (the same login and password exist) throws: the row stays as typed.
        q.post();
        setFieldsEnabled(false);
        q.refresh();
        fillList();
        Msg::information(QString::fromUtf8("Informações gravadas com sucesso!"));
    });
}

void TfmAcesso::btapagaclick()
{
    guarded([this] {
        DataSet &q = users();
        // Only the user chosen in the list (or being added) is deleted, never a row the
        // user did not point at.
        if (!gbAcessos->isEnabled() || !q.isActive() || (q.isEmpty() && !q.isEditing()))
            return;
        q.remove();
        setFieldsEnabled(false);
        q.refresh();
        fillList();
    });
}

void TfmAcesso::buRetornaclick()
{
    guarded([this] {
        if (TdmzDados::instance()->ConfirmPendingEdit(users()))
            accept();
    });
}

void TfmAcesso::reject() { buRetornaclick(); }
