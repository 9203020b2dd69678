#include "core/TfmAjuda.h"

#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// The help text is kept in UTF-8; an older copy edited on a Windows machine may be Latin-1.
QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

}  // namespace

TfmAjuda::TfmAjuda(const QString &path, QWidget *parent) : QDialog(parent), m_path(path)
{
    setWindowTitle(QStringLiteral("Ajuda - TORVEL"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    mmTexto = new QPlainTextEdit;
    mmTexto->setReadOnly(true);
    mmTexto->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The text is laid out in columns with underlined headings: it reads right only in a
    // fixed-width font.
    mmTexto->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *label = new QLabel(QStringLiteral("&Procurar:"));
    edProcura = new QLineEdit;
    edProcura->setClearButtonEnabled(true);
    label->setBuddy(edProcura);
    btProxima = new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown),
                                QStringLiteral("Pró&xima"));
    btAnterior = new QPushButton(style()->standardIcon(QStyle::SP_ArrowUp),
                                 QStringLiteral("A&nterior"));
    btProxima->setToolTip(QStringLiteral("Próxima ocorrência (Enter, F3)"));
    btAnterior->setToolTip(QStringLiteral("Ocorrência anterior (Shift+Enter, Shift+F3)"));
    lbProcura = new QLabel;
    auto *search = new QHBoxLayout;
    search->addWidget(label);
    search->addWidget(edProcura, 1);
    search->addWidget(btProxima);
    search->addWidget(btAnterior);
    search->addWidget(lbProcura);

    btAbrir = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon),
                              QStringLiteral("Abrir no &editor de texto"));
    btAbrir->setToolTip(QStringLiteral("Abre o arquivo de ajuda no programa de textos do sistema"));
    btFechar = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                               QStringLiteral("&Fechar"));
    for (QPushButton *b : {btProxima, btAnterior, btAbrir, btFechar})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btAbrir);
    buttons->addStretch();
    buttons->addWidget(btFechar);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(search);
    layout->addWidget(mmTexto, 1);
    layout->addLayout(buttons);

    connect(btProxima, &QPushButton::clicked, this, &TfmAjuda::btProximaclick);
    connect(btAnterior, &QPushButton::clicked, this, &TfmAjuda::btAnteriorclick);
    connect(btAbrir, &QPushButton::clicked, this, &TfmAjuda::btAbrirclick);
    connect(btFechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(edProcura, &QLineEdit::textChanged, lbProcura, &QLabel::clear);
    edProcura->installEventFilter(this);
    auto *next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, &TfmAjuda::btProximaclick);
    auto *previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, &TfmAjuda::btAnteriorclick);
    auto *findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] {
        edProcura->setFocus();
        edProcura->selectAll();
    });

    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        mmTexto->setPlainText(decode(file.readAll()));
        m_loaded = true;
    } else {
        mmTexto->setPlainText(QStringLiteral("O arquivo de ajuda não foi encontrado:\n") + path);
    }
    btAbrir->setEnabled(m_loaded);
    edProcura->setFocus();

    const QFontMetrics metrics(mmTexto->font());
    // The text's widest line, plus the frame, margins and scroll bar.
    resize(metrics.horizontalAdvance(QString(92, 'M')), metrics.lineSpacing() * 36);
}

bool TfmAjuda::btProximaclick() { return find({}); }

bool TfmAjuda::btAnteriorclick() { return find(QTextDocument::FindBackward); }

bool TfmAjuda::find(QTextDocument::FindFlags direction)
{
    const QString text = edProcura->text();
    lbProcura->clear();
    if (text.isEmpty())
        return false;
    if (mmTexto->find(text, direction))
        return true;
    // Not found before the end (or the start): go round once.
    const QTextCursor before = mmTexto->textCursor();
    QTextCursor wrap(mmTexto->document());
    wrap.movePosition(direction & QTextDocument::FindBackward ? QTextCursor::End
                                                              : QTextCursor::Start);
    mmTexto->setTextCursor(wrap);
    if (mmTexto->find(text, direction))
        return true;
    mmTexto->setTextCursor(before);
    lbProcura->setText(QStringLiteral("Texto não encontrado."));
    return false;
}

void TfmAjuda::btAbrirclick()
{
    if (!SystemServices::openDocument(m_path))
        Msg::warning(QString::fromUtf8("Nenhum programa abriu o arquivo de ajuda:\n%1\n\nAbra-o "
                                       "num editor de textos.")
                         .arg(m_path));
}

bool TfmAjuda::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edProcura && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ShiftModifier)
                btAnteriorclick();
            else
                btProximaclick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
