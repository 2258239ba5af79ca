import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The bar at the top of a panel: a title on the left and the panel's
// controls on the right, on the window's bar colour with a hairline below.
Rectangle {
    id: root

    property alias title: titleLabel.text
    default property alias controls: controlRow.data

    // The height its own title and controls need; the panels side by side
    // share the larger of theirs, so their hairlines meet.
    readonly property real naturalHeight: Math.max(titleLabel.implicitHeight, controlRow.implicitHeight) + 24
    property real sharedHeight: 0

    implicitHeight: Math.max(naturalHeight, sharedHeight)
    color: palette.window

    RowLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 8

        Label {
            id: titleLabel
            objectName: "panelTitle"
            font: TextStyles.title
            elide: Text.ElideRight
            Layout.fillWidth: true
            Layout.minimumWidth: Math.min(implicitWidth, 60)
            Layout.alignment: Qt.AlignBaseline
        }

        RowLayout {
            id: controlRow
            spacing: 6
            Layout.alignment: Qt.AlignVCenter
        }
    }

    Rectangle {
        objectName: "panelHeaderLine"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: palette.mid
        opacity: 0.5
    }
}
