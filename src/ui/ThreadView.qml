import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Vellory

// One job of the Backups window: its icon, title, bar and message, "Log",
// and " Cancel " while it runs or " Close " once it does not.
Item {
    id: root
    // A closed row lives on through its fade-out with its job gone.
    objectName: thread ? "threadRow:" + thread.id : "threadRow"

    required property BackupThread thread
    required property BackupController controller
    required property WindowRouter router

    readonly property bool isRunning: thread ? thread.isRunning : false
    readonly property int status: thread ? thread.status : BackupThread.Awaiting
    readonly property bool hasEnded: thread ? thread.ending !== BackupThread.NotEnded : false
    // The job's texts come from the engine in English: shown translated.
    readonly property string titleText: thread ? EngineTexts.translate(thread.progressTitle) : ""
    readonly property string messageText: thread ? EngineTexts.translate(thread.progressMessage) : ""

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
        root.controller.cancelOrClose(root.thread)
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
            source: root.thread ? DesktopFiles.jobIconSource(root.thread.id) : ""
            Accessible.ignored: true

            // How the job ended, in the corner of its volume's icon.
            Rectangle {
                objectName: "threadEndingBadge"
                visible: root.hasEnded
                width: 22
                height: 22
                radius: 11
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                color: palette.base

                Image {
                    anchors.centerIn: parent
                    width: 18
                    height: 18
                    sourceSize: Qt.size(18, 18)
                    source: root.hasEnded
                        ? DesktopFiles.themeIconSource(root.thread.endingIconName, 18, endingColour())
                        : ""

                    function endingColour() {
                        switch (root.thread.ending) {
                        case BackupThread.EndedCompleted: return "#2e9e44"
                        case BackupThread.EndedWithErrors: return "#d08a00"
                        case BackupThread.EndedStopped: return "#d0312d"
                        default: return palette.windowText
                        }
                    }
                }
            }
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
                value: root.thread ? root.thread.progressValue : 0
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
            // How it ended, on which volume and when: rows of several runs
            // tell apart, and the error count shows at any width.
            Label {
                objectName: "threadEnding"
                Layout.fillWidth: true
                visible: root.hasEnded
                font: TextStyles.subheadline
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: root.thread ? EngineTexts.translate(root.thread.endingLine) : ""
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
