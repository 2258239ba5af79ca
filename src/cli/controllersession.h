#pragma once

#include "backup/backupcontroller.h"
#include "backup/systemvolumeservices.h"

#include <QString>
#include <QStringList>

#include <memory>

/// The arguments of a controller command: "--set FILE" (or "--set=FILE")
/// anywhere, everything else positional in order.
struct ControllerArguments
{
    QString setFile;
    QStringList positional;
    QString error; ///< why the arguments cannot be used; empty when they can

    [[nodiscard]] static ControllerArguments parse(const QStringList &arguments);
};

/// The one controller a command works on, made as the application makes it:
/// this machine's volumes, and the stored backup set or the one in FILE.
/// Its standard-output lines go to `outputLine`.
class ControllerSession
{
public:
    ControllerSession(const QString &setFile, std::function<void(const QString &)> outputLine);
    ~ControllerSession();

    [[nodiscard]] BackupController &controller() { return *m_controller; }
    [[nodiscard]] SystemVolumeServices &services() { return m_services; }

private:
    SystemVolumeServices m_services;
    std::unique_ptr<BackupController> m_controller;
};
