#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "core/db/DataSet.h"

class DataSet;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTextEdit;

struct FieldLinkOptions {
    bool upperCase = false;  // typed text becomes upper case, the cursor stays where it was
    int maxLength = 0;       // 0: the field's declared size (no limit when unknown); < 0: none
    bool readOnly = false;
};

// Binds a widget to a field of a DataSet, as data-aware controls do. The widget shows the
// current row's value (or the edit buffer) after every scroll, open, refresh, cancel and
// programmatic change; what the user types goes into the buffer at once, putting the dataset in
// Edit state first when it is browsing. Without a row to show (closed, or empty and not
// inserting) the widget is cleared and disabled.
//
// The link belongs to the widget and goes with it. An error from the dataset while the user
// types (a rule refusing the edit) is shown through the message service and the widget shows
// the field's value again.
class FieldLink : public QObject {
    Q_OBJECT

public:
    using Options = FieldLinkOptions;

    static FieldLink *bind(QLineEdit *edit, DataSet &dataset, const QString &field,
                           Options options = {});
    static FieldLink *bind(QPlainTextEdit *edit, DataSet &dataset, const QString &field,
                           Options options = {});
    static FieldLink *bind(QTextEdit *edit, DataSet &dataset, const QString &field,
                           Options options = {});
    // The system's yes/no flags: checked for 0, unchecked otherwise; the user's click writes
    // 0 or -1.
    static FieldLink *bind(QCheckBox *box, DataSet &dataset, const QString &field,
                           Options options = {});
    // The text of the chosen item (editable combo boxes: the typed text).
    static FieldLink *bind(QComboBox *box, DataSet &dataset, const QString &field,
                           Options options = {});
    static FieldLink *bind(QSpinBox *box, DataSet &dataset, const QString &field,
                           Options options = {});

    QString field() const { return m_field; }
    DataSet *dataset() const { return m_dataset; }
    QWidget *widget() const { return m_widget; }

    // Shows the dataset's value again; the dataset's signals call it.
    void reload();

protected:
    FieldLink(QWidget *widget, DataSet &dataset, const QString &field, Options options);

    virtual void show() = 0;
    virtual void clear() = 0;
    // Hands the user's input to the dataset; the widget reverts when the dataset refuses it.
    void write(const QVariant &value);
    // Hands the text as typed (DataSet::setText): a value not complete yet is kept as typed.
    void writeText(const QString &text);
    bool loading() const { return m_loading; }
    // The limit the options ask for, 0 for none.
    int maxLength();

    QPointer<DataSet> m_dataset;
    const Options m_options;

private:
    void hand(const QVariant &value, bool asTyped);

    QPointer<QWidget> m_widget;
    QString m_field;
    bool m_loading = false;
    bool m_writing = false;
};
