#pragma once

#include "../backup/runtesting.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QSettings>

// Runs the real vellory-cli as a child process with its own data and
// preference folders inside a private temporary home.
class CliProcessTest : public ::testing::Test
{
protected:
    struct Result
    {
        int exitCode = -1;
        QStringList out;
        QStringList err;
        [[nodiscard]] QStringList messages() const { return messagesOf(out); }
        [[nodiscard]] QStringList errorLines() const { return messages().filter(QRegularExpression(QStringLiteral("^Error: "))); }
    };

    // Runs end without the eject the preferences otherwise ask for.
    void noAutoEject() const
    {
        QSettings(m_home.path() + QStringLiteral("/config/Brindlewick/Vellory 2.conf"), QSettings::IniFormat)
            .setValue(QStringLiteral("autoEjectOnComplete"), false);
    }

    [[nodiscard]] QString storeFile() const
    {
        return m_home.path() + QStringLiteral("/data/com.brindlewick.vellory2/BackupScript.json");
    }

    // `wrapper` runs the program under another one (strace, prlimit, ...).
    void start(QProcess &process, const QStringList &arguments, const QStringList &wrapper = {},
               const QString &workingDirectory = QString()) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(workingDirectory);
        const QStringList command = wrapper + QStringList{QStringLiteral(VELLORY_CLI_PATH)} + arguments;
        process.start(command.first(), command.mid(1));
        EXPECT_TRUE(process.waitForStarted());
    }

    static Result finish(QProcess &process)
    {
        EXPECT_TRUE(process.waitForFinished(120000));
        Result result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        result.err = QString::fromUtf8(process.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return result;
    }

    Result run(const QStringList &arguments, const QStringList &wrapper = {}, const QString &workingDirectory = {}) const
    {
        QProcess process;
        start(process, arguments, wrapper, workingDirectory);
        return finish(process);
    }

    static BackupScript readSet(const QString &path)
    {
        return decodeBackupScript(contentOf(path)).script.value_or(BackupScript());
    }

    QString setFile() const { return m_home.path() + QStringLiteral("/sets/mine.json"); }

    // Reads a running process's standard output or error until `line` shows up.
    static bool readUntil(QProcess &process, bool errors, const QString &line, QString &seen)
    {
        const QDeadlineTimer deadline(30000);
        while (!seen.contains(line) && !deadline.hasExpired()) {
            process.waitForReadyRead(100);
            seen += QString::fromUtf8(errors ? process.readAllStandardError() : process.readAllStandardOutput());
        }
        return seen.contains(line);
    }

    // A set for `volumePath` (see scriptFor) written to a file of its own.
    QString writeSet(const QString &volumePath, const QStringList &sources) const
    {
        const QString file = m_home.path() + QStringLiteral("/set.json");
        writeFile(file, encodeBackupScript(scriptFor(volumePath, sources)));
        return file;
    }

    QTemporaryDir m_home;
};
