#pragma once

#include "Moraine/kitservices.h"

#include <QtQml/qqml.h>

// The kit's services as the views know them: the kit library is no QML
// module, so they are registered here.
struct KitServicesForeign
{
    Q_GADGET
    QML_FOREIGN(moraine::KitServices)
    QML_NAMED_ELEMENT(KitServices)
    QML_UNCREATABLE("The application makes the kit's services.")
};
