#include "FaultProxy.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <memory>

// One client connection and its server connection. Bytes in each direction wait in a queue
// until their delay has passed.
class FaultProxyWorker : public QObject {
public:
    FaultProxyWorker(FaultProxy &proxy, QTcpSocket *client) : m_proxy(proxy), m_client(client)
    {
        m_client->setParent(this);
        if (proxy.m_mode == FaultProxy::Mode::Silent) {
            connect(m_client, &QTcpSocket::readyRead, this, [this] { m_client->readAll(); });
            connect(m_client, &QTcpSocket::disconnected, this, &QObject::deleteLater);
            return;
        }
        m_server = new QTcpSocket(this);
        m_server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_client, &QTcpSocket::readyRead, this, [this] { fromClient(); });
        connect(m_server, &QTcpSocket::readyRead, this, [this] { fromServer(); });
        connect(m_client, &QTcpSocket::disconnected, this, [this] { finish(); });
        connect(m_server, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] { deliver(); });
        m_timer.start();
        m_server->connectToHost(QHostAddress::LocalHost, proxy.m_serverPort);
    }

private:
    struct Chunk {
        qint64 due;
        QByteArray bytes;
        bool cutAfter = false;
    };

    void fromClient()
    {
        QByteArray bytes = m_client->readAll();
        if (m_lastFromServer) {
            m_proxy.m_roundTrips++;
            m_lastFromServer = false;
        }
        m_pendingPacket += bytes;
        bool cut = false;
        if (m_proxy.m_mode == FaultProxy::Mode::LoseCommitAnswer || m_proxy.m_mode == FaultProxy::Mode::HoldCommit) {
            // MySQL packets: 3-byte length, sequence, payload; COM_QUERY is 0x03.
            while (m_pendingPacket.size() >= 4) {
                const int length = quint8(m_pendingPacket[0]) | quint8(m_pendingPacket[1]) << 8 |
                                   quint8(m_pendingPacket[2]) << 16;
                if (m_pendingPacket.size() < 4 + length)
                    break;
                const QByteArray payload = m_pendingPacket.mid(4, length);
                m_pendingPacket.remove(0, 4 + length);
                if (payload.size() > 1 && payload[0] == 0x03 &&
                    payload.mid(1).trimmed().toLower() == "commit")
                    cut = true;
            }
        } else {
            m_pendingPacket.clear();
        }
        if (cut && m_proxy.m_mode == FaultProxy::Mode::HoldCommit) {
            // Never forwarded: the client waits for the answer until the server goes.
            m_proxy.m_commitsHeld++;
            return;
        }
        m_toServer.push_back({m_clock.elapsed() + m_proxy.m_delay, bytes, cut});
        deliver();
    }

    void fromServer()
    {
        m_lastFromServer = true;
        m_toClient.push_back({m_clock.elapsed() + m_proxy.m_delay, m_server->readAll(), false});
        deliver();
    }

    void deliver()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_toServer.empty() && m_toServer.front().due <= now &&
               m_server->state() == QAbstractSocket::ConnectedState) {
            Chunk chunk = std::move(m_toServer.front());
            m_toServer.pop_front();
            m_server->write(chunk.bytes);
            m_server->flush();
            if (chunk.cutAfter) {
                // The commit reaches the server; its answer never reaches the client.
                m_proxy.m_commitsCut++;
                m_cut = true;
                m_client->abort();
                return;
            }
        }
        while (!m_toClient.empty() && m_toClient.front().due <= now && !m_cut) {
            m_client->write(m_toClient.front().bytes);
            m_client->flush();
            m_toClient.pop_front();
        }
        if (m_proxy.m_stop)
            finish();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_timer.stop();
        if (!m_cut)
            m_client->disconnectFromHost();
        // After a cut the server side stays open a moment, as a proxy that has not noticed yet.
        QTimer::singleShot(m_cut ? 2000 : 0, this, [this] {
            m_server->disconnectFromHost();
            deleteLater();
        });
    }

    FaultProxy &m_proxy;
    QTcpSocket *m_client;
    QTcpSocket *m_server = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock = [] { QElapsedTimer t; t.start(); return t; }();
    std::deque<Chunk> m_toServer, m_toClient;
    QByteArray m_pendingPacket;
    bool m_lastFromServer = false;
    bool m_cut = false;
    bool m_finished = false;
};

FaultProxy::FaultProxy(quint16 serverPort, Mode mode, int delayMsEachWay)
    : m_serverPort(serverPort), m_mode(mode), m_delay(delayMsEachWay) {}

FaultProxy::~FaultProxy() { stop(); }

void FaultProxy::startListening()
{
    start();
    while (m_port.load() == 0)
        QThread::msleep(5);
}

void FaultProxy::stop()
{
    if (!isRunning())
        return;
    m_stop = true;
    quit();
    wait(10000);
}

void FaultProxy::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *client = server.nextPendingConnection())
            new FaultProxyWorker(*this, client);
    });
    m_port = server.serverPort();
    exec();
}
