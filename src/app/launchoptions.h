#pragma once

#include <QString>
#include <QStringList>

/// The program's options: `--help` and `--version`, and two hidden ones for
/// the screenshot script: `--demo` starts one backup and keeps a second,
/// simulated one running, and `--screenshot DIR` writes pictures of the
/// three windows into DIR and quits. Qt's own options (`-platform NAME`,
/// `-style NAME`, ...) are accepted and left to Qt.
struct LaunchOptions
{
    bool demo = false;
    QString screenshotFolder;
    bool helpRequested = false;
    bool versionRequested = false;
    /// Options neither the program nor Qt knows, and options missing their value.
    QStringList errors;

    /// Reads `arguments` (the program's name first). It needs no application
    /// object, so it can run before a display is opened. Arguments that are
    /// not options (a launcher's file arguments) are ignored.
    [[nodiscard]] static LaunchOptions parse(const QStringList &arguments);
    /// The `--help` text for `program`.
    [[nodiscard]] static QString usage(const QString &program);
};
