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

    readonly property string itemName: DesktopFiles.fileName(cellPath)
    readonly property string folderPath: DesktopFiles.parentPath(cellPath)

    function showInFileManager() {
        DesktopFiles.revealInFileManager(root.cellPath)
    }

    function remove() {
        root.controller.removeSourcePath(root.cellPath)
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
        opacity: hover.hovered || root.menuVisible ? 0.12 : 0
        Behavior on opacity { NumberAnimation { duration: 120 } }
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
                text: "Remove"
                icon.name: "list-remove-symbolic"
                icon.color: palette.windowText
                onTriggered: root.remove()
            }
        }
    }
}
