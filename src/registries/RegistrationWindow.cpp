#include "registries/RegistrationWindow.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "registries/SearchList.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

RegistrationWindow::RegistrationWindow(const QString &caption, DataSet &query, QWidget *parent)
    : QDialog(parent), m_query(query)
{
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    layout->addLayout(m_form, 1);

    m_commands = new QHBoxLayout;
    btadiciona = addCommand(QStringLiteral("Adiciona"), QStyle::SP_FileDialogNewFolder,
                            "list-add");
    btapaga = addCommand(QStringLiteral("Exclui"), QStyle::SP_TrashIcon, "list-remove");
    btconfirma = addCommand(QStringLiteral("Confirma"), QStyle::SP_DialogApplyButton,
                            "document-save");
    btcancela = addCommand(QStringLiteral("Cancela"), QStyle::SP_DialogCancelButton,
                           "edit-undo");
    btLocaliza = addCommand(QStringLiteral("Localiza"), QStyle::SP_FileDialogContentsView,
                            "edit-find");
    buRetorna = addCommand(QStringLiteral("Retorna"), QStyle::SP_DialogCloseButton,
                           "window-close");
    layout->addLayout(m_commands);

    connect(btadiciona, &QPushButton::clicked, this, [this] { btadicionaclick(); });
    connect(btapaga, &QPushButton::clicked, this, [this] { btapagaclick(); });
    connect(btconfirma, &QPushButton::clicked, this, [this] { btconfirmaclick(); });
    connect(btcancela, &QPushButton::clicked, this, [this] { btcancelaclick(); });
    connect(btLocaliza, &QPushButton::clicked, this, [this] { btLocalizaclick(); });
    connect(buRetorna, &QPushButton::clicked, this, [this] { buRetornaClick(); });
}

RegistrationWindow::~RegistrationWindow() = default;

QPushButton *RegistrationWindow::addCommand(const QString &caption, QStyle::StandardPixmap icon,
                                            const char *themeIcon)
{
    auto *button = new QPushButton(QIcon::fromTheme(themeIcon, style()->standardIcon(icon)),
                                   caption);
    button->setAutoDefault(false);
    m_commands->addWidget(button);
    return button;
}

QLineEdit *RegistrationWindow::addText(const QString &caption, const QString &field,
                                       FieldLinkOptions options)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(field);
    FieldLink::bind(edit, m_query, field, options);
    m_form->addRow(caption, edit);
    if (!m_first)
        m_first = edit;
    return edit;
}

QPlainTextEdit *RegistrationWindow::addMemo(const QString &caption, const QString &field,
                                            int maxLength)
{
    auto *memo = new QPlainTextEdit;
    memo->setObjectName(field);
    memo->setTabChangesFocus(true);
    memo->setMaximumHeight(memo->fontMetrics().lineSpacing() * 5);
    FieldLink::bind(memo, m_query, field, {.upperCase = false, .maxLength = maxLength});
    m_form->addRow(caption, memo);
    return memo;
}

QLineEdit *RegistrationWindow::addReadOnly(const QString &caption, const QString &field)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(field);
    edit->setReadOnly(true);
    FieldLink::bind(edit, m_query, field, {.readOnly = true});
    m_form->addRow(caption, edit);
    return edit;
}

MaskEdit *RegistrationWindow::addDate(const QString &caption, const QString &field,
                                      const QString &mask)
{
    auto *edit = new MaskEdit(mask);
    edit->setObjectName(field);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) +
                          24);
    FieldLink::bind(edit, m_query, field);
    m_form->addRow(caption, edit);
    if (!m_first)
        m_first = edit;
    return edit;
}

QLineEdit *RegistrationWindow::addIdentifier(const QString &caption, const QString &field,
                                             std::function<void()> choose)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(field);
    edit->setReadOnly(true);
    FieldLink::bind(edit, m_query, field, {.readOnly = true});
    auto *button = new QToolButton;
    button->setObjectName("bt_" + field);
    button->setIcon(QIcon::fromTheme("edit-find", style()->standardIcon(QStyle::SP_ArrowRight)));
    button->setToolTip(QString::fromUtf8("Escolher um identificador livre"));
    connect(button, &QToolButton::clicked, this, [this, choose] { guarded(choose); });
    auto *row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(button);
    m_form->addRow(caption, row);
    return edit;
}

QLabel *RegistrationWindow::labelFor(QWidget *field) const
{
    return qobject_cast<QLabel *>(m_form->labelForField(field));
}

void RegistrationWindow::focusFirstField()
{
    if (m_first)
        m_first->setFocus();
}

void RegistrationWindow::setSearch(std::function<std::unique_ptr<TfmListaBase>()> makeList,
                                   const QString &listKey, const QString &queryKey,
                                   bool discardPending, bool partialMatch)
{
    m_makeList = std::move(makeList);
    m_listKey = listKey;
    m_queryKey = queryKey;
    m_discardBeforeSearch = discardPending;
    m_partialMatch = partialMatch;
}

void RegistrationWindow::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(e.text());
    }
}

void RegistrationWindow::openQuery()
{
    guarded([this] {
        m_query.open();
        m_query.first();
    });
}

void RegistrationWindow::btadicionaclick()
{
    guarded([this] {
        m_query.append();
        focusFirstField();
    });
}

void RegistrationWindow::btapagaclick()
{
    guarded([this] {
        if (!m_query.isActive() || m_query.isEmpty())
            return;
        if (!Msg::confirm(QStringLiteral("Deseja realmente excluir este registro?")))
            return;
        if (m_query.remove())
            m_query.refresh();
    });
}

void RegistrationWindow::btconfirmaclick()
{
    guarded([this] { m_query.post(); });
}

void RegistrationWindow::btcancelaclick()
{
    guarded([this] { m_query.cancel(); });
}

void RegistrationWindow::btLocalizaclick()
{
    if (!m_makeList)
        return;
    guarded([this] {
        if (m_discardBeforeSearch)
            m_query.cancel();
        std::unique_ptr<TfmListaBase> list = m_makeList();
        if (DialogRunner::exec(list.get()) != QDialog::Accepted)
            return;
        const QVariant key = list->chosen(m_listKey);
        if (!key.isValid() || key.isNull())
            return;  // nothing matched: the window stays where it was
        m_query.locate(m_queryKey, key,
                       m_partialMatch ? DataSet::LocateOptions(DataSet::PartialKey)
                                      : DataSet::LocateOptions());
    });
}

void RegistrationWindow::buRetornaClick()
{
    guarded([this] {
        // A refused save keeps the window open on the row, as typed, for correction.
        if (TdmzDados::instance()->ConfirmPendingEdit(m_query))
            accept();
    });
}

void RegistrationWindow::reject()
{
    buRetornaClick();
}

void RegistrationWindow::done(int result)
{
    if (!m_keepOpen) {
        try {
            m_query.cancel();
        } catch (const DbError &) {
            // closing must never be stopped by a pending row
        }
        m_query.close();
    }
    QDialog::done(result);
}
