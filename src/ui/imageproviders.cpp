#include "ui/imageproviders.h"

#include "ui/controllerimageprovider.h"
#include "ui/fileiconprovider.h"
#include "ui/themeiconprovider.h"

#include <QQmlEngine>

void installImageProviders(QQmlEngine &engine, BackupController *controller)
{
    // The engine owns its providers.
    engine.addImageProvider(QString::fromLatin1(FileIconProvider::kProviderName), new FileIconProvider);
    engine.addImageProvider(QString::fromLatin1(ThemeIconProvider::kProviderName), new ThemeIconProvider);
    engine.addImageProvider(QString::fromLatin1(ControllerImageProvider::kProviderName),
                            new ControllerImageProvider(controller));
}
