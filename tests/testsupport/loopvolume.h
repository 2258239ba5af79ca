#pragma once

#include "skipwithout.h"

#include <QString>
#include <QTemporaryDir>

// A real, small file system on a loop device, mounted for one test and torn
// down with it. Needs root and loop devices; SKIP_WITHOUT(volume) skips the
// test with the reason otherwise.
class LoopVolume
{
public:
    enum class Kind {
        Ext4,   // kernel ext4
        ExFat,  // exfat-fuse on the loop device (source = the loop device)
        Fat,    // fusefat: 2-second times, 4 GiB file limit
    };

    LoopVolume(Kind kind, const QString &label, int sizeMiB = 64, bool readOnly = false);
    ~LoopVolume();
    LoopVolume(const LoopVolume &) = delete;
    LoopVolume &operator=(const LoopVolume &) = delete;

    [[nodiscard]] bool isMounted() const { return m_mounted; }
    [[nodiscard]] QString skipReason() const { return m_reason; }
    [[nodiscard]] QString mountPath() const { return m_mountPath; }
    [[nodiscard]] QString device() const { return m_device; }
    /// The image file behind the loop device.
    [[nodiscard]] QString image() const { return m_image; }

    /// Unmounts (keeping the image and loop device); true on success or when gone already.
    bool unmount();
    /// Mounts again, at the same path or another one; true on success.
    bool mount(const QString &mountPath = QString(), bool readOnly = false);
    /// Changes the file system's label (ext4: e2label, exFAT: exfatlabel).
    bool relabel(const QString &label);

private:
    bool run(const QString &program, const QStringList &args, QString *output = nullptr);

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_image;
    QString m_device;
    QString m_mountPath;
    QString m_reason;
    bool m_mounted = false;
};
