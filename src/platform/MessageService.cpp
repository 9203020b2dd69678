#include "platform/MessageService.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace {
ConsoleMessageService g_console;
MessageService *g_service = nullptr;

class ExecRunner : public DialogRunner {
public:
    int run(QDialog *dialog) override { return dialog->exec(); }
};
ExecRunner g_execRunner;
DialogRunner *g_runner = nullptr;

QWidget *parentWindow() { return QApplication::activeWindow(); }
}  // namespace

MessageService &MessageService::instance() { return g_service ? *g_service : g_console; }

void MessageService::install(MessageService *service) { g_service = service; }

QString MessageService::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Information: return QStringLiteral("Informação");
    case Kind::Warning: return QStringLiteral("Aviso");
    case Kind::Error: return QStringLiteral("Erro");
    case Kind::Confirmation: return QStringLiteral("Confirmação");
    case Kind::OpenFile: return QStringLiteral("Abrir arquivo");
    case Kind::SaveFile: return QStringLiteral("Salvar arquivo");
    case Kind::Choice: return QStringLiteral("Escolha");
    }
    return {};
}

namespace Msg {
void information(const QString &text)
{
    MessageService::instance().show(MessageService::Kind::Information, text);
}
void warning(const QString &text)
{
    MessageService::instance().show(MessageService::Kind::Warning, text);
}
void error(const QString &text) { MessageService::instance().show(MessageService::Kind::Error, text); }
bool confirm(const QString &text) { return MessageService::instance().confirm(text); }
}  // namespace Msg

// ---- widgets ----

