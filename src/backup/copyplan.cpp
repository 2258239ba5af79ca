#include "backup/copyplan.h"

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
    m_entries.push_back(Entry{folder, std::uint32_t(m_names.size()), std::uint32_t(name.size()), reason, type, size});
    m_names.append(name);
    m_names.append('\0');
    m_bytesToCopy += size > 0 ? std::uint64_t(size) : 0;
}

QByteArrayView CopyPlan::name(std::size_t index) const
{
    const Entry &e = m_entries[index];
    return QByteArrayView(m_names.constData() + e.nameOffset, e.nameLength);
}

const char *CopyPlan::cName(std::size_t index) const
{
    return m_names.constData() + m_entries[index].nameOffset;
}

CopyFileType CopyPlan::describe(std::size_t index, const QByteArray &volumePath) const
{
    const Entry &e = m_entries[index];
    const Folder &f = m_folders[e.folder];
    return CopyFileType{joinPath(f.sourcePath, name(index)), joinPath(joinPath(volumePath, f.targetPath), name(index)),
                        e.reason};
}
