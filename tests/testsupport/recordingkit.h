#pragma once

#include "Moraine/kitservices.h"
#include "recordingalertpresenter.h"
#include "recordingurlopener.h"

// The kit's services over a desktop that records addresses and alerts.
struct RecordingKit
{
    RecordingUrlOpener browser;
    RecordingAlertPresenter alertPresenter;
    moraine::KitAlerts alerts{alertPresenter};
    moraine::KitServices services{browser, alerts};
};
