#pragma once

#include "platform/MaskEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

// The "Período" box of the windows that choose a period with "Limpar": the start above the end,
// the button beside both.
inline QGroupBox *periodBox(MaskEdit *from, MaskEdit *to, QPushButton *limpar)
{
    auto *box = new QGroupBox(QString::fromUtf8("Período"));
    auto *grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QString::fromUtf8("Início")), 0, 0);
    grid->addWidget(from, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Fim")), 1, 0);
    grid->addWidget(to, 1, 1);
    grid->addWidget(limpar, 0, 2, 2, 1);
    return box;
}

// "Limpar": a period with something in it is emptied; an empty one becomes today.
inline void clearOrToday(MaskEdit *from, MaskEdit *to, bool empty)
{
    if (empty) {
        MaskEdit::setToday(from, to);
        return;
    }
    from->clear();
    to->clear();
}
