#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>

namespace volumes {

class FakeVolumeMonitor;

/// Unmounts a volume and ejects its drive without making the caller wait.
class VolumeEjector
{
public:
    /// Empty text on success, else the reason.
    using Done = std::function<void(const QString &error)>;

    virtual ~VolumeEjector() = default;
    /// Asks for the volume mounted at `mountPath` to go; `done`, when given,
    /// is called on the ejector's thread once that has been tried.
    virtual void eject(const QString &mountPath, Done done = {}) = 0;
};

/// Ejects with unmountAndEject() on a thread of its own (flushing a stick
/// takes seconds; backup jobs may be holding the shared pool's threads).
class SystemVolumeEjector : public QObject, public VolumeEjector
{
    Q_OBJECT

public:
    explicit SystemVolumeEjector(QObject *parent = nullptr);
    ~SystemVolumeEjector() override;

    void eject(const QString &mountPath, Done done = {}) override;

private:
    QThreadPool m_worker;
};

/// Records eject requests for tests; with a fake monitor, a successful eject
/// unmounts the volume there (table changed, event emitted) before `done`.
class FakeVolumeEjector : public VolumeEjector
{
public:
    explicit FakeVolumeEjector(FakeVolumeMonitor *monitor = nullptr);

    void eject(const QString &mountPath, Done done = {}) override;

    /// The answer every eject gets (empty: success).
    void setAnswer(const QString &error) { m_answer = error; }
    [[nodiscard]] QStringList requests() const { return m_requests; }

private:
    FakeVolumeMonitor *m_monitor;
    QString m_answer;
    QStringList m_requests;
};

} // namespace volumes
