#pragma once

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

    QTemporaryDir m_home;
};
