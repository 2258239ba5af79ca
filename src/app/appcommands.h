#pragma once

#include "Moraine/kitservices.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class UpdateChecks;
class WindowRouter;


/// What the menus and the main window's toolbar do, and the texts they
/// show: update checks, the feedback e-mail, the maker's web pages, the
/// settings window, the About box and the share sheet's parameters. Every
/// address comes from the build's configuration.
class AppCommands : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application makes its commands.")
    Q_PROPERTY(QString applicationName READ applicationName CONSTANT)
    Q_PROPERTY(QString versionText READ versionText CONSTANT)
    Q_PROPERTY(QString shareAppName READ shareAppName CONSTANT)
    Q_PROPERTY(QString shareEmailSubject READ shareEmailSubject CONSTANT)
    Q_PROPERTY(QString shareMessage READ shareMessage CONSTANT)
    Q_PROPERTY(QString shareTargetURL READ shareTargetURL CONSTANT)
    /// What the share sheet opens its posts and messages with.
    Q_PROPERTY(moraine::KitServices *kit READ kit CONSTANT)

public:
    static constexpr const char *kSettingsWindow = "settings";
    static constexpr const char *kRestoreWindow = "restore";

    AppCommands(UpdateChecks &checks, WindowRouter &router, moraine::KitServices &kit, QObject *parent = nullptr);

    [[nodiscard]] static QString applicationName();
    /// The version as the About box shows it: "2.0.0 (200)".
    [[nodiscard]] static QString versionText();
    [[nodiscard]] static QString shareAppName();
    [[nodiscard]] static QString shareEmailSubject();
    [[nodiscard]] static QString shareMessage();
    [[nodiscard]] static QString shareTargetURL();
    [[nodiscard]] moraine::KitServices *kit() const { return &m_kit; }

    /// "Check for updates...": a new check on a new object, every time.
    Q_INVOKABLE void checkForUpdates();
    /// "Contact Brindlewick for support or feedback...": the feedback e-mail.
    Q_INVOKABLE void contactSupport();
    /// "Visit Brindlewick's Website..." and the toolbar's "Brindlewick".
    Q_INVOKABLE void visitWebsite();
    /// "Stay Up To Date": the maker's news page.
    Q_INVOKABLE void stayUpToDate();
    /// Shows the settings window (one only).
    Q_INVOKABLE void showSettings();
    /// "Restore…": shows the Restore window (one only).
    Q_INVOKABLE void showRestore();

private:
    void openAddress(const QString &address);

    UpdateChecks &m_checks;
    WindowRouter &m_router;
    moraine::KitServices &m_kit;
};
