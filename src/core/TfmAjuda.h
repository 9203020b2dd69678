#pragma once

#include <QDialog>
#include <QTextDocument>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Ajuda": the help text TORVEL.TXT shown read-only in a window of our own, so help works on
// a desktop without any text viewer. A search field finds the next or previous occurrence
// (without regard to letter case, wrapping at the ends); "Abrir no editor de texto" hands the
// file to the desktop's viewer for those who prefer it.
class TfmAjuda : public QDialog {
    Q_OBJECT
public:
    explicit TfmAjuda(const QString &path, QWidget *parent = nullptr);

    QPlainTextEdit *mmTexto = nullptr;
    QLineEdit *edProcura = nullptr;
    QPushButton *btProxima = nullptr;
    QPushButton *btAnterior = nullptr;
    QLabel *lbProcura = nullptr;
    QPushButton *btAbrir = nullptr;
    QPushButton *btFechar = nullptr;

    bool loaded() const { return m_loaded; }

public Q_SLOTS:
    bool btProximaclick();
    bool btAnteriorclick();
    void btAbrirclick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool find(QTextDocument::FindFlags direction);

    QString m_path;
    bool m_loaded = false;
};
