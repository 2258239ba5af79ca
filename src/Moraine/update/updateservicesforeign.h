#pragma once

#include "Moraine/update/updateservices.h"

#include <QtQml/qqml.h>

// The update services as the views know them: the kit library is no QML
// module, so they are registered here.
struct UpdateServicesForeign
{
    Q_GADGET
    QML_FOREIGN(moraine::UpdateServices)
    QML_NAMED_ELEMENT(UpdateServices)
    QML_UNCREATABLE("The application makes the update services.")
};
