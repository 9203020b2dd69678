#pragma once

#include <QByteArray>
#include <QThread>
#include <atomic>

// A TCP proxy on 127.0.0.1 between a client and the MySQL server, run in a thread of its own so
// a child process (torvelctl) can be driven through it from a test or a benchmark. It can add a
// delay each way (a slow link), count round trips (a request sent after an answer came back),
// cut a connection right after forwarding a COMMIT so its answer never arrives, hold a COMMIT
// back (the transaction stays open on the server with all its rows, the client waiting for the
// answer) until the server goes, or, with no server behind it, accept connections and then never
// answer.
class FaultProxy : public QThread {
public:
    enum class Mode { Forward, LoseCommitAnswer, HoldCommit, Silent };

    FaultProxy(quint16 serverPort, Mode mode = Mode::Forward, int delayMsEachWay = 0);
    ~FaultProxy() override;

    // The port clients connect to; valid once started.
    quint16 port() const { return m_port.load(); }
    int roundTrips() const { return m_roundTrips.load(); }
    void resetRoundTrips() { m_roundTrips = 0; }
    // How many COMMITs had their answers dropped.
    int commitsCut() const { return m_commitsCut.load(); }
    // How many COMMITs are held back.
    int commitsHeld() const { return m_commitsHeld.load(); }
    // Starts the thread and waits until it listens.
    void startListening();
    void stop();

protected:
    void run() override;

private:
    quint16 m_serverPort;
    Mode m_mode;
    int m_delay;
    std::atomic<quint16> m_port{0};
    std::atomic<int> m_roundTrips{0};
    std::atomic<int> m_commitsCut{0};
    std::atomic<int> m_commitsHeld{0};
    std::atomic<bool> m_stop{false};
    friend class FaultProxyWorker;
};
