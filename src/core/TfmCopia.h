#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Cópia de segurança": copies the database in use into the copies folder, and restores a copy
// over it. The work is the Backup engine's; the window asks, shows progress and the outcome.
class TfmCopia : public QDialog {
    Q_OBJECT
public:
    explicit TfmCopia(QWidget *parent = nullptr);

    void btCopiarclick();
    void btRestaurarclick();

    QLabel *lbUltima = nullptr;
    QPlainTextEdit *mmLog = nullptr;
    QPushButton *btCopiar = nullptr;
    QPushButton *btRestaurar = nullptr;

    // "Última cópia: dd/mm/yyyy hh:nn", or what went wrong with the last automatic copy.
    static QString lastCopyText();

private:
    void showLastCopy();
};
