#pragma once

#include <QString>
#include <QStringList>

/// The program's options. `--background` is given by the login autostart
/// entry; two hidden ones serve the screenshot script: `--demo` starts one backup and
/// keeps a second, simulated one running, and `--screenshot DIR` writes
/// pictures of the three windows into DIR and quits.
struct LaunchOptions
{
    /// `--background`: started at login; no window, only the status icon.
    bool background = false;
    bool demo = false;
    QString screenshotFolder;

    /// Reads `arguments` (the program's name first); unknown ones are ignored.
    [[nodiscard]] static LaunchOptions parse(const QStringList &arguments);

    /// Whether an option meant for pictures is given.
    [[nodiscard]] bool forPictures() const { return demo || !screenshotFolder.isEmpty(); }

    /// Why the picture options may not run with these folders: they start a
    /// backup, which stamps and saves the set, so the set's folder and the
    /// preferences' folder (XDG_DATA_HOME, XDG_CONFIG_HOME) must both lie
    /// inside `tempFolder`, never the person's own. Empty when they do.
    [[nodiscard]] static QString privateFoldersProblem(const QString &dataHome, const QString &configHome,
                                                       const QString &tempFolder);
};
