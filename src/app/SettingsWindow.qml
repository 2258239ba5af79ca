import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Moraine.Update
import Vellory
import Vellory.App

// The settings window: 450 points wide, at least 220 high, with one tab,
// "Updates", holding the update service's settings.
VelloryWindow {
    id: window
    objectName: "settingsWindow"

    required property UpdateServices updateServices
    required property BackupController controller

    title: qsTr("Settings")
    width: 450
    minimumWidth: 450
    maximumWidth: 450
    height: Math.max(220, Math.min(560, tabs.implicitHeight + updates.implicitHeight + 24))
    minimumHeight: 220
    visible: false

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TabBar {
            id: tabs
            objectName: "settingsTabs"
            Layout.fillWidth: true

            TabButton {
                objectName: "updatesTab"
                text: updates.tabTitle
                icon.name: "software-update-available-symbolic"
                icon.color: palette.windowText
            }
            TabButton {
                objectName: "generalTab"
                text: qsTr("General")
                icon.name: "preferences-system-symbolic"
                icon.color: palette.windowText
            }
        }

        StackLayout {
            currentIndex: tabs.currentIndex
            Layout.fillWidth: true
            Layout.fillHeight: true

            ScrollView {
                clip: true
                contentWidth: availableWidth

                NIMBSettingsView {
                    id: updates
                    updateServices: window.updateServices
                    objectName: "updatesView"
                    width: parent ? parent.width : implicitWidth
                }
            }

            StartupSettingsView {
                settings: window.controller.settings
            }
        }
    }
}
