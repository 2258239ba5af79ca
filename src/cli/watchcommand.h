#pragma once

#include "cli/controllercommands.h"
#include "platform/interruptnotifier.h"

#include <memory>

/// "watch": stays running and follows the volumes as the application does.
/// When the destination is mounted with automatic backup on, a backup
/// starts and its log is printed as it grows. SIGINT or SIGTERM ends the
/// command once the running jobs have been cancelled and have closed (a
/// second signal ends it at once). Exit code 0.
class WatchCommand : public ControllerCommand
{
public:
    [[nodiscard]] QString name() const override { return QStringLiteral("watch"); }
    [[nodiscard]] QString arguments() const override { return QStringLiteral("[--set FILE]"); }
    [[nodiscard]] QString summary() const override;

protected:
    void prepare() override;
    int run(ControllerSession &session, const QStringList &positional, CliConsole &console) override;

private:
    std::unique_ptr<platform::InterruptNotifier> m_interrupts;
};
