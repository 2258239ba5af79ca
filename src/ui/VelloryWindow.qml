import QtQuick
import QtQuick.Controls

// A window of the application, drawn with the desktop's palette (light or
// dark) for every role and state. The controls would otherwise take the
// style's own defaults and keep dark text on a dark desktop.
ApplicationWindow {
    id: window

    SystemPalette { id: active; colorGroup: SystemPalette.Active }
    SystemPalette { id: disabled; colorGroup: SystemPalette.Disabled }
    SystemPalette { id: inactive; colorGroup: SystemPalette.Inactive }

    palette {
        alternateBase: active.alternateBase
        base: active.base
        button: active.button
        buttonText: active.buttonText
        dark: active.dark
        highlight: active.highlight
        highlightedText: active.highlightedText
        light: active.light
        mid: active.mid
        midlight: active.midlight
        placeholderText: active.placeholderText
        shadow: active.shadow
        text: active.text
        window: active.window
        windowText: active.windowText

        inactive {
            base: inactive.base
            button: inactive.button
            buttonText: inactive.buttonText
            highlight: inactive.highlight
            highlightedText: inactive.highlightedText
            text: inactive.text
            window: inactive.window
            windowText: inactive.windowText
        }
        disabled {
            base: disabled.base
            button: disabled.button
            buttonText: disabled.buttonText
            highlight: disabled.highlight
            highlightedText: disabled.highlightedText
            text: disabled.text
            window: disabled.window
            windowText: disabled.windowText
        }
    }
}
