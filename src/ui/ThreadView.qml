import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory

// One job of the Backups window: its icon, title, bar and message, "Log",
// and " Cancel " while it runs or " Close " once it does not.
Item {
    id: root
    objectName: "threadRow:" + thread.id

    required property BackupThread thread
    required property BackupController controller
    required property WindowRouter router

    readonly property bool isRunning: thread.isRunning
    readonly property int status: thread.status
    // The job's texts come from the engine in English: shown translated.
    readonly property string titleText: EngineTexts.translate(thread.progressTitle)
    readonly property string messageText: EngineTexts.translate(thread.progressMessage)

    // The row reads as one item: its title and message, then its buttons.
    Accessible.role: Accessible.ListItem
    Accessible.name: titleText
    Accessible.description: messageText

    implicitHeight: row.implicitHeight + 16
    implicitWidth: row.implicitWidth + 24

    function openLog() {
        root.router.openLogWindow(root.thread.id)
    }

    function cancelOrClose() {
        if (root.isRunning) {
            root.thread.setStatus(BackupThread.Cancelled)
            return
        }
        // The row goes with its job; keep what is needed afterwards.
        const jobs = root.controller.threads
        const window = root.Window.window
        jobs.removeJob(root.thread.id)
        if (jobs.count === 0 && window) {
            Qt.callLater(() => window.close())
        }
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 10

        Image {
            objectName: "threadIcon"
            Layout.preferredWidth: 48
            Layout.preferredHeight: 48
            Layout.alignment: Qt.AlignVCenter
            sourceSize: Qt.size(48, 48)
            fillMode: Image.PreserveAspectFit
            smooth: true
            mipmap: true
            source: DesktopFiles.jobIconSource(root.thread.id)
            Accessible.ignored: true
        }

        ColumnLayout {
            spacing: 4
            Layout.fillWidth: true
            Layout.minimumWidth: 0
            // While the job runs its bar takes the row; otherwise the column
            // is as wide as its texts and the buttons move to the far end.
            Layout.maximumWidth: root.isRunning ? Number.POSITIVE_INFINITY : implicitWidth
            Layout.alignment: Qt.AlignVCenter

            Label {
                objectName: "threadTitle"
                Layout.fillWidth: true
                font: TextStyles.headline
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                text: root.titleText
            }
            ThinProgressBar {
                objectName: "threadProgress"
                Layout.fillWidth: true
                Layout.preferredHeight: 5
                visible: root.status === BackupThread.Scanning || root.status === BackupThread.BackingUp
                indeterminate: root.status === BackupThread.Scanning
                value: root.thread.progressValue
                Accessible.name: root.titleText
            }
            Label {
                objectName: "threadMessage"
                Layout.fillWidth: true
                font: TextStyles.subheadline
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                opacity: 0.8
                text: root.messageText
                Accessible.ignored: text.length === 0
            }
        }

        Item {
            objectName: "threadSpacer"
            Layout.fillWidth: !root.isRunning
            visible: !root.isRunning
        }

        Button {
            objectName: "logButton"
            text: qsTr("Log")
            Accessible.description: root.titleText
            Layout.alignment: Qt.AlignVCenter
            onClicked: root.openLog()
        }
        Button {
            objectName: "cancelCloseButton"
            text: root.isRunning ? qsTr(" Cancel ") : qsTr(" Close ")
            Accessible.description: root.titleText
            Layout.alignment: Qt.AlignVCenter
            Layout.leftMargin: 1
            Layout.rightMargin: 1
            onClicked: root.cancelOrClose()
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        height: 1
        color: palette.mid
        opacity: 0.35
    }
}