void WidgetMessageService::show(Kind kind, const QString &text)
{
    QMessageBox box(parentWindow());
    // The kind names the box: the program's name is not a title the desktop adds any more.
    box.setWindowTitle(kindName(kind));
    box.setText(text);
    switch (kind) {
    case Kind::Warning: box.setIcon(QMessageBox::Warning); break;
    case Kind::Error: box.setIcon(QMessageBox::Critical); break;
    default: box.setIcon(QMessageBox::Information); break;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

bool WidgetMessageService::confirm(const QString &text)
{
    QMessageBox box(parentWindow());
    box.setWindowTitle(QStringLiteral("Confirmação"));
    box.setIcon(QMessageBox::Question);
    box.setText(text);
    QPushButton *yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
    // Enter answers No: a hasty key press never deletes a record or ends the program.
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

QString WidgetMessageService::openFileName(const QString &caption, const QString &dir,
                                           const QString &filter)
{
    return QFileDialog::getOpenFileName(parentWindow(), caption, dir, filter);
}

QString WidgetMessageService::saveFileName(const QString &caption, const QString &dir,
                                           const QString &filter)
{
    return QFileDialog::getSaveFileName(parentWindow(), caption, dir, filter);
}

int WidgetMessageService::choose(const QString &caption, const QStringList &items, int current)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(parentWindow(), caption, caption, items,
                                               qMax(0, current), false, &ok);
    return ok ? int(items.indexOf(item)) : -1;
}

// ---- console ----

void ConsoleMessageService::show(Kind kind, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(kindName(kind)), qPrintable(text));
}

bool ConsoleMessageService::confirm(const QString &text)
{
    std::fprintf(stderr, "%s: %s (Não)\n", qPrintable(kindName(Kind::Confirmation)),
                 qPrintable(text));
    return false;
}

// ---- scripted ----

ScriptedMessageService::ScriptedMessageService() : m_previous(g_service) { install(this); }

ScriptedMessageService::~ScriptedMessageService() { install(m_previous); }

ScriptedMessageService &ScriptedMessageService::expect(Kind kind, const QString &text)
{
    m_queue.push_back({kind, text});
    return *this;
}

ScriptedMessageService &ScriptedMessageService::expectConfirm(const QString &text, bool answer)
{
    m_queue.push_back({Kind::Confirmation, text, answer});
    return *this;
}

ScriptedMessageService &ScriptedMessageService::expectFile(Kind kind, const QString &answer)
{
    Expectation e{kind, {}};
    e.fileAnswer = answer;
    m_queue.push_back(e);
    return *this;
}

ScriptedMessageService &ScriptedMessageService::expectChoice(int answer)
{
    Expectation e{Kind::Choice, {}};
    e.choice = answer;
    m_queue.push_back(e);
    return *this;
}

const ScriptedMessageService::Expectation *ScriptedMessageService::next(Kind kind,
                                                                        const QString &text)
{
    m_log << kindName(kind) + ": " + text;
    if (m_queue.empty()) {
        m_failures << "inesperado: " + kindName(kind) + ": " + text;
        return nullptr;
    }
    m_current = m_queue.front();
    m_queue.pop_front();
    const QString &want = m_current.text;
    const bool textMatches = want.isEmpty() || want == text ||
                             (want.endsWith('*') && text.startsWith(want.chopped(1)));
    if (m_current.kind != kind || !textMatches) {
        m_failures << QStringLiteral("esperado %1: \"%2\", veio %3: \"%4\"")
                          .arg(kindName(m_current.kind), m_current.text, kindName(kind), text);
        return nullptr;
    }
    return &m_current;
}

void ScriptedMessageService::show(Kind kind, const QString &text) { next(kind, text); }

bool ScriptedMessageService::confirm(const QString &text)
{
    const Expectation *e = next(Kind::Confirmation, text);
    return e && e->answer;
}

QString ScriptedMessageService::openFileName(const QString &caption, const QString &,
                                             const QString &)
{
    const Expectation *e = next(Kind::OpenFile, caption);
    return e ? e->fileAnswer : QString();
}

QString ScriptedMessageService::saveFileName(const QString &caption, const QString &,
                                             const QString &)
{
    const Expectation *e = next(Kind::SaveFile, caption);
    return e ? e->fileAnswer : QString();
}

int ScriptedMessageService::choose(const QString &caption, const QStringList &, int)
{
    const Expectation *e = next(Kind::Choice, caption);
    return e ? e->choice : -1;
}

QStringList ScriptedMessageService::problems() const
{
    QStringList all = m_failures;
    for (const Expectation &e : m_queue)
        all << "não mostrado: " + kindName(e.kind) + ": " + e.text;
    return all;
}

void ScriptedMessageService::clear()
{
    m_queue.clear();
    m_failures.clear();
    m_log.clear();
}

// ---- dialogs ----

DialogRunner &DialogRunner::instance() { return g_runner ? *g_runner : g_execRunner; }

void DialogRunner::install(DialogRunner *runner) { g_runner = runner; }

int DialogRunner::exec(QDialog *dialog) { return instance().run(dialog); }

ScriptedDialogRunner::ScriptedDialogRunner() : m_previous(g_runner) { install(this); }

ScriptedDialogRunner::~ScriptedDialogRunner() { install(m_previous); }

ScriptedDialogRunner &ScriptedDialogRunner::expect(const QString &className, Player player)
{
    m_queue.emplace_back(className, std::move(player));
    return *this;
}

int ScriptedDialogRunner::run(QDialog *dialog)
{
    const QString name = QString::fromLatin1(dialog->metaObject()->className());
    m_ran << name;
    if (m_queue.empty()) {
        m_failures << "janela inesperada: " + name;
        return QDialog::Rejected;
    }
    auto [expected, player] = std::move(m_queue.front());
    m_queue.pop_front();
    if (expected != name) {
        m_failures << QStringLiteral("esperada janela %1, veio %2").arg(expected, name);
        return QDialog::Rejected;
    }
    dialog->show();
    const int result = player(dialog);
    dialog->hide();
    return result;
}

QStringList ScriptedDialogRunner::problems() const
{
    QStringList all = m_failures;
    for (const auto &e : m_queue)
        all << "janela não aberta: " + e.first;
    return all;
}
