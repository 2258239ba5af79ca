import QtQuick
import QtQuick.Controls
import Vellory

// The Backups window: the list of jobs.
VelloryWindow {
    id: window
    objectName: "backupsWindow"

    required property BackupController controller
    required property WindowRouter router

    title: qsTr("Backups")
    width: 600
    height: 340
    minimumWidth: 420
    minimumHeight: 160
    visible: false

    ThreadsListView {
        anchors.fill: parent
        controller: window.controller
        router: window.router
    }
}
