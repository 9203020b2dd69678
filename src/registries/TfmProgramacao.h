#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QToolButton;

// "Programação": the collaborator who carries each collector and the route it serves. Every
// choice is written to the collector's row at once; the grid only mirrors the table (an
// in-memory working table, one row per collector in the order of their names).
class TfmProgramacao : public QDialog {
    Q_OBJECT
public:
    explicit TfmProgramacao(QWidget *parent = nullptr);

    // Columns of the working table, as the grid and the tests read them.
    enum Column { NomeColetor, NomeFunc, NomeRot };
    enum Role { CodColetor = Qt::UserRole + 1, CodFunc, CodRot };

    QTableView *dbgProgramacao = nullptr;
    QStandardItemModel *tmp = nullptr;
    QLineEdit *edColaborador = nullptr;
    QLineEdit *edRoteiro = nullptr;
    QToolButton *btColaborador = nullptr;
    QToolButton *btRoteiro = nullptr;
    QPushButton *buRetorna = nullptr;

    // The current row, -1 when there is none.
    int currentRow() const;

public Q_SLOTS:
    void FormCreate();
    void btColaboradorclick();
    void btRoteiroclick();
    void edColaboradorDblClick();
    void edRoteiroDblClick();
    void buRetornaclick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Programmed {
        Column nameColumn;
        Role codeRole;
        const char *column;  // of coletor
    };
    void store(const Programmed &what, int code, const QString &name);
    void showCurrent();
    void guarded(const std::function<void()> &body);
};
