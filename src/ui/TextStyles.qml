pragma Singleton
import QtQuick

// The text styles of the views, derived from the desktop's font so they
// scale with it: body is the desktop's size, the others step around it.
QtObject {
    readonly property font body: Qt.application.font
    readonly property real bodySize: body.pixelSize > 0 ? body.pixelSize : body.pointSize * 4 / 3
    readonly property font headline: Qt.font({ family: body.family, pixelSize: Math.round(bodySize), bold: true })
    readonly property font subheadline: Qt.font({ family: body.family, pixelSize: Math.round(bodySize * 0.92) })
    readonly property font callout: Qt.font({ family: body.family, pixelSize: Math.round(bodySize * 0.92) })
    readonly property font footnote: Qt.font({ family: body.family, pixelSize: Math.round(bodySize * 0.85) })
    readonly property font title: Qt.font({ family: body.family, pixelSize: Math.round(bodySize * 1.15), bold: true })
    readonly property font monospaced: Qt.font({ family: "monospace", pixelSize: Math.round(bodySize) })
}
