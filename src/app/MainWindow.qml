import QtQuick
import QtQuick.Controls
import Vellory
import Vellory.App

// The main window "Vellory 2": the sources and the destination side by side.
VelloryWindow {
    id: window
    objectName: "mainWindow"

    required property BackupController controller
    required property WindowRouter router
    required property VelloryApp app

    title: "Vellory 2"
    minimumWidth: content.implicitWidth
    minimumHeight: content.implicitHeight
    width: 920
    height: 560
    visible: false

    ContentView {
        id: content
        anchors.fill: parent
        controller: window.controller
        router: window.router
    }
}
