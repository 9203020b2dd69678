#pragma once

#include "collection/terminals/OneWireDriver.h"

#include <QObject>
#include <QString>
#include <memory>

// Reads touch-memory codes from a 1-Wire reader, one poll at a time: the engine of the window
// "Ler identificador" and of `torvelctl read-ibutton`. Each poll opens a session, sets the
// reader up until it has been set up once, reads the first device present and ends the
// session; the caller decides how often to poll. The code is a cut of the twelve hexadecimal
// digits of the device's serial number (most significant first): `tamanho` characters from
// the 1-based position `inicio`.
class ButtonReader : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultInicio = 7;
    static constexpr int kDefaultTamanho = 6;
    // How often a waiting reader is polled, in milliseconds.
    static constexpr int kPollInterval = 100;

    explicit ButtonReader(std::unique_ptr<OneWireDriver> driver, QObject *parent = nullptr);
    ~ButtonReader() override;

    OneWireDriver &driver() const { return *m_driver; }

    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    void setCut(int inicio, int tamanho);
    int inicio() const { return m_inicio; }
    int tamanho() const { return m_tamanho; }

    // One round of the driver; true (and codeRead) when a device was read.
    bool poll();
    // Lets the driver go: a session and, when granted, its end and the driver's close.
    // Polling may start again afterwards.
    void close();

    bool isSetUp() const { return m_setUp; }
    // The code of the last device read; empty until one is read.
    QString code() const { return m_code; }

    // The twelve serial-number digits of a ROM code, most significant first, upper case.
    static QString serialText(const OneWireDriver::Rom &rom);
    // Characters inicio..inicio+tamanho-1 (1-based) of `serial`: a start before the first
    // character starts at the first, a start past the end or a size below 1 gives nothing,
    // and a cut running past the end stops there.
    static QString cut(const QString &serial, int inicio, int tamanho);

Q_SIGNALS:
    void codeRead(const QString &code);

private:
    std::unique_ptr<OneWireDriver> m_driver;
    OneWireDriver::SearchState m_state{};
    int m_port = 1;
    int m_inicio = kDefaultInicio;
    int m_tamanho = kDefaultTamanho;
    bool m_setUp = false;
    QString m_code;
};
