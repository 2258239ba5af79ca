#pragma once

#include "Moraine/kitalert.h"

#include <QList>

// Records kit alerts instead of showing them, dismissing each at once.
class RecordingAlertPresenter final : public moraine::AlertPresenter
{
public:
    void present(const moraine::KitAlertContent &alert, std::function<void()> done) override
    {
        alerts.append(alert);
        done();
    }

    QList<moraine::KitAlertContent> alerts;
};
