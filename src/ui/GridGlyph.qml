import QtQuick

// A small grid of rounded squares: the picture of one icon size on the
// icon-size control (2 × 2 large, 3 × 2 medium, 3 × 3 small).
Item {
    id: root

    property int columns: 2
    property int rows: 2
    property color color: palette.buttonText

    readonly property real gap: Math.max(columns, rows) > 2 ? 1.5 : 2
    readonly property real cell: (Math.min(width, height) - (Math.max(columns, rows) - 1) * gap) / Math.max(columns, rows)

    implicitWidth: 14
    implicitHeight: 14

    Grid {
        anchors.centerIn: parent
        columns: root.columns
        spacing: root.gap
        Repeater {
            model: root.columns * root.rows
            Rectangle {
                width: root.cell
                height: root.cell
                radius: root.cell / 4
                color: root.color
            }
        }
    }
}
