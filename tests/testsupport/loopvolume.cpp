#include "loopvolume.h"

#include "platform/mountpoint.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

bool LoopVolume::available(QString *reason)
{
    QString why;
    if (geteuid() != 0) {
        why = QStringLiteral("needs root to mount loop devices");
    } else if (!QFile::exists(QStringLiteral("/dev/loop-control"))) {
        why = QStringLiteral("no loop devices on this machine");
    } else if (QStandardPaths::findExecutable(QStringLiteral("losetup")).isEmpty()) {
        why = QStringLiteral("losetup is not installed");
    }
    if (reason) {
        *reason = why;
    }
    return why.isEmpty();
}

LoopVolume::LoopVolume(Kind kind, const QString &label, int sizeMiB, bool readOnly)
    : m_kind(kind)
{
    if (!available(&m_reason)) {
        return;
    }
    m_image = m_dir.filePath(QStringLiteral("volume.img"));
    {
        QFile image(m_image);
        if (!m_dir.isValid() || !image.open(QIODevice::WriteOnly) || !image.resize(qint64(sizeMiB) * 1024 * 1024)) {
            m_reason = QStringLiteral("cannot make the image file");
            return;
        }
    }
    bool made = false;
    switch (kind) {
    case Kind::Ext4:
        made = run(QStringLiteral("mkfs.ext4"), {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"), label, m_image});
        break;
    case Kind::ExFat:
        made = run(QStringLiteral("mkfs.exfat"), {QStringLiteral("-L"), label, m_image});
        break;
    case Kind::Fat:
        made = run(QStringLiteral("mkfs.vfat"), {QStringLiteral("-n"), label, m_image});
        break;
    }
    if (!made) {
        m_reason = QStringLiteral("cannot format the image: ") + m_reason;
        return;
    }
    QString device;
    if (!run(QStringLiteral("losetup"), {QStringLiteral("--find"), QStringLiteral("--show"), m_image}, &device)) {
        m_reason = QStringLiteral("no free loop device: ") + m_reason;
        return;
    }
    m_device = device.trimmed();
    mount(m_dir.filePath(QStringLiteral("mnt")), readOnly);
}

bool LoopVolume::mount(const QString &mountPath, bool readOnly)
{
    if (m_device.isEmpty() || m_mounted) {
        return false;
    }
    if (!mountPath.isEmpty()) {
        m_mountPath = mountPath;
    }
    QDir().mkpath(m_mountPath);
    const QString options = readOnly ? QStringLiteral("ro") : QStringLiteral("rw");
    switch (m_kind) {
    case Kind::Ext4:
        m_mounted = run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("ext4"), QStringLiteral("-o"), options, m_device, m_mountPath});
        break;
    case Kind::ExFat:
        m_mounted = run(QStringLiteral("mount.exfat-fuse"), {QStringLiteral("-o"), options, m_device, m_mountPath});
        break;
    case Kind::Fat:
        m_mounted = run(QStringLiteral("fusefat"), {QStringLiteral("-o"), readOnly ? QStringLiteral("ro") : QStringLiteral("rw+"), m_device, m_mountPath});
        break;
    }
    if (!m_mounted) {
        m_reason = QStringLiteral("cannot mount the image: ") + m_reason;
    }
    return m_mounted;
}

bool LoopVolume::unmount()
{
    // Not mounted any more when the test ejected it.
    if (!m_mounted || !platform::isMountPoint(m_mountPath)) {
        m_mounted = false;
        return true;
    }
    // Tests running beside this one read every volume's free space; on a
    // FUSE mount such a statfs in flight makes the unmount busy for a moment,
    // so a refused unmount is tried again briefly.
    const bool fuse = m_kind != Kind::Ext4;
    for (int attempt = 0; attempt < 10 && m_mounted; ++attempt) {
        if (attempt > 0) {
            QThread::msleep(100);
        }
        m_mounted = !(fuse ? run(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_mountPath})
                           : run(QStringLiteral("umount"), {m_mountPath}));
    }
    return !m_mounted;
}

bool LoopVolume::relabel(const QString &label)
{
    switch (m_kind) {
    case Kind::Ext4:
        return run(QStringLiteral("e2label"), {m_device, label});
    case Kind::ExFat:
        return run(QStringLiteral("exfatlabel"), {m_device, label});
    case Kind::Fat:
        return run(QStringLiteral("fatlabel"), {m_device, label});
    }
    return false;
}

LoopVolume::~LoopVolume()
{
    if (!unmount()) {
        // A test left a file open: detach lazily so the next test starts clean.
        run(QStringLiteral("umount"), {QStringLiteral("-l"), m_mountPath});
    }
    if (!m_device.isEmpty()) {
        run(QStringLiteral("losetup"), {QStringLiteral("-d"), m_device});
    }
}

bool LoopVolume::run(const QString &program, const QStringList &args, QString *output)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        m_reason = program + QStringLiteral(" did not finish");
        process.kill();
        return false;
    }
    if (output) {
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_reason = program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}
