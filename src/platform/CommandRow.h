#pragma once

#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

// A window's commands in a row along its foot, pushed to the right, in the order given.
inline QHBoxLayout *commandRow(std::initializer_list<QWidget *> commands)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QWidget *command : commands)
        row->addWidget(command);
    return row;
}
