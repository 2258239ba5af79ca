import QtQuick
import QtQuick.Shapes

// How full the destination is, as a ring filled clockwise from the top.
Item {
    id: root

    property real value: 0
    property real lineWidth: 6
    property color trackColor: palette.mid
    property color fillColor: palette.highlight

    readonly property real shownValue: Math.max(0, Math.min(1, value))

    implicitWidth: 44
    implicitHeight: 44

    Shape {
        anchors.fill: parent
        layer.enabled: true
        layer.samples: 4

        ShapePath {
            strokeColor: root.trackColor
            strokeWidth: root.lineWidth
            fillColor: "transparent"
            capStyle: ShapePath.FlatCap
            PathAngleArc {
                centerX: root.width / 2
                centerY: root.height / 2
                radiusX: (Math.min(root.width, root.height) - root.lineWidth) / 2
                radiusY: radiusX
                startAngle: 0
                sweepAngle: 360
            }
        }
        ShapePath {
            strokeColor: root.fillColor
            strokeWidth: root.lineWidth
            fillColor: "transparent"
            capStyle: ShapePath.RoundCap
            PathAngleArc {
                centerX: root.width / 2
                centerY: root.height / 2
                radiusX: (Math.min(root.width, root.height) - root.lineWidth) / 2
                radiusY: radiusX
                startAngle: -90
                sweepAngle: 360 * gaugeFill.value
            }
        }
    }

    QtObject {
        id: gaugeFill
        property real value: root.shownValue
        Behavior on value { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
    }
}
