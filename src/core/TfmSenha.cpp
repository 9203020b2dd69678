#include "core/TfmSenha.h"

#include "core/Artwork.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/CommandRow.h"
#include "platform/MessageService.h"

#include <QCursor>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QLineEdit *upperCaseField(int maxLength)
{
    auto *field = new QLineEdit;
    field->setMaxLength(maxLength);
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = field->cursorPosition();
            field->setText(upper);
            field->setCursorPosition(cursor);
        }
    });
    return field;
}

const char *const kFlags[] = {"cadastros", "relatorios", "configuracoes", "utilitarios",
                              "descarga",  "memorias",   "programa",      "relcad",
                              "reldesc",   "relcons",    "utilsen"};

}  // namespace

TfmSenha::TfmSenha(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Controle de Rotas"));
    // Neither minimise nor maximise. The close box is asked for on purpose: with no window
    // function named at all, Qt lets an X11 window manager offer every one of them. Closing
    // is the same as "Cancela".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    edLogin = upperCaseField(10);
    edSenha = upperCaseField(10);
    edSenha->setEchoMode(QLineEdit::Password);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Login"), edLogin);
    form->addRow(QStringLiteral("Senha"), edSenha);

    btconfirma = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                 QStringLiteral("Confima"));
    btcancela = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancela"));
    btconfirma->setAutoDefault(false);
    btcancela->setAutoDefault(false);
    auto *buttons = commandRow({btconfirma, btcancela});

    auto *picture = new QLabel;
    picture->setPixmap(Artwork::logo(64));
    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(form, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    // A fixed size as well: a window manager that ignores the hints still has nothing to
    // maximise.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(320);

    connect(btconfirma, &QPushButton::clicked, this, &TfmSenha::btconfirmaclick);
    connect(btcancela, &QPushButton::clicked, this, &TfmSenha::btcancelaclick);
    edLogin->installEventFilter(this);
    edSenha->installEventFilter(this);
    edLogin->setFocus();
}

bool TfmSenha::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == edLogin)
                edSenha->setFocus();
            else
                btconfirmaclick();
            return true;
        }
        if (key == Qt::Key_Escape) {
            btcancelaclick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfmSenha::keyPressEvent(QKeyEvent *event)
{
    // Enter must not reach QDialog's default-button handling; Esc cancels.
    if (event->key() == Qt::Key_Escape) {
        btcancelaclick();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QDialog::keyPressEvent(event);
}

void TfmSenha::btconfirmaclick()
{
    TdmzDados *dm = TdmzDados::instance();
    dm->login = edLogin->text();
    dm->senha = edSenha->text();
    // The server compares with the column's collation: letter case, accents and trailing blanks
    // would not count. The rows of the login are fetched and the password compared here, exactly.
    QSqlQuery q;
    try {
        q = Sql::exec(dm->db(), QStringLiteral("select * from control where login = :plogin"),
                      {{"plogin", dm->login}});
    } catch (const DbError &e) {
        Msg::error(e.text());
        return;
    }
    bool found = false;
    while (!found && q.next())
        found = q.value(QStringLiteral("login")).toString() == dm->login
                && q.value(QStringLiteral("senha")).toString() == dm->senha;
    if (!found) {
        ++m_failures;
        Msg::error(QStringLiteral("Senha inválida!"));
        edLogin->setFocus();
        edSenha->clear();
        if (terminated())
            reject();
        return;
    }
    m_flags.clear();
    for (const char *flag : kFlags)
        m_flags.insert(QString::fromLatin1(flag), q.value(QString::fromLatin1(flag)).toInt());
    accept();
}

void TfmSenha::btcancelaclick() { reject(); }

void TfmSenha::showEvent(QShowEvent *event)
{
    // The login opens before the main window is on screen, so Qt would place it over that
    // window's default spot, a corner of the screen: it is centred on the screen instead (the
    // one under the mouse, where the user is looking).
    const QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen && !event->spontaneous()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
