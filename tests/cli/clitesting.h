#pragma once

#include "backup/backupscript.h"
#include "platform/computername.h"
#include "volumes/linuxvolumetable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        // Standard-output lines after the first, without their time stamps.
        [[nodiscard]] QStringList messages() const
        {
            QStringList result;
            for (const QString &line : out.mid(1)) {
                result << line.mid(11);
            }
            return result;
        }
    };

    [[nodiscard]] QString dataHome() const { return m_home.path() + QStringLiteral("/data"); }
    [[nodiscard]] QString configHome() const { return m_home.path() + QStringLiteral("/config"); }
    [[nodiscard]] QString storeFile() const
    {
        return dataHome() + QStringLiteral("/com.brindlewick.vellory2/BackupScript.json");
    }

    void setPreference(const QString &key, const QVariant &value) const
    {
        QSettings settings(configHome() + QStringLiteral("/Brindlewick/Vellory 2.conf"), QSettings::IniFormat);
        settings.setValue(key, value);
    }

    // `wrapper` runs the program under another one (strace, prlimit, ...).
    void start(QProcess &process, const QStringList &arguments, const QString &workingDirectory = QString(),
               const QStringList &wrapper = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        if (!workingDirectory.isEmpty()) {
            process.setWorkingDirectory(workingDirectory);
        }
        if (wrapper.isEmpty()) {
            process.start(QStringLiteral(VELLORY_CLI_PATH), arguments);
        } else {
            process.start(wrapper.first(), wrapper.mid(1) + QStringList{QStringLiteral(VELLORY_CLI_PATH)} + arguments);
        }
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

    Result run(const QStringList &arguments, const QString &workingDirectory = QString(),
               const QStringList &wrapper = {}) const
    {
        QProcess process;
        start(process, arguments, workingDirectory, wrapper);
        return finish(process);
    }

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    static BackupScript readSet(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? decodeBackupScript(file.readAll()).script.value_or(BackupScript())
                                              : BackupScript();
    }

    // A set for `volumePath`, named by the real UUID when a volume is
    // mounted there (as choosing it would), written to `file`.
    QString writeSet(const QString &volumePath, const QStringList &sources, QString file = QString()) const
    {
        BackupScript script;
        script.volumeName = QStringLiteral("STICK");
        const auto mounted = volumes::LinuxVolumeTable().volumeAt(volumePath);
        script.volumeUUID = mounted ? mounted->uuid : QStringLiteral("TEST-UUID");
        script.volumePath = volumePath;
        script.sourcePaths = sources;
        file = file.isEmpty() ? m_home.path() + QStringLiteral("/set.json") : file;
        writeFile(file, encodeBackupScript(script));
        return file;
    }

    static QString copyOf(const QString &volumePath, const QString &file)
    {
        return volumePath + QStringLiteral("/Vellory/") + platform::computerName() + file;
    }

    QTemporaryDir m_home;
};

#define REQUIRE_MOUNTED(volume)                                                                                        \
    if (!(volume).isMounted()) {                                                                                       \
        GTEST_SKIP() << (volume).skipReason().toStdString();                                                          \
    }
