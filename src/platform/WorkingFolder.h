#pragma once

#include <QString>

// The folder of one process's working tables: a private folder (mode 0700) of its own under the
// TEMP folder, so two runs at once (two torvelctl commands, or one beside the desktop program)
// never write or read each other's tables. Each folder has a lock file beside it,
// "<name>.lock", locked (flock) for as long as its process lives: the lock goes with the
// process however it ends, so a folder whose lock can be taken belongs to nobody any more.
//
// A new working folder first removes the folders of processes that are gone; the orderly end
// of its owner (the destructor) removes it.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString &parent);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    // Absolute, ending in '/'. When no private folder could be made there (the parent cannot be
    // written), the parent itself: the tables then fail there with their own messages.
    QString path() const { return m_path; }
    bool isPrivate() const { return !m_shared; }

    // Removes the working folders under `parent` whose process is gone; how many.
    static int removeAbandoned(const QString &parent);

private:
    QString m_path;
    QString m_lockPath;
    int m_lock = -1;
    bool m_shared = false;
};
