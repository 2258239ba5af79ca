import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory
import Vellory.App

// The settings window's "General" tab: whether the application starts at
// login, in the background, to back up when the destination is connected,
// and after how long an overdue backup is reminded of.
Pane {
    id: view
    objectName: "startupSettingsView"

    required property Settings settings

    LoginStart { id: loginStart }
    ReminderSetting {
        id: reminder
        settings: view.settings
    }

    // At the top, however tall the window: a filled column would spread
    // its few lines over the whole tab.
    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        spacing: 6

        PanelSwitch {
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
        RowLayout {
            spacing: 8

            Label {
                text: qsTr("Remind me after")
            }
            ComboBox {
                objectName: "remindAfterBox"
                Accessible.name: qsTr("Remind me after")
                model: [qsTr("1 week"), qsTr("2 weeks"), qsTr("1 month"), qsTr("Never")]
                currentIndex: reminder.choice
                onActivated: index => reminder.choice = index
            }
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            opacity: 0.7
            text: qsTr("When the last backup is older than this and the destination is not connected, a notification reminds you, at most once a day.")
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
