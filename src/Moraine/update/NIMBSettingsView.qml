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
    // What the checks started here are made with.
    required property UpdateServices updateServices

    implicitWidth: 480
    implicitHeight: content.implicitHeight + 24

    NIMBSettingsModel {
        id: settings
        updates: root.updateServices
    }

    // A round switch whose knob stands out from its track in a light and a
    // dark palette alike, as the application's own switches are drawn.
    component RoundSwitch: Switch {
        id: control
        readonly property bool darkPalette: palette.window.hslLightness < 0.5
        indicator: Rectangle {
            implicitWidth: 40
            implicitHeight: 20
            x: control.leftPadding
            y: control.topPadding + (control.availableHeight - height) / 2
            radius: height / 2
            color: control.checked ? control.palette.highlight : control.darkPalette ? control.palette.mid : control.palette.dark
            opacity: control.enabled ? 1 : 0.45

            Rectangle {
                width: parent.height - 4
                height: width
                radius: width / 2
                y: 2
                x: 2 + control.visualPosition * (parent.width - width - 4)
                color: control.darkPalette ? Qt.darker(control.palette.windowText, 1.1) : control.palette.base
                border.color: Qt.darker(color, 1.25)
            }
        }
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
            RoundSwitch {
                objectName: "showDebuggingSwitch"
                text: qsTr("Show Debugging options")
                checked: settings.showMoreOptions
                onToggled: settings.showMoreOptions = checked
            }
            RoundSwitch {
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
                    width: ListView.view.width
                    wrapMode: Text.WrapAnywhere
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
