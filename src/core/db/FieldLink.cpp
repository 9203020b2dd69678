#include "core/db/FieldLink.h"

#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QTextEdit>
#include <QValidator>

namespace {

// Upper-cases the text as it is typed; QLineEdit keeps the cursor where the user had it.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// Widgets without a read-only mode keep their look but take no input.
void blockInput(QWidget *widget)
{
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->setFocusPolicy(Qt::NoFocus);
}

bool isIntegerField(const DataSet &dataset, const QString &field)
{
    const int id = dataset.fieldType(field).id();
    return id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt ||
           id == QMetaType::ULongLong;
}

bool isDecimalField(const DataSet &dataset, const QString &field)
{
    const int id = dataset.fieldType(field).id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

void setUpLineEdit(QLineEdit *edit, DataSet &dataset, const QString &field,
                   const FieldLinkOptions &options, int maxLength)
{
    if (options.upperCase)
        edit->setValidator(new UpperCaseValidator(edit));
    else if (isIntegerField(dataset, field))
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d*")), edit));
    else if (isDecimalField(dataset, field))
        // The characters of a number; a number written wrongly ("1,2,3") is refused at saving.
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[-+]?[\\d.,]*")), edit));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    edit->setReadOnly(options.readOnly);
}

bool isTextField(const DataSet &dataset, const QString &field)
{
    return dataset.fieldType(field).id() == QMetaType::QString;
}

// A line edit shows the field's display text (money with its symbol) and, while it has the
// focus or holds a text the field has not taken yet, the text to edit. Dates, numbers and money
// go to the dataset as typed: a half-typed value is only refused when the row is saved, by a
// message naming the field. A masked edit is read and filled with its blanks and literals.
class LineEditLink : public FieldLink {
public:
    LineEditLink(QLineEdit *edit, DataSet &dataset, const QString &field, Options options)
        : FieldLink(edit, dataset, field, options), m_edit(edit),
          m_mask(qobject_cast<MaskEdit *>(edit)), m_limit(maxLength())
    {
        setUpLineEdit(edit, dataset, field, options, m_limit);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this](const QString &text) {
            const QString typed = m_mask ? m_mask->maskedText() : text;
            if (!m_dataset || isTextField(*m_dataset, this->field()))
                write(typed);
            else
                writeText(typed);
        });
    }

protected:
    void show() override
    {
        const bool editing = m_edit->hasFocus() && !m_edit->isReadOnly();
        const QString text = editing ? m_dataset->editText(field()) : m_dataset->text(field());
        if (m_mask) {
            if (m_mask->maskedText() != text)
                m_mask->setMaskedText(text);
            return;
        }
        // The limit is on what is typed; the money symbol shown around it must not be cut.
        if (m_limit > 0)
            m_edit->setMaxLength(qMax(m_limit, int(text.size())));
        if (m_edit->text() != text)
            m_edit->setText(text);
    }
    void clear() override { m_edit->clear(); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_edit &&
            (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            reload();
        return FieldLink::eventFilter(watched, event);
    }

private:
    QLineEdit *m_edit;
    MaskEdit *m_mask;
    int m_limit;
};

// QPlainTextEdit and QTextEdit have neither a length limit nor a user-only change signal, so
// the link enforces the options itself on every change it did not make.
template <class Edit>
class MultiLineLink : public FieldLink {
public:
    MultiLineLink(Edit *edit, DataSet &dataset, const QString &field, Options options)
        : FieldLink(edit, dataset, field, options), m_edit(edit), m_maxLength(maxLength())
    {
        edit->setReadOnly(options.readOnly);
        connect(edit, &Edit::textChanged, this, [this] { edited(); });
    }

protected:
    void show() override
    {
        const QString text = m_dataset->text(field());
        if (m_edit->toPlainText() != text)
            m_edit->setPlainText(text);
    }
    void clear() override { m_edit->clear(); }

private:
    void edited()
    {
        if (loading() || m_adjusting)
            return;
        const QString typed = m_edit->toPlainText();
        QString text = m_options.upperCase ? typed.toUpper() : typed;
        if (m_maxLength > 0 && text.size() > m_maxLength)
            text.truncate(m_maxLength);
        if (text != typed) {
            const QScopedValueRollback guard(m_adjusting, true);
            const int position = m_edit->textCursor().position();
            m_edit->setPlainText(text);
            QTextCursor cursor = m_edit->textCursor();
            cursor.setPosition(qMin(position, int(text.size())));
            m_edit->setTextCursor(cursor);
        }
        write(text);
    }

