#pragma once

#include "core/db/FieldLink.h"

#include <QDialog>
#include <QStyle>
#include <functional>
#include <memory>

class DataSet;
class QFormLayout;
class MaskEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TfmListaBase;

// The registration windows' common frame: fields bound to one shared query above a row of
// captioned image buttons "Adiciona", "Exclui", "Confirma", "Cancela", "Localiza", "Retorna".
// A member window adds its fields and sets what differs (the search list and its key, whether
// "Localiza" discards pending changes, whether the query stays open after closing); it
// overrides a handler only where its rule differs.
class RegistrationWindow : public QDialog {
    Q_OBJECT
public:
    RegistrationWindow(const QString &caption, DataSet &query, QWidget *parent = nullptr);
    ~RegistrationWindow() override;

    DataSet &query() const { return m_query; }

    QPushButton *btadiciona = nullptr;
    QPushButton *btapaga = nullptr;
    QPushButton *btconfirma = nullptr;
    QPushButton *btcancela = nullptr;
    QPushButton *btLocaliza = nullptr;
    QPushButton *buRetorna = nullptr;

public Q_SLOTS:
    virtual void btadicionaclick();
    virtual void btapagaclick();
    virtual void btconfirmaclick();
    virtual void btcancelaclick();
    virtual void btLocalizaclick();
    virtual void buRetornaClick();
    // Esc and the window's close button end the window as "Retorna" does: a pending change is
    // offered for saving first, and a refused save keeps the window open.
    void reject() override;
    void done(int result) override;

protected:
    // Fields, in the order they appear.
    QLineEdit *addText(const QString &caption, const QString &field, FieldLinkOptions options = {});
    QPlainTextEdit *addMemo(const QString &caption, const QString &field, int maxLength);
    QLineEdit *addReadOnly(const QString &caption, const QString &field);
    // A date field edited with a mask such as "!99/99/0000;1;_"; what is typed is checked when
    // the row is saved.
    MaskEdit *addDate(const QString &caption, const QString &field, const QString &mask);
    // A read-only identifier field with the button that fills it; the button runs `choose`.
    QLineEdit *addIdentifier(const QString &caption, const QString &field,
                             std::function<void()> choose);
    QFormLayout *form() const { return m_form; }
    QLabel *labelFor(QWidget *field) const;

    // The field the cursor goes to after "Adiciona".
    void setFirstField(QWidget *field) { m_first = field; }
    void focusFirstField();

    // "Localiza": the list to open, the list's column and the query's field that locate the
    // chosen row, and whether pending changes are discarded first.
    void setSearch(std::function<std::unique_ptr<TfmListaBase>()> makeList,
                   const QString &listKey, const QString &queryKey, bool discardPending,
                   bool partialMatch);
    // The query stays open with its pending change when the window closes.
    void setKeepQueryOpen(bool keep) { m_keepOpen = keep; }

    // Runs a handler's body; a database error it raises is shown and ends only that command.
    void guarded(const std::function<void()> &body);
    // Opens the query ("Opening" of every member window).
    void openQuery();


private:
    QPushButton *addCommand(const QString &caption, QStyle::StandardPixmap icon,
                            const char *themeIcon);

    DataSet &m_query;
    QFormLayout *m_form = nullptr;
    QWidget *m_first = nullptr;
    std::function<std::unique_ptr<TfmListaBase>()> m_makeList;
    QString m_listKey;
    QString m_queryKey;
    bool m_discardBeforeSearch = true;
    bool m_partialMatch = true;
    bool m_keepOpen = false;
    class QHBoxLayout *m_commands = nullptr;
};
