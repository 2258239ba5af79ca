#pragma once

#include "platform/fileattributes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

/// What a restore's scan found to bring back: the folders involved, each on
/// the volume and locally, and the files and links to restore, in the order
/// of a depth-first walk.
struct RestorePlan
{
    /// A folder: where it is below the computer's folder on the volume, and
    /// below which local base folder it goes.
    struct Folder
    {
        QByteArray volumePath;
        std::uint32_t base;   // index into `bases`
        QByteArray localPath; // below that base
    };
    /// A file or link to restore.
    struct Entry
    {
        std::uint32_t folder;
        platform::FileType type;
        bool differs; // a local item of this name differs from the copy
        std::int64_t size;
        QByteArray name;
    };

    std::vector<QByteArray> bases; // absolute local folders
    std::vector<Folder> folders;
    std::vector<Entry> entries;
    std::uint64_t bytes = 0;

    /// The local path of `folder` (and of `name` in it), for the log.
    [[nodiscard]] QString localPathOf(const Folder &folder, const QByteArray &name = QByteArray()) const;

    /// "report (restored).odt" for "report.odt"; with `attempt` > 1,
    /// "report (restored 2).odt" and so on.
    [[nodiscard]] static QByteArray besideName(const QByteArray &name, int attempt = 1);
    /// Whether the local item `localName` in `localFd` (attributes `local`)
    /// equals the copy `name` (attributes `copy`) in `volumeFd`: the same
    /// link text, or the same size and times within 10 seconds.
    [[nodiscard]] static bool sameAsCopy(const platform::FileAttributes &copy, const platform::FileAttributes &local,
                                         int volumeFd, const char *name, int localFd, const char *localName);
    /// Whether an earlier restore put the copy beside its differing local
    /// counterpart already.
    [[nodiscard]] static bool alreadyBeside(const platform::FileAttributes &copy, int volumeFd, const char *name,
                                            int localFd);
    static constexpr int kBesideAttempts = 99;
};
