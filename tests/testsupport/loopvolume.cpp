#include "loopvolume.h"

#include "platform/mountpoint.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The tools of each kind: format (label option), mount, label.
struct Tools
{
    QString mkfs;
    QString labelOption;
    QString mount;
    QString label;
};

Tools toolsOf(LoopVolume::Kind kind)
{
    switch (kind) {
    case LoopVolume::Kind::Ext4: return {u"mkfs.ext4"_s, u"-L"_s, u"mount"_s, u"e2label"_s};
    case LoopVolume::Kind::ExFat: return {u"mkfs.exfat"_s, u"-L"_s, u"mount.exfat-fuse"_s, u"exfatlabel"_s};
    case LoopVolume::Kind::Fat: return {u"mkfs.vfat"_s, u"-n"_s, u"fusefat"_s, u"fatlabel"_s};
    }
    return {};
}

} // namespace

LoopVolume::LoopVolume(Kind kind, const QString &label, int sizeMiB, bool readOnly)
    : m_kind(kind)
{
    // Without loop devices or losetup, the step that needs them says so.
    if (geteuid() != 0) {
        m_reason = u"needs root to mount loop devices"_s;
        return;
    }
    m_image = m_dir.filePath(u"volume.img"_s);
    QFile image(m_image);
    if (!m_dir.isValid() || !image.open(QIODevice::WriteOnly) || !image.resize(qint64(sizeMiB) * 1024 * 1024)) {
        m_reason = u"cannot make the image file"_s;
        return;
    }
    image.close();
    const Tools tools = toolsOf(kind);
    const QStringList quiet = kind == Kind::Ext4 ? QStringList{u"-q"_s, u"-F"_s} : QStringList();
    if (!run(tools.mkfs, quiet + QStringList{tools.labelOption, label, m_image})) {
        m_reason = u"cannot format the image: "_s + m_reason;
        return;
    }
    QString device;
    if (!run(u"losetup"_s, {u"--find"_s, u"--show"_s, m_image}, &device)) {
        m_reason = u"no free loop device: "_s + m_reason;
        return;
    }
    m_device = device.trimmed();
    mount(m_dir.filePath(u"mnt"_s), readOnly);
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
    // fusefat writes only when asked with "rw+".
    const QString options = readOnly ? u"ro"_s : m_kind == Kind::Fat ? u"rw+"_s : u"rw"_s;
    const QStringList type = m_kind == Kind::Ext4 ? QStringList{u"-t"_s, u"ext4"_s} : QStringList();
    m_mounted = run(toolsOf(m_kind).mount, type + QStringList{u"-o"_s, options, m_device, m_mountPath});
    if (!m_mounted) {
        m_reason = u"cannot mount the image: "_s + m_reason;
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
    // Tests running beside this one read every volume's free space: on FUSE
    // a statfs in flight makes the unmount busy for a moment.
    const bool fuse = m_kind != Kind::Ext4;
    for (int attempt = 0; attempt < 10 && m_mounted; ++attempt) {
        if (attempt > 0) {
            QThread::msleep(100);
        }
        m_mounted = !(fuse ? run(u"fusermount"_s, {u"-u"_s, m_mountPath}) : run(u"umount"_s, {m_mountPath}));
    }
    return !m_mounted;
}

bool LoopVolume::relabel(const QString &label)
{
    return run(toolsOf(m_kind).label, {m_device, label});
}

LoopVolume::~LoopVolume()
{
    if (!unmount()) {
        // A test left a file open: detach lazily so the next test starts clean.
        run(u"umount"_s, {u"-l"_s, m_mountPath});
    }
    if (!m_device.isEmpty()) {
        run(u"losetup"_s, {u"-d"_s, m_device});
    }
}

bool LoopVolume::run(const QString &program, const QStringList &args, QString *output)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        m_reason = program + u" did not finish"_s;
        process.kill();
        return false;
    }
    if (output) {
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_reason = program + u": "_s + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}
