#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// Lets only one copy of the program run per user: a second start hands over to the first,
// which comes to the front, and then ends. The lock is a lock file in a folder only the user can
// write to: the session's runtime folder ($XDG_RUNTIME_DIR) when it is the user's own and not
// writable by others, else a 0700 folder "torvel-run" in the user's cache folder; so another
// account can neither hold the lock nor answer on the socket. A crashed holder's stale file is
// taken over; the hand-over goes through a local socket next to the lock.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // key: the application's name; the user's name is added so users never block each other.
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first instance, which then keeps the lock until destroyed. False
    // when another holds it; that one has been asked to come forward.
    bool tryAcquire();
    bool isPrimary() const { return m_lock != nullptr; }
    // Where the lock file lives; empty when no private folder could be had.
    QString lockPath() const { return m_lockPath; }

Q_SIGNALS:
    // A later start asked the first instance to show itself.
    void activationRequested();

private:
    void acceptConnection();

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
