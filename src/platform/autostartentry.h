#pragma once

#include <QString>

namespace platform {

/// The user's XDG autostart entry for the application:
/// $XDG_CONFIG_HOME/autostart/<appId>.desktop (else ~/.config/autostart).
/// The session starts every entry there at login.
class AutostartEntry
{
public:
    /// The entry of `appId` in the user's configuration folder.
    explicit AutostartEntry(const QString &appId);
    /// The entry of `appId` in the folder `autostartFolder` (tests).
    AutostartEntry(const QString &appId, const QString &autostartFolder);

    [[nodiscard]] QString filePath() const;
    /// Whether the entry exists and is not switched off (Hidden=true).
    [[nodiscard]] bool isEnabled() const;

    /// Writes the entry so that login runs `program` with `arguments`;
    /// empty text on success, else why not.
    [[nodiscard]] QString enable(const QString &program, const QStringList &arguments) const;
    /// Removes the entry (nothing when there is none); empty text on
    /// success, else why not.
    [[nodiscard]] QString disable() const;

    /// `program` and `arguments` as an Exec value: each quoted when it needs
    /// it, with the characters the entry format reserves escaped.
    [[nodiscard]] static QString execLine(const QString &program, const QStringList &arguments);

private:
    QString m_appId;
    QString m_folder;
};

} // namespace platform
