#pragma once

#include "Moraine/kitalert.h"

namespace moraine {

/// Shows each kit alert as a modal message box, with the system beep when
/// the alert asks for it. For a graphical application's KitAlerts.
class MessageBoxAlertPresenter final : public AlertPresenter
{
public:
    void present(const KitAlertContent &alert, std::function<void()> done) override;
};

} // namespace moraine
