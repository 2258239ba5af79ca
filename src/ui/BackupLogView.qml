import QtQuick
import QtQuick.Controls
import Vellory

// A job's log as read-only, monospaced text that grows with the job: a list
// of lines, of which only those on screen are laid out, so a log of 100,000
// lines scrolls as easily as a short one. Text is selected with the mouse
// (Shift extends it) and copied with Ctrl+C or the context menu; the view
// stays at the end while the person has not scrolled away from it.
FocusScope {
    id: root
    objectName: "backupLogView"

    required property BackupThread thread

    readonly property alias lineCount: logModel.count
    readonly property real charWidth: metrics.advanceWidth("M")
    readonly property real lineHeight: Math.ceil(metrics.height)
    readonly property int padding: 10

    readonly property bool hasSelection: logModel.hasSelection

    implicitWidth: 640
    implicitHeight: 400

    // Read as one text: the lines are the job's log, the selection keys work on it.
    activeFocusOnTab: true
    Accessible.role: Accessible.EditableText
    Accessible.name: qsTr("Backup Log")
    Accessible.readOnly: true
    Accessible.multiLine: true
    Accessible.focusable: true

    function text() {
        return logModel.text()
    }

    function selectedText() {
        return logModel.selectedText()
    }

    function selectAll() {
        logModel.selectAll()
    }

    function copySelection() {
        logModel.copySelection()
    }

    // The (row, column) under a point of the view.
    function positionAt(x, y) {
        const contentY = y + lines.contentY
        let row = lines.indexAt(1, contentY)
        if (row < 0) {
            row = contentY < lines.originY ? 0 : logModel.count - 1
        }
        const column = Math.max(0, Math.min(logModel.lineLength(row),
                                            Math.round((x + lines.contentX - root.padding) / root.charWidth)))
        return { row: row, column: column }
    }

    BackupLogModel {
        id: logModel
        job: root.thread

        property bool wasAtEnd: true
        onLinesAboutToArrive: wasAtEnd = lines.atYEnd || lines.contentHeight <= lines.height
        onLinesArrived: {
            if (wasAtEnd) {
                Qt.callLater(lines.positionViewAtEnd)
            }
        }
    }

    FontMetrics {
        id: metrics
        font: TextStyles.monospaced
    }

    Rectangle {
        anchors.fill: parent
        color: palette.base
    }

    ListView {
        id: lines
        objectName: "logLines"
        anchors.fill: parent
        clip: true
        model: logModel
        boundsBehavior: Flickable.StopAtBounds
        flickableDirection: Flickable.AutoFlickIfNeeded
        contentWidth: Math.max(width, logModel.longestLine * root.charWidth + 2 * root.padding)
        topMargin: root.padding / 2
        bottomMargin: root.padding / 2
        cacheBuffer: 0
        reuseItems: true
        ScrollBar.vertical: ScrollBar {}
        ScrollBar.horizontal: ScrollBar {}

        delegate: Item {
            id: lineItem
            required property int index
            required property string line
            required property int selectionStart
            required property int selectionEnd

            width: lines.contentWidth
            height: root.lineHeight

            // The selected part of this line.
            Rectangle {
                visible: lineItem.selectionEnd > lineItem.selectionStart
                x: root.padding + lineItem.selectionStart * root.charWidth
                width: (lineItem.selectionEnd - lineItem.selectionStart) * root.charWidth
                height: parent.height
                color: palette.highlight
                opacity: root.activeFocus ? 0.45 : 0.25
            }
            Text {
                x: root.padding
                height: parent.height
                verticalAlignment: Text.AlignVCenter
                text: lineItem.line
                textFormat: Text.PlainText
                font: TextStyles.monospaced
                color: palette.text
                renderType: Text.NativeRendering
            }
        }
    }

    MouseArea {
        id: selecting
        anchors.fill: lines
        anchors.rightMargin: 12
        anchors.bottomMargin: 12
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        preventStealing: true
        cursorShape: Qt.IBeamCursor

        onPressed: (mouse) => {
            root.forceActiveFocus()
            if (mouse.button === Qt.RightButton) {
                return
            }
            const at = root.positionAt(mouse.x, mouse.y)
            logModel.press(at.row, at.column, mouse.modifiers & Qt.ShiftModifier)
        }
        onPositionChanged: (mouse) => {
            if (!(mouse.buttons & Qt.LeftButton)) {
                return
            }
            // Dragging past an edge scrolls on.
            if (mouse.y < 0) {
                lines.contentY = Math.max(lines.originY - lines.topMargin, lines.contentY - root.lineHeight)
            } else if (mouse.y > height) {
                lines.contentY = Math.min(lines.contentHeight - lines.height + lines.originY + lines.bottomMargin,
                                          lines.contentY + root.lineHeight)
            }
            const at = root.positionAt(mouse.x, mouse.y)
            logModel.dragTo(at.row, at.column)
        }
        onClicked: (mouse) => {
            if (mouse.button === Qt.RightButton) {
                contextMenu.popup()
            }
        }
        onDoubleClicked: (mouse) => {
            // The whole line.
            logModel.selectLine(root.positionAt(mouse.x, mouse.y).row)
        }
    }

    Keys.onPressed: (event) => {
        if (event.matches(StandardKey.Copy)) {
            root.copySelection()
            event.accepted = true
        } else if (event.matches(StandardKey.SelectAll)) {
            root.selectAll()
            event.accepted = true
        } else if (event.matches(StandardKey.MoveToStartOfDocument)) {
            lines.positionViewAtBeginning()
            event.accepted = true
        } else if (event.matches(StandardKey.MoveToEndOfDocument)) {
            lines.positionViewAtEnd()
            event.accepted = true
        }
    }

    // Keyboard focus, drawn over the edge of the text.
    Rectangle {
        objectName: "logFocusRing"
        anchors.fill: parent
        color: "transparent"
        border.width: 2
        // Lighter on a dark base, so the ring keeps 3:1 against it.
        border.color: palette.window.hslLightness < 0.5 ? Qt.lighter(palette.highlight, 1.5) : palette.highlight
        visible: root.activeFocus
    }

    FittedMenu {
        id: contextMenu
        objectName: "logMenu"
        MenuItem {
            objectName: "copyItem"
            text: qsTr("Copy")
            icon.name: "edit-copy-symbolic"
            icon.color: palette.windowText
            enabled: root.hasSelection
            onTriggered: root.copySelection()
        }
        MenuItem {
            objectName: "selectAllItem"
            text: qsTr("Select All")
            icon.name: "edit-select-all-symbolic"
            icon.color: palette.windowText
            onTriggered: root.selectAll()
        }
    }
}
