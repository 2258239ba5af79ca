#pragma once

namespace moraine {

/// Makes the kit's alerts modal message boxes (with the system beep when an
/// alert asks for it). Called once by a graphical application.
void installMessageBoxAlerts();

} // namespace moraine
