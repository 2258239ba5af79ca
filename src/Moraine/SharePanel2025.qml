import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Moraine

// Asks the user to recommend the application: an editable message and
// buttons that prepare a post or a message in the browser or mail program.
// The presenter shows it as a sheet and dismisses it on closeRequested().
Pane {
    id: root

    required property string appName
    required property string emailSubject
    // The caller's text; the editor starts from it each time the panel is made.
    required property string message
    required property string targetURL
    // Where the prepared posts and messages are opened.
    required property KitServices kit

    // Asks the presenting sheet to go away (sets its presenting flag false).
    signal closeRequested()

    function close() {
        Qt.callLater(root.closeRequested)
    }

    // A dialog to a screen reader, named by its title.
    Accessible.role: Accessible.Dialog
    Accessible.name: titleLabel.text

    implicitWidth: 600
    implicitHeight: 331
    width: 600
    height: 331
    padding: 20

    readonly property int largeTitleSize: 26
    readonly property int bodySize: 13

    SharePanelModel {
        id: shareModel
        objectName: "shareModel"
        appName: root.appName
        emailSubject: root.emailSubject
        targetURL: root.targetURL
        kit: root.kit
        message: editor.text
    }

    Shortcut {
        sequences: [StandardKey.Cancel]
        onActivated: root.close()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.alignment: Qt.AlignTop | Qt.AlignLeft
            spacing: 8

            Label {
                objectName: "heartSymbol"
                Layout.alignment: Qt.AlignTop
                text: "\u2665"
                color: "red"
                font.pixelSize: root.largeTitleSize
                Accessible.ignored: true
            }

            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                spacing: 12

                // A positioner rather than a layout: the wrapped appeal's
                // height is known only once its width is.
                Column {
                    Layout.preferredWidth: 421
                    Layout.alignment: Qt.AlignLeft
                    width: 421
                    spacing: 6

                    Label {
                        id: titleLabel
                        objectName: "titleLabel"
                        width: parent.width
                        wrapMode: Text.WordWrap
                        text: qsTr("Help us to spread the word")
                        font.pixelSize: root.largeTitleSize
                    }

                    Label {
                        objectName: "appealLabel"
                        width: parent.width
                        wrapMode: Text.WordWrap
                        font.pixelSize: root.bodySize
                        text: qsTr("We need your help to get %1 into the hands of other people who could benefit from it. Please use the field and buttons below to share a short message on your favorite social media.").arg(root.appName)
                    }

                    ScrollView {
                        id: editorScroll
                        width: parent.width
                        height: 70
                        // A longer message shows its bar at once: the box
                        // holds only three lines.
                        ScrollBar.vertical.policy: editor.implicitHeight > editorScroll.height
                            ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
                        background: Rectangle {
                            color: "transparent"
                            border.color: "gray"
                            border.width: 1
                        }

                        TextArea {
                            id: editor
                            objectName: "messageEditor"
                            text: root.message
                            wrapMode: TextEdit.Wrap
                            textFormat: TextEdit.PlainText
                            font.pixelSize: root.bodySize
                            rightPadding: editorScroll.ScrollBar.vertical.visible
                                ? editorScroll.ScrollBar.vertical.width + 4 : padding
                            Accessible.name: qsTr("Message")
                            background: null
                        }
                    }
                }

                RowLayout {
                    spacing: 8

                    Button {
                        objectName: "shareByMailButton"
                        text: qsTr(" Share via e-mail ")
                        onClicked: shareModel.shareByMail()
                    }
                    Button {
                        objectName: "shareOnFacebookButton"
                        text: qsTr(" Share on Facebook ")
                        onClicked: shareModel.shareOnFacebook()
                    }
                    Button {
                        objectName: "shareOnThreadsButton"
                        text: qsTr(" Share on Threads ")
                        onClicked: shareModel.shareWithIntent(shareModel.threadsIntentURL)
                    }
                }

                RowLayout {
                    spacing: 8

                    Button {
                        objectName: "shareOnXButton"
                        text: qsTr(" Share on X ")
                        onClicked: shareModel.shareWithIntent(shareModel.xIntentURL)
                    }
                    Button {
                        objectName: "copyMessageButton"
                        text: qsTr("Copy Message ")
                        icon.name: "edit-copy"
                        display: AbstractButton.TextBesideIcon
                        onClicked: shareModel.copyMessage()
                    }
                }
            }
        }

        Item {
            Layout.fillHeight: true
        }

        RowLayout {
            Layout.fillWidth: true

            Item {
                Layout.fillWidth: true
            }

            DialogButtonBox {
                padding: 0
                background: null
                onRejected: root.close()

                Button {
                    objectName: "closeButton"
                    text: qsTr(" Close ")
                    DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
                }
            }
        }
    }
}
