#pragma once

#include <QObject>

#include <functional>

namespace moraine {
class NIMBLite;
class UpdateServices;
}

/// Starts update checks, each on a fresh update-service object that deletes
/// itself once its check has completed; nobody keeps a reference to it. Two
/// requests make two checks on two objects.
class UpdateChecks : public QObject
{
    Q_OBJECT

public:
    /// Makes the object for one check (tests give their own).
    using Factory = std::function<moraine::NIMBLite *()>;
    enum class Kind { Manual, Silent };
    Q_ENUM(Kind)

    /// Checks are made with `services` (not owned).
    explicit UpdateChecks(moraine::UpdateServices &services, QObject *parent = nullptr);

    void setFactory(Factory factory);

    /// "Check for updates...": the check with its progress window, the update
    /// page or an alert at its end.
    moraine::NIMBLite *startManualCheck();
    /// The quiet check at launch.
    moraine::NIMBLite *startSilentCheck();

signals:
    /// The check has completed; the object is deleted after this returns.
    void checkFinished(moraine::NIMBLite *check, UpdateChecks::Kind kind);

private:
    moraine::NIMBLite *start(Kind kind);

    moraine::UpdateServices &m_services;
    Factory m_factory;
};
