#pragma once

#include "skipwithout.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A mounted share that stops answering: statfs and a look at its folder
// "hang" block until release(). The destructor releases, unmounts and ends
// it, so no hung mount outlives a test. Needs root and /dev/fuse.
class HangingShare
{
public:
    /// Its source names a share; SourceInside: the path of its own folder
    /// "hang", so that even a look at the source blocks.
    enum class Source { Share, SourceInside };
    explicit HangingShare(Source source = Source::Share);
    ~HangingShare();
    HangingShare(const HangingShare &) = delete;
    HangingShare &operator=(const HangingShare &) = delete;

    [[nodiscard]] bool isMounted() const { return m_mounted; }
    [[nodiscard]] QString skipReason() const { return m_reason; }
    [[nodiscard]] QString mountPath() const { return m_mountPath; }
    /// The folder whose look-up blocks.
    [[nodiscard]] QString hangingFolder() const { return m_mountPath + QStringLiteral("/hang"); }

    /// Lets every blocked and later request through.
    void release();

private:
    QTemporaryDir m_dir;
    QString m_mountPath;
    QString m_releaseFile;
    QProcess m_process;
    QString m_reason;
    bool m_mounted = false;
};
