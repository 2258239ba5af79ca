import QtQuick
import QtQuick.Controls

// A window of the application, drawn with the desktop's palette (light or
// dark) for every role and state. The controls would otherwise take the
// style's own defaults and keep dark text on a dark desktop.
ApplicationWindow {
    id: window

    // Ids that differ from the palette's group names: inside the `palette`
    // block "disabled" and "inactive" name the palette's own groups, so a
    // binding to them would copy the group onto itself.
    SystemPalette { id: systemActive; colorGroup: SystemPalette.Active }
    SystemPalette { id: systemDisabled; colorGroup: SystemPalette.Disabled }
    SystemPalette { id: systemInactive; colorGroup: SystemPalette.Inactive }

    palette {
        alternateBase: systemActive.alternateBase
        base: systemActive.base
        button: systemActive.button
        buttonText: systemActive.buttonText
        dark: systemActive.dark
        highlight: systemActive.highlight
        highlightedText: systemActive.highlightedText
        light: systemActive.light
        mid: systemActive.mid
        midlight: systemActive.midlight
        placeholderText: systemActive.placeholderText
        shadow: systemActive.shadow
        text: systemActive.text
        window: systemActive.window
        windowText: systemActive.windowText

        inactive {
            base: systemInactive.base
            button: systemInactive.button
            buttonText: systemInactive.buttonText
            highlight: systemInactive.highlight
            highlightedText: systemInactive.highlightedText
            text: systemInactive.text
            window: systemInactive.window
            windowText: systemInactive.windowText
        }
        disabled {
            base: systemDisabled.base
            button: systemDisabled.button
            buttonText: systemDisabled.buttonText
            highlight: systemDisabled.highlight
            highlightedText: systemDisabled.highlightedText
            text: systemDisabled.text
            window: systemDisabled.window
            windowText: systemDisabled.windowText
        }
    }
}
