#pragma once

#include <QDateTime>
#include <QDialog>
#include <functional>
#include <memory>

class LocalTable;
class QAction;
class QMenu;
class QPushButton;
class QLabel;
class QTableWidget;

// "Dados da última coleta": the touches of the last download with what each identifier is;
// identifiers not yet registered can be registered from here, and "Consistir" runs the
// consistency report on the collector's latest download.
class TfmDescarga : public QDialog {
    Q_OBJECT
public:
    // Runs the consistency report for a collector's most recent download; installed by the
    // reports module.
    using ConsistencyRunner = std::function<void(const QString &collector, QWidget *parent)>;
    static void setConsistencyRunner(ConsistencyRunner runner);

    explicit TfmDescarga(QWidget *parent = nullptr);
    ~TfmDescarga() override;

    QLabel *lbAviso = nullptr;
    QTableWidget *dbgDescarga = nullptr;
    QPushButton *btConsistir = nullptr;
    QPushButton *btRetorna = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *Cadastraridentificadoratual1 = nullptr;
    QAction *Cadastrartodasasmemrias1 = nullptr;

    // Index of the grid's current row, -1 when none.
    int currentRow() const;
    void setCurrentRow(int row);

public Q_SLOTS:
    void btRetornaclick();
    void Consistir();
    void PopupMenu1Popup();
    void Cadastraridentificadoratual1Click();
    void Cadastrartodasasmemrias1Click();

private:
    void load();
    // Registers `button` when the registry does not have it; true when it was added.
    bool registerIdentifier(const QString &button, const QString &type, const QDateTime &when);
    // Reclassifies row `row` of the working table and the grid.
    void reclassify(int row);

    std::unique_ptr<LocalTable> m_table;
};
