import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory

// The Restore window: browse the backup of one computer on a volume, pick
// files and folders, choose where they go and what becomes of a local file
// that differs, then start the restore (a job in the Backups window).
VelloryWindow {
    id: window
    objectName: "restoreWindow"

    required property BackupController controller

    title: qsTr("Restore")
    width: 620
    height: 520
    minimumWidth: 480
    minimumHeight: 380
    visible: false
    // Shown again later, it starts from the destination as it is then.
    onVisibleChanged: {
        if (visible && restore.controller) {
            restore.refresh()
        }
    }

    // A combo box that shows its choice as plain text: the combo box itself
    // tells it to a screen reader, not a second, unnamed text field.
    component ChoiceBox: ComboBox {
        id: box
        contentItem: Label {
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: box.displayText
            Accessible.ignored: true
        }
    }

    RestoreModel {
        id: restore
        objectName: "restoreModel"
        controller: window.controller
    }

    ItemChooser {
        id: chooser
        title: qsTr("Restore To")
        onChosen: (url) => restore.targetFolder = url.toString()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        RowLayout {
            spacing: 8

            Label {
                visible: restore.offersVolumes
                text: qsTr("Volume")
            }
            ChoiceBox {
                objectName: "volumeBox"
                visible: restore.offersVolumes
                Accessible.name: qsTr("Volume")
                model: restore.volumePaths
                currentIndex: restore.volumePaths.indexOf(restore.volumePath)
                onActivated: index => restore.volumePath = restore.volumePaths[index]
            }
            Label {
                text: qsTr("Computer")
            }
            ChoiceBox {
                objectName: "computerBox"
                Layout.fillWidth: true
                Accessible.name: qsTr("Computer")
                model: restore.computers
                currentIndex: restore.computers.indexOf(restore.computer)
                onActivated: index => restore.computer = restore.computers[index]
            }
        }

        RowLayout {
            spacing: 8

            Button {
                objectName: "upButton"
                text: qsTr("Up")
                icon.name: "go-up-symbolic"
                icon.color: palette.buttonText
                enabled: restore.canGoUp
                Accessible.name: qsTr("Up one folder")
                onClicked: restore.goUp()
            }
            Label {
                objectName: "folderLabel"
                Layout.fillWidth: true
                elide: Text.ElideMiddle
                text: restore.folder.length > 0 ? restore.folder : qsTr("Backed-up items")
            }
            BusyIndicator {
                running: restore.busy
                Layout.preferredHeight: 24
                Layout.preferredWidth: 24
            }
        }

        Frame {
            Layout.fillWidth: true
            Layout.fillHeight: true
            padding: 1

            ListView {
                id: items
                objectName: "itemList"
                anchors.fill: parent
                Accessible.role: Accessible.List
                Accessible.name: qsTr("Backed-up items")
                clip: true
                model: restore
                ScrollBar.vertical: ScrollBar {}

                delegate: ItemDelegate {
                    id: row
                    required property string name
                    required property string path
                    required property bool isFolder
                    required property bool isLink
                    required property string sizeText
                    required property string timeText
                    required property bool picked

                    objectName: "row:" + path
                    width: ListView.view.width
                    // A Tab stop, so that Enter opens a folder from the keyboard.
                    focusPolicy: Qt.StrongFocus
                    Accessible.name: isFolder ? qsTr("Open %1").arg(name) : name
                    onClicked: {
                        if (isFolder) {
                            restore.open(path)
                        }
                    }

                    contentItem: RowLayout {
                        spacing: 8

                        CheckBox {
                            objectName: "pick:" + row.path
                            checked: row.picked
                            Accessible.name: qsTr("Pick %1").arg(row.name)
                            onToggled: restore.setPicked(row.path, checked)
                        }
                        Label {
                            Layout.fillWidth: true
                            elide: Text.ElideMiddle
                            text: row.isFolder ? row.name + "/" : (row.isLink ? qsTr("%1 (link)").arg(row.name) : row.name)
                        }
                        // A folder has no size: no empty text for a screen reader.
                        Label {
                            opacity: 0.7
                            text: row.sizeText
                            Accessible.ignored: text.length === 0
                        }
                        Label {
                            opacity: 0.7
                            text: row.timeText
                            Accessible.ignored: text.length === 0
                        }
                    }
                }
            }
        }

        Label {
            objectName: "restoreMessage"
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            visible: text.length > 0
            text: restore.message
        }

        Label {
            font.bold: true
            text: qsTr("Restore to")
        }
        RadioButton {
            objectName: "originalPlaceButton"
            text: qsTr("The original location")
            Accessible.name: text
            enabled: restore.canRestoreInPlace
            checked: restore.inPlace
            onToggled: restore.inPlace = checked
        }
        RowLayout {
            spacing: 8

            RadioButton {
                objectName: "chosenFolderButton"
                text: qsTr("This folder:")
                Accessible.name: qsTr("Restore to this folder")
                checked: !restore.inPlace
                onToggled: restore.inPlace = !checked
            }
            TextField {
                objectName: "targetField"
                Layout.fillWidth: true
                enabled: !restore.inPlace
                Accessible.name: qsTr("Folder to restore to")
                placeholderText: qsTr("Choose a folder")
                text: restore.targetFolder
                onEditingFinished: restore.targetFolder = text
            }
            Button {
                objectName: "chooseFolderButton"
                text: qsTr("Choose...")
                Accessible.name: qsTr("Choose a folder to restore to")
                enabled: !restore.inPlace
                onClicked: chooser.open(window)
            }
        }

        RowLayout {
            spacing: 8

            Label {
                text: qsTr("When a local file differs")
            }
            ChoiceBox {
                objectName: "differenceBox"
                Layout.fillWidth: true
                Accessible.name: qsTr("When a local file differs")
                model: [qsTr("Keep it and restore the backup's version beside it"), qsTr("Keep it and skip the backup's version")]
                currentIndex: restore.besideDifferences ? 0 : 1
                onActivated: index => restore.besideDifferences = index === 0
            }
        }

        RowLayout {
            Item { Layout.fillWidth: true }
            Button {
                objectName: "closeButton"
                text: qsTr("Close")
                Accessible.name: text
                onClicked: window.close()
            }
            Button {
                objectName: "restoreButton"
                text: qsTr("Restore")
                Accessible.name: qsTr("Restore the picked items")
                highlighted: true
                enabled: restore.canRestore
                onClicked: {
                    if (restore.restore()) {
                        window.close()
                    }
                }
            }
        }
    }
}
