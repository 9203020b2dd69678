#pragma once

#include <QObject>

// How the keyboard moves through every window, set once for the whole program. Tab in a grid
// that is only read (nothing in it can be edited) leaves the grid for the next field or
// button, as in the rest of the window, instead of walking cell by cell through a list of
// thousands of rows; the arrow keys still move in the grid. Grids that edit their cells keep
// Tab for moving between cells. Installed once on the application as an event filter, so a
// window needs nothing of its own.
class KeyboardPolicy : public QObject {
    Q_OBJECT
public:
    explicit KeyboardPolicy(QObject *parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
