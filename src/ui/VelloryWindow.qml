import QtQuick
import QtQuick.Controls

// A window of the application, drawn with the desktop's palette (light or
// dark) for every role and state. The controls would otherwise take the
// style's own defaults and keep dark text on a dark desktop.
ApplicationWindow {
    id: window

    // Ids that differ from the palette's group names: inside the `palette`
    // block "disabled" and "inactive" name the palette's own groups.
    SystemPalette { id: systemActive; colorGroup: SystemPalette.Active }
    SystemPalette { id: systemDisabled; colorGroup: SystemPalette.Disabled }
    SystemPalette { id: systemInactive; colorGroup: SystemPalette.Inactive }

    // Each group is set on its own: a role set on the palette itself applies
    // to every group and would draw disabled controls like enabled ones.
    // Tooltips take the base colours instead of the style's fixed light
    // yellow, so they follow a dark palette too.
    palette {
        active {
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
            toolTipBase: systemActive.base
            toolTipText: systemActive.text
        }
        inactive {
            alternateBase: systemInactive.alternateBase
            base: systemInactive.base
            button: systemInactive.button
            buttonText: systemInactive.buttonText
            dark: systemInactive.dark
            highlight: systemInactive.highlight
            highlightedText: systemInactive.highlightedText
            light: systemInactive.light
            mid: systemInactive.mid
            midlight: systemInactive.midlight
            placeholderText: systemInactive.placeholderText
            shadow: systemInactive.shadow
            text: systemInactive.text
            window: systemInactive.window
            windowText: systemInactive.windowText
            toolTipBase: systemInactive.base
            toolTipText: systemInactive.text
        }
        disabled {
            alternateBase: systemDisabled.alternateBase
            base: systemDisabled.base
            button: systemDisabled.button
            buttonText: systemDisabled.buttonText
            dark: systemDisabled.dark
            highlight: systemDisabled.highlight
            highlightedText: systemDisabled.highlightedText
            light: systemDisabled.light
            mid: systemDisabled.mid
            midlight: systemDisabled.midlight
            placeholderText: systemDisabled.placeholderText
            shadow: systemDisabled.shadow
            text: systemDisabled.text
            window: systemDisabled.window
            windowText: systemDisabled.windowText
            toolTipBase: systemDisabled.base
            toolTipText: systemDisabled.text
        }
    }
}
