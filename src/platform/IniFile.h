#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// A classic INI file read and written key by key. Every read parses the file as it is on disk
// now (another window or another process may have written it since), and every write rewrites
// the file at once through a temporary file renamed over it, so a crash never leaves half a file.
// A change (write or delete) holds an exclusive lock on the sibling file "<file>.lock" from the
// read to the rename, so changes made at the same time by several processes are all kept.
//
// Section and key names are case-insensitive; an existing key keeps its spelling and position
// when rewritten. Lines that are not "[section]" or "key=value" (comments, blanks, junk) are kept
// on rewrite and ignored on read, as are keys before the first section.
class IniFile {
public:
    // ownerOnly: the file holds a secret (the database password) and is kept at mode 0600.
    explicit IniFile(const QString &path, bool ownerOnly = false);

    QString path() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &def = {}) const;
    // Absent, or not a decimal integer (blanks around it allowed): def.
    int readInteger(const QString &section, const QString &key, int def) const;
    // Stored as "1"/"0"; any non-zero integer is true, a non-integer reads as def.
    bool readBool(const QString &section, const QString &key, bool def) const;

    // False on failure, with lastError() telling why. The file and its folder are created when
    // missing.
    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);
    bool writeBool(const QString &section, const QString &key, bool value);

    bool sectionExists(const QString &section) const;
    bool valueExists(const QString &section, const QString &key) const;
    // In file order, each name once, as first spelled.
    QStringList sections() const;
    QStringList keys(const QString &section) const;

    // A name that can be written back and read again as the same name: not empty, without line
    // breaks, "[", "]" or "=", not starting with ";".
    static bool isValidName(const QString &name);

    bool deleteKey(const QString &section, const QString &key);
    bool eraseSection(const QString &section);

    // Nothing is held open between calls; close() only records that the owner is done, and a
    // later read or write simply works again.
    void close() { m_closed = true; }
    bool isClosed() const { return m_closed; }

    // False when the file exists but cannot be read (permissions); reads then see it as empty
    // and writes refuse to replace it.
    bool isReadable() const;
    QString readError() const;
    QString lastError() const { return m_lastError; }

private:
    struct Content;

    Content load() const;
    bool save(const Content &content);
    // Locked read-modify-write: apply() changes the current contents and returns whether there
    // is anything to write.
    bool change(const std::function<bool(Content &)> &apply);
    bool fail(const QString &reason);

    QString m_path;
    bool m_ownerOnly;
    bool m_closed = false;
    QString m_lastError;
};
