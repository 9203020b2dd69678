#pragma once

#include "reports/RoundsBoard.h"

#include <QDialog>
#include <memory>
#include <optional>

class MaskEdit;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TdmzDados;

// Paints one cycle's timeline (RoundTimeline) at the screen's millimetres, as tall as it needs.
class RoundTimelineView : public QWidget {
    Q_OBJECT
public:
    explicit RoundTimelineView(QWidget *parent = nullptr);
    void setModel(std::optional<TimelineModel> model);
    const std::optional<TimelineModel> &model() const { return m_model; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double mm() const;
    std::optional<TimelineModel> m_model;
};

// "Painel do dia": the cycles of a day (of every collector or of one), grouped by route under
// each route's counts, coloured by status with the status always written; the cycle chosen
// shows its timeline below. A double click opens the consistency report of that collector's
// day; "Imprimir" previews the printed board with its timelines.
class TfmPainel : public QDialog {
    Q_OBJECT
public:
    explicit TfmPainel(QWidget *parent = nullptr);
    ~TfmPainel() override;

    MaskEdit *edDia = nullptr;
    QPushButton *btAnterior = nullptr;
    QPushButton *btProximo = nullptr;
    QComboBox *cbColetor = nullptr;
    QPushButton *btAtualizar = nullptr;
    QTreeWidget *tvCiclos = nullptr;
    RoundTimelineView *Linha = nullptr;
    QLabel *lbSituacao = nullptr;
    QPushButton *btImprimir = nullptr;
    QPushButton *btRetorna = nullptr;

    const RoundsBoard &board() const { return *m_board; }

public Q_SLOTS:
    // Reads the day and the collector and builds the board; false when the day is refused.
    bool btAtualizarclick();
    void btAnteriorclick() { moveDay(-1); }
    void btProximoclick() { moveDay(1); }
    void btImprimirclick();
    void btRetornaclick() { reject(); }
    void tvCicloscurrent();
    void tvCiclosdoubleclick(QTreeWidgetItem *item);

private:
    void buildWidgets();
    void moveDay(int days);
    void fillTree();
    const BoardCycle *cycleOf(QTreeWidgetItem *item) const;

    TdmzDados &m_dm;
    std::unique_ptr<RoundsBoard> m_board;
};
