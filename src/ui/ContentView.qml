import QtQuick
import QtQuick.Layouts
import Vellory

// The main window's content: the sources on the left, the destination on
// the right. Every started backup brings up the Backups window.
Item {
    id: root
    objectName: "contentView"

    required property BackupController controller
    required property WindowRouter router

    implicitWidth: 800
    implicitHeight: 450

    RowLayout {
        anchors.fill: parent
        spacing: 0

        SourcePathView {
            id: sources
            controller: root.controller
            headerHeight: Math.max(naturalHeaderHeight, destination.naturalHeaderHeight)
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.alignment: Qt.AlignTop
        }

        Rectangle {
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            color: palette.mid
            opacity: 0.5
        }

        VolumeView {
            id: destination
            controller: root.controller
            headerHeight: Math.max(naturalHeaderHeight, sources.naturalHeaderHeight)
            Layout.fillHeight: true
            Layout.preferredWidth: 280
            Layout.maximumWidth: 280
            Layout.alignment: Qt.AlignTop
        }
    }

    Connections {
        target: root.controller
        function onShowWindowChanged() {
            root.router.openWindow("backups")
        }
    }
}
