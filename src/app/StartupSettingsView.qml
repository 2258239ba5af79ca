import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory
import Vellory.App

// The settings window's "General" tab: whether the application starts at
// login, in the background, to back up when the destination is connected.
Pane {
    id: view
    objectName: "startupSettingsView"

    LoginStart { id: loginStart }

    // At the top, however tall the window: a filled column would spread
    // its few lines over the whole tab.
    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        spacing: 6

        PanelSwitch {
            objectName: "startAtLoginSwitch"
            text: "Start at login"
            checked: loginStart.enabled
            onToggled: loginStart.enabled = checked
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            opacity: 0.7
            text: "Runs in the background from login on, so that connecting the destination starts a backup while \"Auto Backup on Connect\" is on."
        }
        Label {
            objectName: "startAtLoginError"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            visible: text.length > 0
            color: "red"
            text: loginStart.error
        }
    }
}
