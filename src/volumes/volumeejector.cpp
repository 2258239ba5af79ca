#include "volumes/volumeejector.h"

#include "volumes/fakevolumemonitor.h"
#include "volumes/volumeeject.h"


namespace volumes {

SystemVolumeEjector::SystemVolumeEjector(QObject *parent)
    : QObject(parent)
{
    m_worker.setMaxThreadCount(1);
}

SystemVolumeEjector::~SystemVolumeEjector()
{
    // An eject in flight posts its answer to this object: let it finish first.
    m_worker.waitForDone();
}

void SystemVolumeEjector::eject(const QString &mountPath, Done done)
{
    m_worker.start([this, mountPath, done] {
        const QString error = unmountAndEject(mountPath);
        if (done) {
            QMetaObject::invokeMethod(this, [done, error] { done(error); }, Qt::QueuedConnection);
        }
    });
}

FakeVolumeEjector::FakeVolumeEjector(FakeVolumeMonitor *monitor)
    : m_monitor(monitor)
{
}

void FakeVolumeEjector::eject(const QString &mountPath, Done done)
{
    m_requests.append(mountPath);
    if (m_answer.isEmpty() && m_monitor) {
        m_monitor->unmount(mountPath);
    }
    if (done) {
        done(m_answer);
    }
}

} // namespace volumes
