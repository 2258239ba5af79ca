import QtQuick
import QtQuick.Controls

// The segmented "Icon Size" control of the source grid: three icon-only
// choices, 100 points wide, each with its tooltip.
Row {
    id: root

    property int value: 100
    signal chosen(int value)

    Accessible.name: qsTr("Icon Size")
    Accessible.role: Accessible.Grouping
    width: 100
    spacing: 0

    ButtonGroup { id: choices }

    Repeater {
        model: [
            { name: "largeIconsButton", title: qsTr("Large Icons"), value: 100, columns: 2, rows: 2, tip: qsTr("Display large icons") },
            { name: "mediumIconsButton", title: qsTr("Medium"), value: 64, columns: 3, rows: 2, tip: qsTr("Display medium sized icons") },
            { name: "smallIconsButton", title: qsTr("Small Icons"), value: 32, columns: 3, rows: 3, tip: qsTr("Display small sized icons") }
        ]

        ToolButton {
            id: choice
            required property var modelData

            objectName: modelData.name
            width: root.width / 3
            checkable: true
            checked: root.value === modelData.value
            ButtonGroup.group: choices
            Accessible.name: modelData.title
            Accessible.description: modelData.tip
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: modelData.tip
            contentItem: Item {
                implicitWidth: 14
                implicitHeight: 14
                GridGlyph {
                    anchors.centerIn: parent
                    width: 14
                    height: 14
                    columns: choice.modelData.columns
                    rows: choice.modelData.rows
                    color: choice.checked ? palette.highlight : palette.buttonText
                }
            }
            onClicked: root.chosen(modelData.value)
        }
    }
}
