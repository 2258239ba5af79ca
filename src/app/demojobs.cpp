#include "app/demojobs.h"

#include "backup/backupcontroller.h"
#include "backup/backupthreadlistmodel.h"

namespace {

constexpr int kStepMs = 120;
constexpr int kScanSteps = 8;
constexpr float kStopAt = 0.62f;

const QStringList kDemoFiles = {
    QStringLiteral("IMG_0412.jpg"), QStringLiteral("IMG_0413.jpg"), QStringLiteral("Budget 2024.ods"),
    QStringLiteral("Thesis draft.odt"), QStringLiteral("IMG_0414.jpg"), QStringLiteral("notes.md"),
};

} // namespace

DemoJobs::DemoJobs(BackupController &controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
{
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, &DemoJobs::step);
}

void DemoJobs::start()
{
    // The destination's state (and its icon, which the jobs show) is read in
    // the background; a job started before it arrives has no icon.
    m_controller.waitForVolumeReadings();
    m_controller.startBackup();
    m_finished = m_controller.threads()->jobAt(0).get();
    if (m_finished) {
        connect(m_finished, &BackupThread::runFinished, this, &DemoJobs::settled);
    }

    m_running = BackupThread::create(m_controller.script(), m_controller.volumeIcon());
    m_controller.threads()->prepend(m_running);
    m_running->setStatus(BackupThreadStatusValue::scanning);
    for (const QString &source : m_controller.script().sourcePaths) {
        m_running->appendLog(QStringLiteral("Scanning ") + source + QStringLiteral("..."));
    }
    m_timer.start();
}

void DemoJobs::step()
{
    ++m_step;
    if (m_step < kScanSteps) {
        return;
    }
    if (m_step == kScanSteps) {
        m_running->setProgressMessage(QStringLiteral("Items checked 1,284, 212 to copy, requires 1.9 GB"));
        m_running->appendLog(QStringLiteral("Items checked 1,284, 212 to copy, requires 1.9 GB"));
        m_running->setStatus(BackupThreadStatusValue::backingUp);
        m_running->appendLog(QStringLiteral("Backing up 212 items."));
        return;
    }
    const float value = std::min(kStopAt, float(m_step - kScanSteps) / 40.0f);
    const QString file = kDemoFiles.at(m_step % kDemoFiles.size());
    m_running->setProgressValue(value);
    m_running->setProgressMessage(QStringLiteral("Backing up \"%1\"...").arg(file));
    if (value >= kStopAt) {
        m_timer.stop();
    }
}
