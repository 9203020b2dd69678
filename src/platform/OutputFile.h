#pragma once

#include <QIODevice>
#include <QString>

// A file written for the user: a printed report as PDF, a spreadsheet, an exported text. What
// is written goes to a temporary file beside the target (".<name>.<random>" in the same
// folder), which takes the target's place (rename) only once it is whole and on the disk. So
// whatever fails on the way (a folder that is not there, no room, no permission, a stop), the
// file that was there stays as it was, and nothing is left beside it. Appending copies the old
// content into the temporary file first, so an append that fails loses nothing either.
//
// A symbolic link is followed: the file it points to is replaced and the link stays. A target
// that is no regular file (a device such as /dev/null, a FIFO) cannot be replaced: it is
// written directly.
//
// Write through this device (QIODevice::write), or, for a library that writes a whole file by
// its name, to temporaryPath(). Failures are texts for the user, in Portuguese, naming the
// target as it was given.
class OutputFile : public QIODevice {
public:
    enum class Mode { Replace, Append };

    explicit OutputFile(const QString &target);
    // Discards what was not committed.
    ~OutputFile() override;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Checks the target and opens the temporary file for writing. False, with reason() set,
    // when the file cannot be written there; nothing was touched then.
    bool begin(Mode mode = Mode::Replace);
    // Where a library writes the whole file by name (the target itself when written directly).
    QString temporaryPath() const { return m_temporary; }
    // Puts the new content in place. False, with reason() set, when anything failed on the
    // way; the old file is then as it was and the temporary file is gone.
    bool commit();
    // Drops what was written; the old file stays.
    void discard();

    QString target() const { return m_target; }
    // Whether the target held a file when begin() ran.
    bool existed() const { return m_existed; }
    // Written straight to the target (a device, a FIFO): what was written before a failure is
    // there.
    bool isDirect() const { return m_direct; }
    // Why it failed ("a pasta /x não existe", "não há espaço no disco"); empty when nothing did.
    QString reason() const { return m_reason; }
    // "Não foi possível gravar o arquivo <target>: <reason>".
    QString error() const;

    // A system error number as the user reads it.
    static QString reasonFor(int error);
    // "Não foi possível gravar o arquivo <path>: <reason>", the one way a failed file is told.
    static QString failureText(const QString &path, const QString &reason);

    // Written in order, never sought: a PDF or a text goes out front to back.
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(const QString &reason);
    bool failWith(int error) { return fail(reasonFor(error)); }
    bool copyOldContent(const QString &from);

    QString m_target;
    QString m_final;      // the file replaced: the target, or where its link points
    QString m_temporary;
    QString m_reason;
    int m_fd = -1;
    int m_writeError = 0;  // the first failed write's error number
    bool m_existed = false;
    bool m_direct = false;
};
