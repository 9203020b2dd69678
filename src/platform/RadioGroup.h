#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A titled box of exclusive choices read and set by position, as the system's windows keep
// their choices (an item index saved in the configuration file). clicked() follows a choice
// made by the user and setItemIndex() alike, so a window's reaction to the choice also runs
// when a saved choice is restored.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString &title, const QStringList &items, QWidget *parent = nullptr);

    // -1 when nothing is chosen.
    int itemIndex() const;
    // An index outside the items chooses nothing.
    void setItemIndex(int index);
    QRadioButton *button(int index) const;
    int count() const;

Q_SIGNALS:
    void clicked();

private:
    QButtonGroup *m_group;
};
