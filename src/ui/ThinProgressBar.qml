import QtQuick
import QtQuick.Controls

// A slim progress bar: filled to `value` of 1, or, when indeterminate, a
// segment that keeps moving across.
ProgressBar {
    id: root

    from: 0
    to: 1
    implicitHeight: 5
    implicitWidth: 120

    background: Rectangle {
        implicitHeight: 5
        radius: height / 2
        color: palette.mid
        opacity: 0.45
    }

    contentItem: Item {
        implicitHeight: 5
        clip: true

        Rectangle {
            visible: !root.indeterminate
            width: root.visualPosition * parent.width
            height: parent.height
            radius: height / 2
            color: palette.highlight
        }

        Rectangle {
            id: runner
            visible: root.indeterminate
            width: parent.width * 0.3
            height: parent.height
            radius: height / 2
            color: palette.highlight

            XAnimator on x {
                running: root.indeterminate && root.visible
                loops: Animation.Infinite
                from: -runner.width
                to: runner.parent.width
                duration: 1400
                easing.type: Easing.InOutQuad
            }
        }
    }
}
