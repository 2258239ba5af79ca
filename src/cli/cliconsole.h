#pragma once

#include <QString>

#include <cstdio>

/// Where a command writes: lines on standard output and standard error,
/// flushed at once so that scripts and timers see them as they happen.
class CliConsole
{
public:
    CliConsole(std::FILE *out = stdout, std::FILE *err = stderr) : m_out(out), m_err(err) {}

    void printLine(const QString &line) { write(m_out, line); }
    void printError(const QString &line) { write(m_err, line); }

private:
    static void write(std::FILE *stream, const QString &line);

    std::FILE *m_out;
    std::FILE *m_err;
};
