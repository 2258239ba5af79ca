import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Moraine
import Vellory
import Vellory.App

// The main window "Vellory 2": the sources and the destination side by side,
// a toolbar with "Share" and the maker's site, the menus, and the share
// sheet shown while the application's showShareSheet is set.
VelloryWindow {
    id: window
    objectName: "mainWindow"

    required property BackupController controller
    required property WindowRouter router
    required property VelloryApp app

    readonly property AppCommands commands: app.commands

    title: "Vellory 2"
    // The content is at least 800 × 450; bars come on top of that.
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight + (menuBar ? menuBar.implicitHeight : 0) + (header ? header.implicitHeight : 0)
    width: 920
    height: 600
    visible: false

    menuBar: MenuBar {
        objectName: "menuBar"

        // The "&" marks the access key; a screen reader reads the title without it.
        delegate: MenuBarItem {
            Accessible.name: text.replace(/&(.)/g, "$1")
        }

        FittedMenu {
            objectName: "fileMenu"
            title: qsTr("&File")

            // People who lost a file look at the backup first.
            MenuItem {
                objectName: "openBackupFolderItem"
                text: qsTr("Open Backup Folder")
                icon.name: "folder-open-symbolic"
                icon.color: palette.windowText
                enabled: window.controller.isConnected
                onTriggered: DesktopFiles.revealInFileManager(window.controller.backupFolderPath())
            }
            CommandMenuItem {
                objectName: "backupNowItem"
                text: qsTr("Backup Now")
                shortcutText: backupShortcut.nativeText
                icon.name: "document-save-symbolic"
                icon.color: palette.windowText
                enabled: backupShortcut.enabled
                onTriggered: window.controller.startBackup()
            }
            // Reads every copy back: a worn or counterfeit stick shows here
            // before the day a file is needed.
            MenuItem {
                objectName: "verifyBackupItem"
                text: qsTr("Verify Backup")
                icon.name: "emblem-ok-symbolic"
                icon.color: palette.windowText
                enabled: window.controller.isConnected
                onTriggered: window.controller.startVerify()
            }
            // With no destination set, the window offers the volumes that
            // hold backups (a new computer's first step).
            MenuItem {
                objectName: "restoreItem"
                text: qsTr("Restore…")
                Accessible.name: qsTr("Restore")
                icon.name: "document-revert-symbolic"
                icon.color: palette.windowText
                enabled: window.controller.volumeStatus !== BackupController.NotConnected
                onTriggered: window.commands.showRestore()
            }
            MenuSeparator {}
            CommandMenuItem {
                objectName: "settingsItem"
                text: qsTr("Settings...")
                shortcutText: settingsShortcut.nativeText
                icon.name: "preferences-system-symbolic"
                icon.color: palette.windowText
                onTriggered: window.commands.showSettings()
            }
            MenuSeparator {}
            CommandMenuItem {
                objectName: "quitItem"
                text: qsTr("Quit")
                shortcutText: quitShortcut.nativeText
                icon.name: "application-exit-symbolic"
                icon.color: palette.windowText
                onTriggered: window.app.requestQuit()
            }
        }

        FittedMenu {
            objectName: "helpMenu"
            title: qsTr("&Help")

            // The maker's group comes before the standard items.
            MenuItem {
                objectName: "contactItem"
                text: qsTr("Contact Brindlewick for support or feedback...")
                icon.name: "help-browser-symbolic"
                icon.color: palette.windowText
                onTriggered: window.commands.contactSupport()
            }
            MenuSeparator {}
            MenuItem {
                objectName: "websiteItem"
                text: qsTr("Visit Brindlewick's Website...")
                icon.name: "web-browser-symbolic"
                icon.color: palette.windowText
                onTriggered: window.commands.visitWebsite()
            }
            MenuItem {
                objectName: "newsItem"
                text: qsTr("Stay Up To Date")
                icon.name: "mail-unread-symbolic"
                icon.color: palette.windowText
                onTriggered: window.commands.stayUpToDate()
            }
            MenuItem {
                objectName: "shareLoveItem"
                text: qsTr("Share the Vellory 2 love...")
                icon.name: "emblem-favorite-symbolic"
                icon.color: palette.windowText
                onTriggered: window.app.showShareSheet = true
            }
            MenuSeparator {}

            MenuItem {
                objectName: "aboutItem"
                text: qsTr("About Vellory 2")
                icon.name: "help-about-symbolic"
                icon.color: palette.windowText
                onTriggered: aboutDialog.open()
            }
            MenuSeparator {}
            MenuItem {
                objectName: "checkForUpdatesItem"
                text: qsTr("Check for updates...")
                // An icon like its neighbours', so the texts line up.
                icon.name: "software-update-available-symbolic"
                icon.color: palette.windowText
                onTriggered: window.commands.checkForUpdates()
            }
        }
    }

    header: ToolBar {
        objectName: "toolBar"

        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 6
            anchors.rightMargin: 6
            spacing: 4

            Item { Layout.fillWidth: true }

            ToolButton {
                objectName: "shareButton"
                text: qsTr("Share")
                display: AbstractButton.TextBesideIcon
                icon.name: "emblem-favorite-symbolic"
                icon.color: palette.buttonText
                onClicked: window.app.showShareSheet = true
            }
            ToolButton {
                objectName: "makerButton"
                text: "Brindlewick"
                display: AbstractButton.TextOnly
                onClicked: window.commands.visitWebsite()
            }
        }
    }

    ContentView {
        id: content
        anchors.fill: parent
        controller: window.controller
        router: window.router
    }

    // Written out rather than as standard keys: the desktop's key scheme
    // gives Preferences no key outside KDE.
    // Quitting and the settings work from every window of the application.
    Shortcut {
        id: quitShortcut
        sequence: "Ctrl+Q"
        context: Qt.ApplicationShortcut
        onActivated: window.app.requestQuit()
    }
    Shortcut {
        id: settingsShortcut
        sequence: "Ctrl+,"
        context: Qt.ApplicationShortcut
        onActivated: window.commands.showSettings()
    }
    Shortcut {
        id: backupShortcut
        sequence: "Ctrl+B"
        enabled: window.controller.canStartBackup
        onActivated: window.controller.startBackup()
    }

    // The share sheet: a panel made afresh each time it is shown, so edits
    // to its message last only as long as the sheet.
    // A dialog, so that a screen reader names it by its title; the panel
    // shows the title itself.
    Dialog {
        id: shareSheet
        objectName: "shareSheet"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        padding: 0
        title: qsTr("Help us to spread the word")
        header: null
        closePolicy: Popup.CloseOnEscape
        focus: true
        visible: window.app.showShareSheet
        onClosed: window.app.showShareSheet = false

        contentItem: Loader {
            id: sharePanelLoader
            active: shareSheet.visible
            sourceComponent: SharePanel2025 {
                objectName: "sharePanel"
                appName: window.commands.shareAppName
                emailSubject: window.commands.shareEmailSubject
                message: window.commands.shareMessage
                targetURL: window.commands.shareTargetURL
                kit: window.commands.kit
                onCloseRequested: window.app.showShareSheet = false
            }
        }
    }

    Dialog {
        id: aboutDialog
        objectName: "aboutDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        width: Math.max(300, implicitWidth)
        padding: 24
        standardButtons: Dialog.Ok
        // OK is the default button: Enter presses it.
        onOpened: standardButton(Dialog.Ok).forceActiveFocus()
        focus: true
        // Names the dialog for a screen reader; the labels show the name.
        title: qsTr("About Vellory 2")
        header: null

        // Enter closes it too; Escape does by the dialog's close policy.
        Shortcut {
            sequences: ["Return", "Enter"]
            enabled: aboutDialog.opened
            onActivated: aboutDialog.accept()
        }

        ColumnLayout {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 8

            Image {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 96
                Layout.preferredHeight: 96
                sourceSize: Qt.size(96, 96)
                source: DesktopFiles.themeIconSource("drive-removable-media", 96)
                Accessible.ignored: true
            }
            Label {
                id: aboutName
                objectName: "aboutName"
                Layout.alignment: Qt.AlignHCenter
                font: TextStyles.title
                text: window.commands ? window.commands.applicationName : ""
            }
            Label {
                objectName: "aboutVersion"
                Layout.alignment: Qt.AlignHCenter
                text: window.commands ? qsTr("Version %1").arg(window.commands.versionText) : ""
            }
        }
    }
}
