#include "backup/copyplan.h"

#include <algorithm>
#include <cstring>

QByteArray joinPath(const QByteArray &folder, QByteArrayView name)
{
    QByteArray path;
    path.reserve(folder.size() + name.size() + 1);
    path.append(folder);
    if (!path.endsWith('/')) {
        path.append('/');
    }
    path.append(name);
    return path;
}

std::uint32_t CopyPlan::addFolder(QByteArray sourcePath, QByteArray targetPath)
{
    m_folders.push_back(Folder{std::move(sourcePath), std::move(targetPath)});
    return std::uint32_t(m_folders.size() - 1);
}

void CopyPlan::add(std::uint32_t folder, QByteArrayView name, CopyFileReason reason, platform::FileType type,
                   std::int64_t size)
{
    // A name never straddles two blocks (names are at most 255 bytes).
    const std::size_t length = std::size_t(name.size());
    if (m_nameBlocks.empty() || m_nameBlockUsed + length + 1 > kNameBlock) {
        m_nameBlocks.push_back(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(kNameBlock, length + 1)));
        m_nameBlockUsed = 0;
    }
    char *at = m_nameBlocks.back().get() + m_nameBlockUsed;
    std::memcpy(at, name.data(), length);
    at[length] = '\0';
    const std::uint32_t offset = std::uint32_t((m_nameBlocks.size() - 1) * kNameBlock + m_nameBlockUsed);
    m_nameBlockUsed += std::uint32_t(length + 1);
    const std::uint64_t kept = std::min<std::uint64_t>(size > 0 ? std::uint64_t(size) : 0, (std::uint64_t(1) << 48) - 1);
    m_entries.push_back(
        Entry{folder, offset, std::uint32_t(kept), std::uint16_t(kept >> 32), reason, type});
    m_bytesToCopy += size > 0 ? std::uint64_t(size) : 0;
}

QByteArrayView CopyPlan::name(std::size_t index) const
{
    return QByteArrayView(cName(index));
}

const char *CopyPlan::cName(std::size_t index) const
{
    const std::uint32_t offset = m_entries[index].nameOffset;
    return m_nameBlocks[offset / kNameBlock].get() + offset % kNameBlock;
}

CopyFileType CopyPlan::describe(std::size_t index, const QByteArray &volumePath) const
{
    const Entry &e = m_entries[index];
    const Folder &f = m_folders[e.folder];
    return CopyFileType{joinPath(f.sourcePath, name(index)), joinPath(joinPath(volumePath, f.targetPath), name(index)),
                        e.reason};
}
