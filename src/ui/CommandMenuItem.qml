import QtQuick
import QtQuick.Controls

// A menu entry that shows the keyboard shortcut of its command at its right
// edge. The shortcut itself is the window's: a menu's entries exist only
// while it is open.
MenuItem {
    id: control

    // The shortcut's text as the desktop writes it (Shortcut.nativeText).
    property string shortcutText: ""

    rightPadding: padding + (shortcutText.length > 0 ? shortcutLabel.implicitWidth + 24 : 0)
    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)

    Label {
        id: shortcutLabel
        parent: control
        anchors.right: parent.right
        anchors.rightMargin: control.padding
        anchors.verticalCenter: parent.verticalCenter
        visible: text.length > 0
        text: control.shortcutText
        color: control.highlighted ? control.palette.highlightedText : control.palette.text
        // Read out with the entry's own name; not a second object.
        Accessible.ignored: true
    }
}
