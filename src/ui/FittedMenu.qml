import QtQuick
import QtQuick.Controls

// A menu as wide as its widest entry. The style's menus are a fixed width and
// would cut a long item's text short.
Menu {
    id: root

    width: {
        let widest = implicitWidth
        for (let i = 0; i < count; ++i) {
            const entry = itemAt(i)
            if (entry) {
                widest = Math.max(widest, entry.implicitWidth + leftPadding + rightPadding)
            }
        }
        return Math.ceil(widest)
    }
}
