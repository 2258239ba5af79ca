import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory.App

// The settings window's "General" tab: whether the application starts at
// login, in the background, to back up when the destination is connected.
Pane {
    id: view
    objectName: "startupSettingsView"

    LoginStart { id: loginStart }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        Switch {
            objectName: "startAtLoginSwitch"
            text: qsTr("Start at login")
            checked: loginStart.enabled
            onToggled: loginStart.enabled = checked
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            opacity: 0.7
            text: qsTr("Runs in the background from login on, so that connecting the destination starts a backup while \"Auto Backup on Connect\" is on.")
        }
        Label {
            objectName: "startAtLoginError"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            visible: text.length > 0
            // A red that keeps 4.5:1 against the light and the dark window.
            color: palette.window.hslLightness < 0.5 ? "#ff7b72" : "#b3261e"
            text: loginStart.error
        }
    }
}
