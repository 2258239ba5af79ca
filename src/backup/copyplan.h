#pragma once

#include "platform/fileattributes.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

/// Why a file is copied.
enum class CopyFileReason : std::uint8_t {
    doesNotExist, // no readable copy on the volume
    sizeModified,
    dateModified, // the source is more than 10 seconds newer
    none,         // unchanged; never planned
};

/// One plan entry spelled out: the source file, its copy on the volume, why.
struct CopyFileType
{
    QByteArray source;
    QByteArray target;
    CopyFileReason reason = CopyFileReason::none;
};

/// The files a run will copy, in the order the scan found them. Compact so
/// that a plan of a million files stays small: an entry takes 16 bytes,
/// refers to its folder by index and keeps its NUL-terminated name in blocks
/// of names. Entries and names grow in chunks, never by copying what is
/// already there, so the peak is the size itself.
class CopyPlan
{
public:
    struct Folder
    {
        QByteArray sourcePath; // absolute path of the folder on the computer
        QByteArray targetPath; // its copy, relative to the volume's root
    };

    struct Entry
    {
        std::uint32_t folder;
        std::uint32_t nameOffset;
        std::uint32_t sizeLow;
        std::uint16_t sizeHigh; // sizes are kept to 48 bits (256 TiB), larger ones saturate
        CopyFileReason reason;
        platform::FileType type;

        [[nodiscard]] std::int64_t size() const { return std::int64_t(sizeLow) | (std::int64_t(sizeHigh) << 32); }
    };

    std::uint32_t addFolder(QByteArray sourcePath, QByteArray targetPath);
    void add(std::uint32_t folder, QByteArrayView name, CopyFileReason reason, platform::FileType type,
             std::int64_t size);

    [[nodiscard]] std::size_t size() const { return m_entries.size(); }
    [[nodiscard]] bool isEmpty() const { return m_entries.empty(); }
    [[nodiscard]] const Entry &entry(std::size_t index) const { return m_entries[index]; }
    [[nodiscard]] const Folder &folder(std::uint32_t index) const { return m_folders[index]; }
    [[nodiscard]] std::size_t folderCount() const { return m_folders.size(); }
    [[nodiscard]] QByteArrayView name(std::size_t index) const;
    /// NUL-terminated name, for the *at() calls.
    [[nodiscard]] const char *cName(std::size_t index) const;
    /// Sum of the planned files' sizes.
    [[nodiscard]] std::uint64_t bytesToCopy() const { return m_bytesToCopy; }

    /// The entry with full paths; `volumePath` is where the volume is mounted.
    [[nodiscard]] CopyFileType describe(std::size_t index, const QByteArray &volumePath) const;

private:
    static constexpr std::uint32_t kNameBlock = 1 << 16;

    std::vector<Folder> m_folders;
    std::deque<Entry> m_entries;
    std::vector<std::unique_ptr<char[]>> m_nameBlocks;
    std::uint32_t m_nameBlockUsed = kNameBlock; // bytes used in the last block
    std::uint64_t m_bytesToCopy = 0;
};

/// `folder` + "/" + `name`, minding the root folder "/".
[[nodiscard]] QByteArray joinPath(const QByteArray &folder, QByteArrayView name);
