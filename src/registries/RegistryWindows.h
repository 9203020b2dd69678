#pragma once

#include "registries/RegistrationWindow.h"

class QPlainTextEdit;

// A registration window whose rows own an identifier (collaborators, events, locations): the
// identifier field is filled only from the list of free identifiers.
class OwnerWindow : public RegistrationWindow {
    Q_OBJECT
public:
    OwnerWindow(const QString &caption, DataSet &query, const QString &identifierField,
                QWidget *parent);

    QLineEdit *edIdentificador = nullptr;

public Q_SLOTS:
    void btIdentificadorclick();

protected:
    // Adds the identifier row, where the member window wants it.
    void addIdentifierField();
    // Whether `code` may be given to the current row; the locations window refuses one
    // already held by another location.
    virtual bool mayTake(const QString &code);

private:
    QString m_identifierField;
};

// "Locais": checkpoints. Its query stays open between openings, "Localiza" saves a pending
// change by moving, and closing after a save refreshes the location names kept in route stops.
class TfmLocais : public OwnerWindow {
    Q_OBJECT
public:
    explicit TfmLocais(QWidget *parent = nullptr);
    QLineEdit *edNome = nullptr;
    QPlainTextEdit *edObs = nullptr;

    // Copies each location's current name into the route stops that show an older one.
    static void refreshRouteStopNames();

protected:
    bool mayTake(const QString &code) override;
    void done(int result) override;
};

// "Colaboradores": the guards.
class TfmFuncs : public OwnerWindow {
    Q_OBJECT
public:
    explicit TfmFuncs(QWidget *parent = nullptr);
    QLineEdit *edNome = nullptr;

public Q_SLOTS:
    void btadicionaclick() override;
};

// "Eventos".
class TfmEventos : public OwnerWindow {
    Q_OBJECT
public:
    explicit TfmEventos(QWidget *parent = nullptr);
    QLineEdit *edEvento = nullptr;
};

// "Função": job functions, coded with five digits.
class TfmFuncao : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmFuncao(QWidget *parent = nullptr);
    QLineEdit *edCodigo = nullptr;

public Q_SLOTS:
    void btadicionaclick() override;
};

// "Coletores": the terminals.
class TfmColetores : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmColetores(QWidget *parent = nullptr);
    QLineEdit *edCodigo = nullptr;

public Q_SLOTS:
    void btadicionaclick() override;
};
