import QtQuick
import QtQuick.Controls
import Vellory

// A "Backup Log" window: the log of the job with `jobId`, found when the
// window is built; the placeholder job when no listed job has that id.
VelloryWindow {
    id: window
    objectName: "backupLogWindow"

    required property BackupController controller
    required property string jobId
    readonly property BackupThread job: controller.threads.holdJob(jobId, window)

    title: qsTr("Backup Log")
    width: 720
    height: 420
    minimumWidth: 320
    minimumHeight: 160
    visible: false

    BackupLogView {
        anchors.fill: parent
        focus: true
        thread: window.job
    }
}
