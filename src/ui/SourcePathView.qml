import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory

// The sources of the backup set as a grid of icons, with "Add..." and the
// icon-size control in its header. Files and folders dropped anywhere on the
// panel are added in the dropped order.
Item {
    id: root
    objectName: "sourcePathView"

    required property BackupController controller
    /// The height both panels' headers take, the larger of their needs.
    property real headerHeight: 0
    readonly property real naturalHeaderHeight: header.naturalHeight
    readonly property int iconSize: preferences.iconSize
    readonly property bool isDropTargeted: dropArea.containsDrag

    // Grid column widths by icon size; any other stored size counts as large.
    readonly property int minimumColumnWidth: 140
    readonly property int maximumColumnWidth: iconSize === 32 ? 178 : iconSize === 64 ? 190 : 250

    function addPaths(paths) {
        root.controller.addSourcePaths(paths)
    }

    // Dropped locations, in their order.
    function dropUrls(urls) {
        root.addPaths(DesktopFiles.localPaths(urls))
    }

    function chooseItem() {
        chooser.open(root.Window.window)
    }

    readonly property Settings preferences: root.controller.settings

    ItemChooser {
        id: chooser
        objectName: "sourceChooser"
        title: qsTr("Add")
        onChosen: (url) => root.addPaths(DesktopFiles.localPaths([url]))
    }

    Rectangle {
        anchors.fill: parent
        color: palette.base
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        PanelHeader {
            id: header
            objectName: "sourceHeader"
            sharedHeight: root.headerHeight
            title: qsTr("Raverizavu")
            Layout.fillWidth: true

            Button {
                objectName: "addButton"
                text: qsTr("Add...")
                icon.name: "list-add-symbolic"
                icon.color: palette.buttonText
                onClicked: root.chooseItem()
            }
            IconSizeControl {
                objectName: "iconSizeControl"
                value: root.iconSize
                onChosen: (value) => preferences.iconSize = value
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Flickable {
                id: placeholder
                objectName: "sourcePlaceholder"
                anchors.fill: parent
                visible: sources.count === 0
                contentHeight: Math.max(height, placeholderColumn.implicitHeight + 40)
                boundsBehavior: Flickable.StopAtBounds
                clip: true

                Column {
                    id: placeholderColumn
                    width: Math.min(parent.width - 40, 460)
                    anchors.centerIn: parent
                    spacing: 16

                    Row {
                        anchors.horizontalCenter: parent.horizontalCenter
                        spacing: 12
                        Repeater {
                            model: ["x-office-document-symbolic", "image-x-generic-symbolic", "folder-symbolic"]
                            Image {
                                required property string modelData
                                width: 100
                                height: 100
                                sourceSize: Qt.size(100, 100)
                                source: DesktopFiles.themeIconSource(modelData, 100, palette.highlight)
                                opacity: 0.85
                                Accessible.ignored: true
                            }
                        }
                    }

                    Column {
                        width: parent.width
                        spacing: 2

                        Label {
                            objectName: "sourcePlaceholderLine1"
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            textFormat: Text.PlainText
                            text: qsTr("Drag and drop files & folders here to back them up, ")
                        }
                        Label {
                            objectName: "sourcePlaceholderLine2"
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            wrapMode: Text.WordWrap
                            textFormat: Text.StyledText
                            readonly property int glyph: Math.round(font.pixelSize > 0 ? font.pixelSize : font.pointSize * 4 / 3)
                            // The sentence with the plus symbol inline where %1 stands;
                            // read out as plain words.
                            readonly property string sentence: qsTr("or click on the \"%1 Add...\" button above to select files or folders.")
                            text: sentence.replace(/&/g, "&amp;").replace(/</g, "&lt;")
                                  .arg("<img src=\"" + DesktopFiles.themeIconSource("list-add-symbolic", glyph, palette.windowText)
                                       + "\" width=\"" + glyph + "\" height=\"" + glyph + "\" align=\"middle\">")
                            Accessible.name: sentence.arg("").replace(/ {2,}/g, " ").replace("\" ", "\"")
                        }
                    }
                }
            }

            GridView {
                id: grid
                objectName: "sourceGrid"
                anchors.fill: parent
                anchors.margins: 20
                visible: sources.count > 0
                clip: true
                boundsBehavior: Flickable.StopAtBounds

                // Tab stops at the grid, on its current source; the arrow
                // keys move between sources, the cell answers the rest.
                activeFocusOnTab: true
                keyNavigationEnabled: true
                onActiveFocusChanged: {
                    if (activeFocus && currentIndex < 0 && count > 0) {
                        currentIndex = 0
                    }
                }
                Accessible.role: Accessible.List
                Accessible.name: header.title

                // Adaptive columns: as many as fit at their narrowest, then
                // widened to share the row, up to their widest.
                readonly property int columns: Math.max(1, Math.floor(width / root.minimumColumnWidth))
                cellWidth: Math.max(root.minimumColumnWidth, Math.min(root.maximumColumnWidth, Math.floor(width / columns)))
                cellHeight: root.iconSize + 3 * TextStyles.bodySize + 28

                model: SourcePathListModel {
                    id: sources
                    controller: root.controller
                }

                delegate: CellView {
                    required property string path
                    cellPath: path
                    controller: root.controller
                    iconSize: root.iconSize
                    isCurrent: GridView.isCurrentItem
                    focus: GridView.isCurrentItem
                    width: grid.cellWidth
                    height: grid.cellHeight
                }

                ScrollBar.vertical: ScrollBar {}

                add: Transition {
                    NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 250 }
                    NumberAnimation { property: "scale"; from: 0.8; to: 1; duration: 350; easing.type: Easing.OutBack }
                }
                remove: Transition {
                    NumberAnimation { property: "opacity"; to: 0; duration: 250 }
                    NumberAnimation { property: "scale"; to: 0.8; duration: 250 }
                }
                // A spring-like settle, as the remaining cells close the gap.
                displaced: Transition {
                    NumberAnimation { properties: "x,y"; duration: 500; easing.type: Easing.OutBack; easing.overshoot: 0.9 }
                    NumberAnimation { property: "opacity"; to: 1; duration: 150 }
                    NumberAnimation { property: "scale"; to: 1; duration: 150 }
                }
            }
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
            if (drop.hasUrls) {
                root.dropUrls(drop.urls)
                drop.acceptProposedAction()
            }
        }
    }

    Rectangle {
        objectName: "sourceDropHighlight"
        anchors.fill: parent
        color: "transparent"
        border.width: root.isDropTargeted ? 3 : 0
        border.color: palette.highlight
    }
}
