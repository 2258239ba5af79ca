import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Moraine.Update

// The update tab of the settings window: how often to check, when the next
// check runs, a known or skipped update, and hidden debugging options.
Item {
    id: root

    readonly property string tabTitle: qsTr("Updates")
    readonly property string tabIconName: "system-software-update"
    readonly property alias model: settings

    implicitWidth: 480
    implicitHeight: content.implicitHeight + 24

    NIMBSettingsModel {
        id: settings
    }

    Component.onCompleted: settings.refresh()
    onVisibleChanged: if (visible) settings.refresh()

    // The only way to reveal the debugging options.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.RightButton
        onClicked: contextMenu.popup()
    }

    Menu {
        id: contextMenu
        objectName: "contextMenu"
        MenuItem {
            objectName: "showDebuggingOptionsItem"
            text: qsTr("Show debugging options")
            onTriggered: settings.showDebuggingOptions()
        }
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        anchors.margins: 12
        spacing: 10

        GridLayout {
            columns: 2
            columnSpacing: 12
            Layout.fillWidth: true

            Label { id: frequencyCaption; text: settings.kCaptionCheckFreqency }
            ComboBox {
                id: frequency
                objectName: "checkFrequency"
                Accessible.name: frequencyCaption.text
                // The choice as plain text: the combo box itself tells it to
                // a screen reader, not a second, unnamed text field.
                contentItem: Label {
                    leftPadding: 6
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    text: frequency.displayText
                    Accessible.ignored: true
                }
                model: settings.periodLabels
                currentIndex: settings.periodIndex
                onActivated: (index) => settings.periodIndex = index
                Layout.fillWidth: true
            }

            Label { text: settings.kCaptionNextCheck }
            Label {
                objectName: "nextCheck"
                text: settings.nextCheckText
            }
        }

        MenuSeparator { Layout.fillWidth: true }

        RowLayout {
            objectName: "availableUpdateRow"
            visible: settings.updateAvailable
            Layout.fillWidth: true
            Label { text: settings.kCaptionAvailableUpdate; font.bold: true }
            Label {
                objectName: "availableUpdateText"
                text: settings.availableUpdateText
                Layout.fillWidth: true
            }
            Button {
                objectName: "ignoreButton"
                text: settings.kCaptionIgnore
                onClicked: settings.ignoreUpdate()
            }
        }

        RowLayout {
            objectName: "ignoredVersionRow"
            visible: settings.hasIgnoreInfo
            Layout.fillWidth: true
            Label {
                objectName: "ignoredVersionText"
                text: settings.ignoredVersionText
                Layout.fillWidth: true
            }
            Button {
                objectName: "cancelIgnoreButton"
                text: settings.kCaptionCancel
                onClicked: settings.cancelIgnore()
            }
        }

        ColumnLayout {
            objectName: "debuggingOptions"
            visible: settings.showMoreOptions
            Layout.fillWidth: true

            Label { text: qsTr("Debugging options"); font.bold: true }
            Switch {
                objectName: "showDebuggingSwitch"
                text: qsTr("Show Debugging options")
                checked: settings.showMoreOptions
                onToggled: settings.showMoreOptions = checked
            }
            Switch {
                objectName: "ignoreMaintenanceSwitch"
                text: qsTr("Ignore maintenance")
                checked: settings.ignoreMaintenance
                onToggled: settings.ignoreMaintenance = checked
            }
            Button {
                objectName: "testSilentCheckButton"
                text: qsTr("Test silent check")
                onClicked: settings.testSilentCheck()
            }
            ListView {
                objectName: "logList"
                model: settings.log
                clip: true
                Layout.fillWidth: true
                Layout.preferredHeight: 160
                delegate: Label {
                    required property string modelData
                    text: modelData
                    font.family: "monospace"
                }
            }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "resetSettingsButton"
                text: qsTr(" Reset Settings ")
                onClicked: settings.resetSettings()
            }
            Item { Layout.fillWidth: true }
            Button {
                objectName: "checkNowButton"
                text: qsTr(" Check Now ")
                onClicked: settings.checkNow()
            }
        }
    }
}
