#pragma once

#include <QFile>
#include <QProcess>
#include <QString>

#include <unistd.h>

// Makes a file or folder unwritable for as long as the object lives, for root too: root passes
// plain permissions by, so it gets the immutable attribute. ok() is false where the file system
// has no such attribute; a test then skips.
class Unwritable {
public:
    explicit Unwritable(const QString &path) : m_path(path), m_permissions(QFile::permissions(path))
    {
        if (geteuid() == 0)
            m_ok = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        else
            m_ok = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~Unwritable()
    {
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, m_permissions);
    }
    Unwritable(const Unwritable &) = delete;
    Unwritable &operator=(const Unwritable &) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_path;
    QFileDevice::Permissions m_permissions;
    bool m_ok = false;
};