    Edit *m_edit;
    int m_maxLength;
    bool m_adjusting = false;
};

class CheckBoxLink : public FieldLink {
public:
    CheckBoxLink(QCheckBox *box, DataSet &dataset, const QString &field, Options options)
        : FieldLink(box, dataset, field, options), m_box(box)
    {
        if (options.readOnly)
            blockInput(box);
        connect(box, &QCheckBox::clicked, this, [this](bool checked) { write(checked ? 0 : -1); });
    }

protected:
    void show() override
    {
        const QVariant value = m_dataset->value(field());
        m_box->setChecked(!value.isNull() && value.toInt() == 0);
    }
    void clear() override { m_box->setChecked(false); }

private:
    QCheckBox *m_box;
};

class ComboBoxLink : public FieldLink {
public:
    ComboBoxLink(QComboBox *box, DataSet &dataset, const QString &field, Options options)
        : FieldLink(box, dataset, field, options), m_box(box)
    {
        // Only the user's own choices write: filling the list must not start an edit.
        if (box->isEditable()) {
            setUpLineEdit(box->lineEdit(), dataset, field, options, maxLength());
            connect(box->lineEdit(), &QLineEdit::textEdited, this,
                    [this](const QString &text) { write(text); });
        }
        if (options.readOnly)
            blockInput(box);
        connect(box, &QComboBox::activated, this, [this] { write(m_box->currentText()); });
    }

protected:
    void show() override
    {
        const QString text = m_dataset->text(field());
        if (m_box->currentText() == text)
            return;
        if (m_box->isEditable())
            m_box->setEditText(text);
        else
            m_box->setCurrentIndex(m_box->findText(text));
    }
    void clear() override
    {
        if (m_box->isEditable())
            m_box->clearEditText();
        else
            m_box->setCurrentIndex(-1);
    }

private:
    QComboBox *m_box;
};

class SpinBoxLink : public FieldLink {
public:
    SpinBoxLink(QSpinBox *box, DataSet &dataset, const QString &field, Options options)
        : FieldLink(box, dataset, field, options), m_box(box)
    {
        box->setReadOnly(options.readOnly);
        connect(box, &QSpinBox::valueChanged, this, [this](int value) {
            if (!loading())
                write(value);
        });
    }

protected:
    void show() override { m_box->setValue(m_dataset->asInt(field())); }
    void clear() override { m_box->setValue(m_box->minimum()); }

private:
    QSpinBox *m_box;
};

template <class Link, class Widget>
FieldLink *make(Widget *widget, DataSet &dataset, const QString &field, FieldLinkOptions options)
{
    FieldLink *link = new Link(widget, dataset, field, options);
    link->reload();
    return link;
}

}  // namespace

FieldLink::FieldLink(QWidget *widget, DataSet &dataset, const QString &field, Options options)
    : QObject(widget), m_dataset(&dataset), m_options(options), m_widget(widget), m_field(field)
{
    connect(&dataset, &DataSet::dataReset, this, &FieldLink::reload);
    connect(&dataset, &DataSet::currentRowChanged, this, &FieldLink::reload);
    connect(&dataset, &DataSet::stateChanged, this, &FieldLink::reload);
    connect(&dataset, &DataSet::rowUpdated, this, [this](int row) {
        if (m_dataset && row == m_dataset->currentRow())
            reload();
    });
    connect(&dataset, &DataSet::fieldChanged, this, [this](const QString &changed) {
        if (changed.compare(m_field, Qt::CaseInsensitive) == 0)
            reload();
    });
    connect(&dataset, &QObject::destroyed, this, &FieldLink::reload);
}

FieldLink *FieldLink::bind(QLineEdit *edit, DataSet &ds, const QString &field, Options options)
{
    return make<LineEditLink>(edit, ds, field, options);
}

FieldLink *FieldLink::bind(QPlainTextEdit *edit, DataSet &ds, const QString &field, Options options)
{
    return make<MultiLineLink<QPlainTextEdit>>(edit, ds, field, options);
}

FieldLink *FieldLink::bind(QTextEdit *edit, DataSet &ds, const QString &field, Options options)
{
    return make<MultiLineLink<QTextEdit>>(edit, ds, field, options);
}

FieldLink *FieldLink::bind(QCheckBox *box, DataSet &ds, const QString &field, Options options)
{
    return make<CheckBoxLink>(box, ds, field, options);
}

FieldLink *FieldLink::bind(QComboBox *box, DataSet &ds, const QString &field, Options options)
{
    return make<ComboBoxLink>(box, ds, field, options);
}

FieldLink *FieldLink::bind(QSpinBox *box, DataSet &ds, const QString &field, Options options)
{
    return make<SpinBoxLink>(box, ds, field, options);
}

int FieldLink::maxLength()
{
    if (m_options.maxLength != 0)
        return qMax(0, m_options.maxLength);
    return m_dataset ? m_dataset->fieldSize(m_field) : 0;
}

void FieldLink::reload()
{
    if (m_writing || !m_widget)
        return;
    const DataSet *ds = m_dataset;
    const bool available = ds && ds->isActive() && ds->hasField(m_field) &&
                           (!ds->isEmpty() || ds->state() == DataSet::State::Insert);
    const QScopedValueRollback guard(m_loading, true);
    m_widget->setEnabled(available);
    if (available)
        show();
    else
        clear();
}

void FieldLink::write(const QVariant &value) { hand(value, false); }

void FieldLink::writeText(const QString &text) { hand(text, true); }

void FieldLink::hand(const QVariant &value, bool asTyped)
{
    if (m_loading || !m_dataset)
        return;
    bool accepted = false;
    {
        const QScopedValueRollback guard(m_writing, true);
        try {
            accepted = asTyped ? m_dataset->setText(m_field, value.toString())
                               : m_dataset->setValue(m_field, value);
        } catch (const DbError &e) {
            Msg::error(e.text());
        } catch (const std::exception &e) {
            Msg::error(QString::fromLocal8Bit(e.what()));
        }
    }
    if (!accepted)
        reload();
}
