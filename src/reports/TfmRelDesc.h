#pragma once

#include "reports/DownloadReports.h"

#include <QDateTime>
#include <QDialog>
#include <functional>

class MaskEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QToolButton;
class TdmzDados;

// Opens the consistency analysis on one download (collector code, download date-time).
using ConsistencyOpener = std::function<void(const QString &collector, const QDateTime &download)>;

// "Relatório de Descarregamento (...)": one window for the four analytic reports over the
// collection records, configured by its member (key, query, columns, captions). The key with
// its search list and description, a period of days, the rows on screen ("Vídeo"/"Relatório")
// or on paper or in a spreadsheet ("Impressora").
class TfmRelDesc : public QDialog {
    Q_OBJECT
public:
    TfmRelDesc(DownloadsKey key, ConsistencyOpener opener, QWidget *parent);

    const DownloadsMember &member() const { return m_member; }
    // The rows on screen, as the grid shows them.
    QStringList gridRow(int row) const;
    int gridRows() const;

    QLineEdit *edKey = nullptr;  // edColetor, edCodFun, edEvento, edLocal
    QToolButton *btPesquisa = nullptr;
    QLineEdit *edDescricao = nullptr;  // edDescricao, edNome, edNome_local
    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QTableView *DBGrid1 = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btImpressora = nullptr;
    QPushButton *btRetorna = nullptr;

public Q_SLOTS:
    void btPesquisaclick();
    // Leaving the key field: the description of what was typed, or the key refused.
    void edKeyExit();
    void btRelatorioclick();
    void btImpressoraclick();
    void DBGrid1DblClick();
    void btRetornaclick() { reject(); }

private:
    void buildWidgets();
    void FormCreate();
    std::optional<DownloadsResult> runQuery();
    void showRows(const DownloadsResult &result);
    void closeGrid();

    TdmzDados &m_dm;
    const DownloadsMember &m_member;
    ConsistencyOpener m_opener;
    QStandardItemModel *m_grid = nullptr;
    QList<QVariantList> m_values;
    bool m_gridOpen = false;
};

class TfmRelDescCol : public TfmRelDesc {
    Q_OBJECT
public:
    explicit TfmRelDescCol(ConsistencyOpener opener = {}, QWidget *parent = nullptr)
        : TfmRelDesc(DownloadsKey::Collector, std::move(opener), parent) {}
};

class TfmRelDescFun : public TfmRelDesc {
    Q_OBJECT
public:
    explicit TfmRelDescFun(ConsistencyOpener opener = {}, QWidget *parent = nullptr)
        : TfmRelDesc(DownloadsKey::Collaborator, std::move(opener), parent) {}
};

class TfmRelDescEve : public TfmRelDesc {
    Q_OBJECT
public:
    explicit TfmRelDescEve(QWidget *parent = nullptr) : TfmRelDesc(DownloadsKey::Event, {}, parent) {}
};

class TfmRelDescLoc : public TfmRelDesc {
    Q_OBJECT
public:
    explicit TfmRelDescLoc(QWidget *parent = nullptr) : TfmRelDesc(DownloadsKey::Location, {}, parent) {}
};
