#pragma once

#include "skipwithout.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A mounted share that stops answering: statfs and a look at the folder
// "hang" below mountPath() block until release() (or the end of the
// fixture). The destructor always releases, unmounts and ends the file
// system, so no hung mount outlives a test, failed or not. Needs root and
// /dev/fuse; skipReason() says why not.
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
