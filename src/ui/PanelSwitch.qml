import QtQuick
import QtQuick.Controls

// A switch whose knob stands out from its track in a light and a dark
// palette alike. The style draws both from nearly the same button colours,
// which on a dark desktop leaves an off switch without a visible knob.
Switch {
    id: control

    readonly property bool darkPalette: palette.window.hslLightness < 0.5

    indicator: Rectangle {
        objectName: "switchTrack"
        implicitWidth: 40
        implicitHeight: 20
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: height / 2
        color: control.checked ? control.palette.highlight : control.darkPalette ? control.palette.mid : control.palette.dark
        border.color: Qt.darker(color, control.darkPalette ? 1.3 : 1.15)
        opacity: control.enabled ? 1 : 0.45

        // Keyboard focus: a ring around the track in the highlight colour,
        // apart from the track so it shows when the switch is on too.
        Rectangle {
            objectName: "switchFocusRing"
            anchors.fill: parent
            anchors.margins: -3
            radius: height / 2
            color: "transparent"
            border.width: 2
            border.color: control.darkPalette ? Qt.lighter(control.palette.highlight, 1.5) : control.palette.highlight
            visible: control.visualFocus
        }

        Rectangle {
            objectName: "switchKnob"
            width: parent.height - 4
            height: width
            radius: width / 2
            y: 2
            x: 2 + control.visualPosition * (parent.width - width - 4)
            color: control.darkPalette ? Qt.darker(control.palette.windowText, 1.1) : control.palette.base
            border.color: Qt.darker(color, 1.25)
            Behavior on x {
                enabled: !control.down
                NumberAnimation { duration: 120 }
            }
        }
    }
}
