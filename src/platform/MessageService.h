#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QDialog;
class QWidget;

// Every prompt the program shows goes through one injectable service: message boxes of the four
// kinds, file dialogs and pick lists. The desktop installs the widget implementation, torvelctl
// the console one, tests a scripted one that checks each text and fails on an unexpected prompt.
class MessageService {
public:
    enum class Kind { Information, Warning, Error, Confirmation, OpenFile, SaveFile, Choice };

    virtual ~MessageService() = default;

    virtual void show(Kind kind, const QString &text) = 0;
    // Yes/No; true for Yes.
    virtual bool confirm(const QString &text) = 0;
    // Empty when cancelled.
    virtual QString openFileName(const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString saveFileName(const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    // Index of the chosen item, -1 when cancelled.
    virtual int choose(const QString &caption, const QStringList &items, int current) = 0;

    // The installed service; the console one until another is installed.
    static MessageService &instance();
    // Installs `service` (not owned); nullptr restores the console service.
    static void install(MessageService *service);

    static QString kindName(Kind kind);
};

// Shorthands for the installed service.
namespace Msg {
void information(const QString &text);
void warning(const QString &text);
void error(const QString &text);
bool confirm(const QString &text);
}  // namespace Msg

// QMessageBox and QFileDialog, with Portuguese button texts, parented to the active window.
class WidgetMessageService : public MessageService {
public:
    void show(Kind kind, const QString &text) override;
    bool confirm(const QString &text) override;
    QString openFileName(const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &dir,
                         const QString &filter) override;
    int choose(const QString &caption, const QStringList &items, int current) override;
};

// Prints to stderr; confirmations answer No, file dialogs and choices are cancelled.
class ConsoleMessageService : public MessageService {
public:
    void show(Kind kind, const QString &text) override;
    bool confirm(const QString &text) override;
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }
    int choose(const QString &, const QStringList &, int) override { return -1; }
};

// For tests: a queue of expected prompts with their answers. Each prompt must match the next
// expectation by kind and text; a mismatch or a prompt nobody expected is recorded as a failure
// (and answered No / cancelled). An expected text ending in '*' matches any text that starts
// with the rest. Installs itself while it lives.
class ScriptedMessageService : public MessageService {
public:
    ScriptedMessageService();
    ~ScriptedMessageService() override;

    ScriptedMessageService &expect(Kind kind, const QString &text);
    ScriptedMessageService &expectConfirm(const QString &text, bool answer);
    ScriptedMessageService &expectFile(Kind kind, const QString &answer);
    ScriptedMessageService &expectChoice(int answer);

    void show(Kind kind, const QString &text) override;
    bool confirm(const QString &text) override;
    QString openFileName(const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &dir,
                         const QString &filter) override;
    int choose(const QString &caption, const QStringList &items, int current) override;

    // Failures so far plus every expectation not yet met; empty when the script ran exactly.
    QStringList problems() const;
    bool done() const { return problems().isEmpty(); }
    // Everything shown, as "Kind: text", in order.
    QStringList shown() const { return m_log; }
    void clear();

private:
    struct Expectation {
        Kind kind;
        QString text;  // empty: any text
        bool answer = false;
        QString fileAnswer;
        int choice = -1;
    };
    const Expectation *next(Kind kind, const QString &text);

    std::deque<Expectation> m_queue;
    Expectation m_current;
    QStringList m_failures;
    QStringList m_log;
    MessageService *m_previous = nullptr;
};

// Every modal window is run through one injectable runner: the desktop's runner calls exec();
// tests install a scripted runner that hands each dialog to a function that plays the user
// (fills its fields, calls its handlers) and returns the dialog's result.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int run(QDialog *dialog) = 0;

    static DialogRunner &instance();
    static void install(DialogRunner *runner);
    // Runs `dialog` modally through the installed runner.
    static int exec(QDialog *dialog);
};

class ScriptedDialogRunner : public DialogRunner {
public:
    using Player = std::function<int(QDialog *)>;
    ScriptedDialogRunner();
    ~ScriptedDialogRunner() override;

    // The next dialog must be of class `className` (its metaObject's name).
    ScriptedDialogRunner &expect(const QString &className, Player player);
    int run(QDialog *dialog) override;

    QStringList problems() const;
    QStringList ran() const { return m_ran; }

private:
    std::deque<std::pair<QString, Player>> m_queue;
    QStringList m_failures;
    QStringList m_ran;
    DialogRunner *m_previous = nullptr;
};
