import QtQuick
import QtQuick.Controls

// A window of the application, drawn with the desktop's palette (light or
// dark) for every role and state. The controls would otherwise take the
// style's own defaults and keep dark text on a dark desktop.
ApplicationWindow {
    id: window

    // Relative luminance and contrast ratio (1 to 21), as WCAG measures them.
    function luminance(c) {
        const channel = (v) => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
    }
    function contrast(a, b) {
        const la = window.luminance(a)
        const lb = window.luminance(b)
        return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
    }
    // `back` moved away from `front` until `front` on it reads at 4.5:1
    // (WCAG AA): the desktop's highlight blue carries white text at only
    // about 3.7:1.
    function readableBehind(back, front) {
        const darken = window.luminance(front) > window.luminance(back)
        let colour = back
        for (let i = 0; i < 16 && window.contrast(colour, front) < 4.5; ++i) {
            colour = darken ? Qt.darker(colour, 1.06) : Qt.lighter(colour, 1.06)
        }
        return colour
    }

    // Ctrl+W closes any of the application's windows, as on the desktop.
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: window.close()
    }

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
            highlight: window.readableBehind(systemActive.highlight, systemActive.highlightedText)
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
            highlight: window.readableBehind(systemInactive.highlight, systemInactive.highlightedText)
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
