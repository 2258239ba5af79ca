import QtQuick
import QtQuick.Controls
import Vellory

// One source of the grid: its themed icon, its name and the folder it is in.
// Its menu reveals the item in the file manager or removes it from the set.
Item {
    id: root
    objectName: "cell:" + cellPath

    required property string cellPath
    required property BackupController controller
    required property int iconSize
    /// The grid's current source, the one the keys act on.
    property bool isCurrent: false

    readonly property string itemName: DesktopFiles.fileName(cellPath)
    readonly property string folderPath: DesktopFiles.parentPath(cellPath)

    function showInFileManager() {
        DesktopFiles.revealInFileManager(root.cellPath)
    }

    function remove() {
        root.controller.removeSourcePath(root.cellPath)
    }

    function open() {
        DesktopFiles.open(root.cellPath)
    }

    // The menu at the cell, for the Menu key and Shift+F10.
    function showMenuHere() {
        root.ensureMenu().popup(root, root.width / 2, root.height / 2)
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: root.itemName
    Accessible.description: root.folderPath
    Accessible.focusable: true
    Accessible.focused: root.activeFocus
    Accessible.selectable: true
    Accessible.selected: root.isCurrent
    Accessible.onPressAction: root.open()

    Keys.onReturnPressed: root.open()
    Keys.onEnterPressed: root.open()
    Keys.onDeletePressed: root.remove()
    Keys.onMenuPressed: root.showMenuHere()
    Keys.onPressed: (event) => {
        if (event.key === Qt.Key_F10 && (event.modifiers & Qt.ShiftModifier)) {
            root.showMenuHere()
            event.accepted = true
        }
    }

    // The menu is made when first asked for: thousands of cells scroll by,
    // few of them are ever right-clicked.
    property Menu menu: null
    function ensureMenu() {
        if (!root.menu) {
            root.menu = menuComponent.createObject(root)
        }
        return root.menu
    }
    readonly property bool menuVisible: root.menu !== null && root.menu.visible

    Rectangle {
        anchors.fill: parent
        anchors.margins: 2
        radius: 6
        color: palette.highlight
        opacity: hover.hovered || root.menuVisible ? 0.12 : root.isCurrent ? 0.08 : 0
        Behavior on opacity { NumberAnimation { duration: 120 } }
    }

    // The keyboard focus: a ring in the highlight colour, which stands out
    // from the base in the light and the dark palette alike.
    Rectangle {
        objectName: "cellFocusRing"
        anchors.fill: parent
        anchors.margins: 2
        radius: 6
        color: "transparent"
        border.width: 2
        // Lighter on a dark base, so the ring keeps 3:1 against it.
        border.color: palette.window.hslLightness < 0.5 ? Qt.lighter(palette.highlight, 1.5) : palette.highlight
        visible: root.activeFocus
    }

    Column {
        anchors.top: parent.top
        anchors.topMargin: 6
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 12
        spacing: 3

        Image {
            objectName: "cellIcon"
            anchors.horizontalCenter: parent.horizontalCenter
            width: root.iconSize
            height: root.iconSize
            sourceSize: Qt.size(root.iconSize, root.iconSize)
            fillMode: Image.PreserveAspectFit
            smooth: true
            source: DesktopFiles.fileIconSource(root.cellPath, root.iconSize)
            Accessible.ignored: true
        }
        Label {
            objectName: "cellName"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideMiddle
            maximumLineCount: 1
            textFormat: Text.PlainText
            font: root.iconSize === 64 ? TextStyles.callout : root.iconSize === 32 ? TextStyles.footnote : TextStyles.body
            text: root.itemName
            Accessible.ignored: true
        }
        Label {
            objectName: "cellFolder"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideMiddle
            maximumLineCount: 1
            textFormat: Text.PlainText
            font: TextStyles.footnote
            opacity: 0.65
            text: root.folderPath
            Accessible.ignored: true
        }
    }

    ToolTip.visible: hover.hovered && !root.menuVisible
    ToolTip.delay: 1000
    ToolTip.text: root.cellPath

    HoverHandler { id: hover }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: root.ensureMenu().popup()
    }
    TapHandler {
        acceptedButtons: Qt.LeftButton
        onLongPressed: root.ensureMenu().popup()
    }

    Component {
        id: menuComponent

        FittedMenu {
            objectName: "cellMenu"

            MenuItem {
                objectName: "showInFinderItem"
                text: qsTr("Open Containing Folder")
                icon.name: "edit-find-symbolic"
                icon.color: palette.windowText
                onTriggered: root.showInFileManager()
            }
            MenuItem {
                objectName: "removeItem"
                text: qsTr("Remove")
                icon.name: "list-remove-symbolic"
                icon.color: palette.windowText
                onTriggered: root.remove()
            }
        }
    }
}
