import QtQuick
import QtQuick.Controls
import Vellory

// Content of the Backups window: every job of this run, newest first.
Item {
    id: root
    objectName: "threadsListView"

    required property BackupController controller
    required property WindowRouter router

    implicitWidth: 560
    implicitHeight: 320

    Rectangle {
        anchors.fill: parent
        color: palette.base
    }

    ListView {
        id: list
        objectName: "threadsList"
        anchors.fill: parent
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: root.controller.threads
        activeFocusOnTab: false
        Accessible.role: Accessible.List
        Accessible.name: qsTr("Backups")
        ScrollBar.vertical: ScrollBar {}

        delegate: ThreadView {
            required property BackupThread job
            width: ListView.view.width
            thread: job
            controller: root.controller
            router: root.router
        }

        // Rows come and go with a short spring.
        add: Transition {
            NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 300 }
            NumberAnimation { property: "y"; from: -20; duration: 500; easing.type: Easing.OutBack; easing.overshoot: 0.9 }
        }
        remove: Transition {
            NumberAnimation { property: "opacity"; to: 0; duration: 250 }
        }
        displaced: Transition {
            NumberAnimation { properties: "x,y"; duration: 500; easing.type: Easing.OutBack; easing.overshoot: 0.9 }
            NumberAnimation { property: "opacity"; to: 1; duration: 150 }
        }
    }
}
