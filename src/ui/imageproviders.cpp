#include "ui/imageproviders.h"

#include "backup/backupcontroller.h"
#include "ui/controllerimageprovider.h"
#include "ui/fileiconprovider.h"
#include "ui/themeiconprovider.h"

#include <QQmlEngine>

void installImageProviders(QQmlEngine &engine, BackupController *controller)
{
    // The list owns its jobs; QML must never take one over and delete it.
    if (controller) {
        controller->threads()->setOwnershipKeeper(
            [](QObject *job) { QQmlEngine::setObjectOwnership(job, QQmlEngine::CppOwnership); });
    }
    // The engine owns its providers.
    engine.addImageProvider(QString::fromLatin1(FileIconProvider::kProviderName), new FileIconProvider);
    engine.addImageProvider(QString::fromLatin1(ThemeIconProvider::kProviderName), new ThemeIconProvider);
    engine.addImageProvider(QString::fromLatin1(ControllerImageProvider::kProviderName),
                            new ControllerImageProvider(controller));
}
