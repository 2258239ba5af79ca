import QtQuick
import QtQuick.Controls
import Vellory

// A job's log as selectable, read-only, monospaced text that grows with the
// job. New lines are appended in batches; the view stays at the end while
// the person has not scrolled away from it.
ScrollView {
    id: root
    objectName: "backupLogView"

    required property BackupThread thread

    implicitWidth: 640
    implicitHeight: 400

    TextArea {
        id: logText
        objectName: "logText"
        readOnly: true
        selectByMouse: true
        persistentSelection: true
        wrapMode: TextEdit.NoWrap
        textFormat: TextEdit.PlainText
        font: TextStyles.monospaced
        padding: 10
    }

    BackupLogFeed {
        id: feed
        job: root.thread

        onReset: (text) => {
            logText.text = text
        }
        onAppended: (text) => {
            const flick = root.contentItem
            const atEnd = !flick || flick.contentY + flick.height >= flick.contentHeight - 4
            if (logText.length === 0) {
                logText.text = text
            } else {
                logText.append(text)
            }
            if (atEnd) {
                Qt.callLater(root.scrollToEnd)
            }
        }
    }

    function scrollToEnd() {
        const flick = root.contentItem
        if (flick && flick.contentHeight > flick.height) {
            flick.contentY = flick.contentHeight - flick.height
        }
    }

    Component.onCompleted: feed.replay()
}
