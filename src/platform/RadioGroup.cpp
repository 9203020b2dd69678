#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *radio = new QRadioButton(items.at(i));
        m_group->addButton(radio, i);
        layout->addWidget(radio);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
}

int RadioGroup::itemIndex() const { return m_group->checkedId(); }

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *radio = m_group->button(index)) {
        radio->setChecked(true);
    } else if (QAbstractButton *checked = m_group->checkedButton()) {
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
    Q_EMIT clicked();
}

QRadioButton *RadioGroup::button(int index) const
{
    return qobject_cast<QRadioButton *>(m_group->button(index));
}

int RadioGroup::count() const { return int(m_group->buttons().size()); }
