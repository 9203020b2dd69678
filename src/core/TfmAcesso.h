#pragma once

#include <QDialog>
#include <QList>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Usuários do Sistema": the users (login and password) and their eleven permission flags.
// The flags act from the user's next login; the running program's menus stay as they are.
class TfmAcesso : public QDialog {
    Q_OBJECT
public:
    explicit TfmAcesso(QWidget *parent = nullptr);
    ~TfmAcesso() override;

    QListWidget *lvUsuarios = nullptr;
    QGroupBox *gbAcessos = nullptr;
    QLineEdit *edLogin = nullptr;
    QLineEdit *edSenha = nullptr;
    QPushButton *btadiciona = nullptr;
    QPushButton *btapaga = nullptr;
    QPushButton *btconfirma = nullptr;
    QPushButton *buRetorna = nullptr;

    // The check box of a permission column ("reldesc", ...).
    QCheckBox *flag(const QString &column) const;
    // The users listed, in order (the logins as captions).
    QStringList captions() const;

public Q_SLOTS:
    void FormCreate();
    void lvUsuariosClick(QListWidgetItem *item);
    void btadicionaclick();
    void btapagaclick();
    void btconfirmaclick();
    void buRetornaclick();
    void edLoginExit();
    void reject() override;

private:
    void fillList();
    // Saves a new or changed user before another is taken (throws when that is refused).
    void leavePending();
    void setFieldsEnabled(bool enabled);
    void guarded(const std::function<void()> &body);

    QList<QCheckBox *> m_flags;
};
