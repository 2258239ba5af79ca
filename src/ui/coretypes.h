#pragma once

#include "backup/backupcontroller.h"
#include "backup/backupthread.h"
#include "backup/backupthreadlistmodel.h"
#include "platform/settings.h"

#include <QObject>
#include <QtQml/qqml.h>

// The core's observable objects as the views know them. They live in the core
// library, which is no QML module, so they are registered here.

struct BackupControllerForeign
{
    Q_GADGET
    QML_FOREIGN(BackupController)
    QML_NAMED_ELEMENT(BackupController)
    QML_UNCREATABLE("The application makes the one backup controller.")
};

struct BackupThreadForeign
{
    Q_GADGET
    QML_FOREIGN(BackupThread)
    QML_NAMED_ELEMENT(BackupThread)
    QML_UNCREATABLE("Backup jobs are started by the backup controller.")
};

struct BackupThreadListModelForeign
{
    Q_GADGET
    QML_FOREIGN(BackupThreadListModel)
    QML_NAMED_ELEMENT(BackupThreadListModel)
    QML_UNCREATABLE("The job list belongs to the backup controller.")
};

struct SettingsForeign
{
    Q_GADGET
    QML_FOREIGN(platform::Settings)
    QML_NAMED_ELEMENT(Settings)
    QML_UNCREATABLE("The application hands its settings to the backup controller.")
};
