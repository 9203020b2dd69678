#include "registries/SearchList.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "platform/MessageService.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

TfmListaBase::TfmListaBase(const SearchListConfig &config, QWidget *parent)
    : QDialog(parent), m_config(config)
{
    setWindowTitle(config.caption);
    m_query = new DataSet(TdmzDados::instance()->db(), this);
    m_model = new DataSetModel(*m_query, this);
    for (const auto &[field, caption] : config.columns)
        m_model->addColumn(field, caption);

    auto *layout = new QVBoxLayout(this);
    if (!config.searchColumn.isEmpty() || config.navigationOnlySearch) {
        auto *label = new QLabel(QStringLiteral("Pesquisa"));
        edPesquisa = new QLineEdit;
        edPesquisa->setMaxLength(config.searchLength);
        label->setBuddy(edPesquisa);
        layout->addWidget(label);
        layout->addWidget(edPesquisa);
        connect(edPesquisa, &QLineEdit::textEdited, this, [this](const QString &text) {
            const QString upper = text.toUpper();
            if (upper != text) {
                const int cursor = edPesquisa->cursorPosition();
                edPesquisa->setText(upper);
                edPesquisa->setCursorPosition(cursor);
            }
        });
        connect(edPesquisa, &QLineEdit::textChanged, this, &TfmListaBase::edPesquisaChange);
        edPesquisa->installEventFilter(this);
    }
    m_extra = new QVBoxLayout;
    layout->addLayout(m_extra);

    dbgLista = new QTableView;
    dbgLista->setModel(m_model);
    m_model->bindView(dbgLista);
    dbgLista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sizeColumns(dbgLista, stretchedColumn(config));
    dbgLista->verticalHeader()->hide();
    dbgLista->installEventFilter(this);
    connect(dbgLista, &QTableView::doubleClicked, this, &TfmListaBase::choose);
    layout->addWidget(dbgLista, 1);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfmListaBase::choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 420);

    if (!config.initialSql.isEmpty())
        load(config.initialSql);
    if (edPesquisa)
        edPesquisa->setFocus();
}

TfmListaBase::~TfmListaBase() = default;

int TfmListaBase::stretchedColumn(const SearchListConfig &config)
{
    for (int c = 0; c < config.columns.size(); ++c)
        if (config.columns[c].first.compare(config.searchColumn, Qt::CaseInsensitive) == 0)
            return c;
    return 0;
}

void TfmListaBase::sizeColumns(QTableView *grid, int stretched)
{
    // Codes, marks and dates take what their contents need; the name (the column searched)
    // gets the rest, so a long name is not cut while a six-letter code sits in a wide column.
    QHeaderView *header = grid->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (stretched >= 0 && stretched < header->count())
        header->setSectionResizeMode(stretched, QHeaderView::Stretch);
}

QString TfmListaBase::startsWithCondition(const QString &column)
{
    return QStringLiteral(" where ") + column + QStringLiteral(" like :ppesquisa escape '!'");
}

QString TfmListaBase::startsWithPattern(const QString &text)
{
    QString pattern;
    for (QChar c : text) {
        if (c == '!' || c == '%' || c == '_')
            pattern += '!';
        pattern += c;
    }
    return pattern + '%';
}

void TfmListaBase::load(const QString &sql, const QString &searchText)
{
    try {
        m_query->close();
        m_query->clearParams();
        m_query->setSql(sql);
        if (!searchText.isEmpty())
            m_query->setParam("ppesquisa", startsWithPattern(searchText));
        m_query->open();
        m_query->first();
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
}

void TfmListaBase::edPesquisaChange()
{
    if (m_config.searchColumn.isEmpty())
        return;  // a field that only moves the grid
    const QString text = edPesquisa ? edPesquisa->text() : QString();
    QString sql = m_config.baseSql;
    if (!text.isEmpty())
        sql += startsWithCondition(m_config.searchColumn);
    sql += m_config.ordering;
    load(sql, text);
}

QVariant TfmListaBase::chosen(const QString &field) const
{
    if (!m_query->isActive() || m_query->isEmpty())
        return {};
    return m_query->value(field);
}

void TfmListaBase::choose() { accept(); }

bool TfmListaBase::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose();
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        default:
            break;
        }
        if (watched == edPesquisa && m_query->isActive()) {
            if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Left) {
                m_query->prior();
                return true;
            }
            if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Right) {
                m_query->next();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfmListaBase::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        choose();
        return;
    }
    QDialog::keyPressEvent(event);
}
