#include "hangingshare.h"

#include "platform/mountpoint.h"
#include "systemcommands.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <unistd.h>

HangingShare::HangingShare(Source source)
{
    if (geteuid() != 0 || !QFile::exists(QStringLiteral("/dev/fuse"))) {
        m_reason = QStringLiteral("needs root and /dev/fuse");
        return;
    }
    m_mountPath = m_dir.filePath(QStringLiteral("share"));
    m_releaseFile = m_dir.filePath(QStringLiteral("released"));
    QDir().mkpath(m_mountPath);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments{m_releaseFile, m_mountPath};
    if (source == Source::SourceInside) {
        arguments.append(hangingFolder());
    }
    m_process.start(QStringLiteral(VELLORY_HANGFS), arguments);
    if (!m_process.waitForStarted(5000)) {
        m_reason = QStringLiteral("hangfs did not start: ") + m_process.errorString();
        return;
    }
    const QDeadlineTimer deadline(10000);
    while (!platform::isMountPoint(m_mountPath)) {
        if (deadline.hasExpired() || m_process.waitForFinished(10)) {
            m_reason = QStringLiteral("hangfs did not mount");
            return;
        }
    }
    m_mounted = true;
}

HangingShare::~HangingShare()
{
    release();
    if (m_process.state() != QProcess::NotRunning) {
        // Lazily, as a reader may still be on its way out.
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_mountPath});
        stopProcess(m_process);
    }
}

void HangingShare::release()
{
    if (m_releaseFile.isEmpty()) {
        return;
    }
    QFile file(m_releaseFile);
    file.open(QIODevice::WriteOnly);
}
