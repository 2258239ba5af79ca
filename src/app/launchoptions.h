#pragma once

#include <QString>
#include <QStringList>

/// The program's options: `--help`, `--version`, `--background` (given by
/// the login autostart entry), and two hidden ones for the screenshot
/// script: `--demo` starts one backup and keeps a second, simulated one
/// running, and `--screenshot DIR` writes pictures of the three windows into
/// DIR and quits. Qt's own options (`-platform NAME`, `-style NAME`, ...) are
/// accepted and left to Qt.
struct LaunchOptions
{
    /// `--background`: started at login; no window, only the status icon.
    bool background = false;
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

    /// Whether an option meant for pictures is given.
    [[nodiscard]] bool forPictures() const { return demo || !screenshotFolder.isEmpty(); }

    /// Why the picture options may not run with these folders: they start a
    /// backup, which stamps and saves the set, so the set's folder and the
    /// preferences' folder (XDG_DATA_HOME, XDG_CONFIG_HOME) must both lie
    /// inside `tempFolder`, never the person's own. Empty when they do.
    [[nodiscard]] static QString privateFoldersProblem(const QString &dataHome, const QString &configHome,
                                                       const QString &tempFolder);

    /// The `--help` text for `program`.
    [[nodiscard]] static QString usage(const QString &program);
};
