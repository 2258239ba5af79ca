import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory

// The destination volume: choosing it (by dialog or drop), ejecting it,
// starting a backup, how full it is, when the last backup was started, and
// the two automatic behaviours.
Item {
    id: root
    objectName: "volumeView"

    required property BackupController controller
    /// The height both panels' headers take, the larger of their needs.
    property real headerHeight: 0
    readonly property real naturalHeaderHeight: header.naturalHeight

    property bool showError: false
    property string errorMessage: ""
    property string errorItemName: ""
    readonly property bool isDropTargeted: dropArea.containsDrag
    readonly property bool isConnected: controller.isConnected
    readonly property bool hasDestination: controller.hasDestination
    readonly property string alertTitle: EngineTexts.translate(controller.refusalTitle(errorItemName))
    readonly property string alertMessage: EngineTexts.translate(controller.refusalMessage(errorMessage))
    // What the panel says of the volume, in the person's language.
    readonly property string lastBackupText: qsTr("Last Backup: %1").arg(EngineTexts.translate(controller.lastBackup))
    readonly property string capacityText: EngineTexts.translate(controller.volumeLabelCapacity)
    readonly property string availableText: EngineTexts.translate(controller.volumeLabelAvailable)
    readonly property int usedPercent: Math.round(Math.max(0, Math.min(1, controller.volumeUsage)) * 100)

    // Offers `url` as the destination once the current event is done.
    function chooseVolume(url) {
        Qt.callLater(() => root.controller.selectVolume(url))
    }

    // False when the drop holds nothing to offer.
    function dropUrls(urls) {
        return root.controller.selectDroppedVolume(urls)
    }

    function selectByDialog() {
        chooser.open(root.Window.window)
    }

    function removeVolume() {
        root.controller.clearVolume()
    }

    readonly property Settings preferences: root.controller.settings

    ItemChooser {
        id: chooser
        title: qsTr("Select")
        startFolder: DesktopFiles.removableMediaFolder()
        onChosen: (url) => root.chooseVolume(url)
    }

    Connections {
        target: root.controller
        function onVolumeRefused(itemName, errorMessage) {
            root.errorItemName = itemName ? itemName : ""
            root.errorMessage = errorMessage ? errorMessage : ""
            root.showError = true
        }
    }

    Rectangle {
        anchors.fill: parent
        color: palette.window
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        PanelHeader {
            id: header
            objectName: "volumeHeader"
            sharedHeight: root.headerHeight
            title: qsTr("Destination")
            Layout.fillWidth: true

            Button {
                objectName: "selectButton"
                // Sized to the label: the header shares 280 points with its title.
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr(" Select... ")
                onClicked: root.selectByDialog()
            }
            Button {
                objectName: "ejectButton"
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                text: qsTr("Eject")
                icon.name: "media-eject-symbolic"
                icon.color: palette.buttonText
                enabled: root.isConnected
                onClicked: root.controller.ejectVolume()
            }
        }

        Flickable {
            id: body
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: Math.max(height, (root.hasDestination ? details.implicitHeight : placeholder.implicitHeight) + 40)
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: ScrollBar {}

            Column {
                id: placeholder
                objectName: "volumePlaceholder"
                visible: !root.hasDestination
                opacity: visible ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 200 } }
                x: 20
                y: Math.max(20, (body.height - implicitHeight) / 2)
                width: body.width - 40
                spacing: 14

                Image {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 100
                    height: 100
                    sourceSize: Qt.size(100, 100)
                    source: DesktopFiles.themeIconSource("drive-removable-media-symbolic", 100, palette.windowText)
                    opacity: 0.75
                    Accessible.ignored: true
                }
                Column {
                    width: parent.width
                    spacing: 2

                    Label {
                        objectName: "volumePlaceholderLine1"
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        textFormat: Text.PlainText
                        text: qsTr("Drag and drop a volume here, ")
                    }
                    Label {
                        objectName: "volumePlaceholderLine2"
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.WordWrap
                        textFormat: Text.PlainText
                        text: qsTr("or click \"Select...\" to choose a destination volume")
                    }
                }
            }

            ColumnLayout {
                id: details
                objectName: "volumeDetails"
                visible: root.hasDestination
                opacity: visible ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 200 } }
                x: 20
                y: 20
                width: body.width - 40
                spacing: 4

                Image {
                    objectName: "volumeIcon"
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 100
                    Layout.alignment: Qt.AlignHCenter
                    sourceSize: Qt.size(100, 100)
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    mipmap: true
                    source: root.controller.volumeIconSource
                    Accessible.ignored: true
                }
                Label {
                    objectName: "volumeNameLabel"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    elide: Text.ElideMiddle
                    textFormat: Text.PlainText
                    font.bold: true
                    text: root.controller.volumeName
                }
                Label {
                    objectName: "volumeDescriptionLabel"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: root.controller.volumeDescription
                    // A shortened description shows whole on hover.
                    ToolTip.visible: truncated && descriptionHover.hovered
                    ToolTip.text: text
                    HoverHandler { id: descriptionHover }
                    Accessible.ignored: text.length === 0
                }
                Label {
                    objectName: "lastBackupLabel"
                    Layout.fillWidth: true
                    horizontalAlignment: Text.AlignHCenter
                    // Two lines where a language and its date format need them.
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: root.lastBackupText
                }

                // A margin, not a spacer item: a spacer would add the
                // column's spacing twice.
                RowLayout {
                    objectName: "usageRow"
                    Layout.fillWidth: true
                    Layout.topMargin: 20 - parent.spacing
                    spacing: 10

                    UsageGauge {
                        objectName: "usageGauge"
                        value: root.controller.volumeUsage
                        Accessible.role: Accessible.StaticText
                        Accessible.name: root.isConnected ? qsTr("%1% used").arg(root.usedPercent) : root.availableText
                        Layout.preferredWidth: 44
                        Layout.preferredHeight: 44
                    }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Label {
                            objectName: "capacityLabel"
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                            textFormat: Text.PlainText
                            text: root.capacityText
                        }
                        Label {
                            objectName: "availableLabel"
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                            textFormat: Text.PlainText
                            text: root.availableText
                        }
                    }
                }

                Item { Layout.preferredHeight: 8 }

                PanelSwitch {
                    objectName: "autoBackupSwitch"
                    Layout.fillWidth: true
                    text: qsTr("Auto Backup on Connect")
                    checked: preferences.autoBackupOnConnect
                    onToggled: preferences.autoBackupOnConnect = checked
                }
                PanelSwitch {
                    objectName: "autoEjectSwitch"
                    Layout.fillWidth: true
                    text: qsTr("Auto Eject on Completion")
                    enabled: preferences.autoBackupOnConnect
                    checked: preferences.autoEjectOnComplete
                    onToggled: preferences.autoEjectOnComplete = checked
                }

                Button {
                    objectName: "backupButton"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.topMargin: 6 - parent.spacing
                    text: qsTr(" Backup Now ")
                    highlighted: root.controller.canStartBackup
                    enabled: root.controller.canStartBackup
                    onClicked: root.controller.startBackup()
                    // The second click of a double-click is not a second
                    // backup: handling it keeps it from counting as a click.
                    onDoubleClicked: {}
                }
            }
        }
    }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: panelMenu.popup()
    }
    // The panel's menu from the keyboard, while one of its controls has the focus.
    Keys.onMenuPressed: panelMenu.popup(root, root.width / 2, header.height)
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
            panelMenu.popup(root, root.width / 2, header.height)
            event.accepted = true
        }
    }

    FittedMenu {
        id: panelMenu
        objectName: "volumeMenu"
        MenuItem {
            objectName: "removeVolumeItem"
            text: qsTr("Remove Volume")
            icon.name: "list-remove-symbolic"
            icon.color: palette.windowText
            onTriggered: root.removeVolume()
        }
    }

    DropArea {
        id: dropArea
        anchors.fill: parent
        onEntered: (drag) => {
            if (!drag.hasUrls) {
                drag.accepted = false
            }
        }
        onDropped: (drop) => {
            if (root.dropUrls(drop.urls)) {
                drop.acceptProposedAction()
            } else {
                drop.accepted = false
            }
        }
    }

    Rectangle {
        objectName: "volumeDropHighlight"
        anchors.fill: parent
        color: "transparent"
        border.width: root.isDropTargeted ? 3 : 0
        border.color: palette.highlight
    }

    Dialog {
        id: refusalAlert
        objectName: "refusalAlert"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(420, parent ? parent.width - 40 : 420)
        modal: true
        padding: 20
        visible: root.showError
        standardButtons: Dialog.Ok
        onClosed: root.showError = false
        // OK is the default button: Enter presses it.
        onOpened: standardButton(Dialog.Ok).forceActiveFocus()
        focus: true
        // The title names the dialog for a screen reader; the bold label
        // below shows it, so the dialog draws no title bar of its own.
        title: root.alertTitle
        header: null

        // Enter dismisses it like its button; Escape by the close policy.
        Shortcut {
            sequences: ["Return", "Enter"]
            enabled: refusalAlert.opened
            onActivated: refusalAlert.accept()
        }

        // The warning sign beside the title and reason, as the other alerts
        // have it.
        RowLayout {
            anchors.fill: parent
            spacing: 16

            Image {
                objectName: "refusalAlertIcon"
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 48
                Layout.preferredHeight: 48
                sourceSize: Qt.size(48, 48)
                source: DesktopFiles.themeIconSource("dialog-warning", 48)
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                spacing: 8
                Label {
                    objectName: "refusalAlertTitle"
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    textFormat: Text.PlainText
                    font.bold: true
                    text: root.alertTitle
                }
                Label {
                    objectName: "refusalAlertMessage"
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    textFormat: Text.PlainText
                    text: root.alertMessage
                }
            }
        }
    }
}
