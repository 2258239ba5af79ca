#include "platform/directoryreader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

QByteArrayView DirectoryListing::name(std::size_t index) const
{
    const Entry &entry = m_entries[index];
    return QByteArrayView(m_names.constData() + entry.offset, entry.length);
}

const char *DirectoryListing::cName(std::size_t index) const
{
    return m_names.constData() + m_entries[index].offset;
}

void DirectoryListing::sortByName()
{
    const char *base = m_names.constData();
    std::sort(m_entries.begin(), m_entries.end(), [base](const Entry &a, const Entry &b) {
        const int order = std::memcmp(base + a.offset, base + b.offset, std::min(a.length, b.length));
        return order != 0 ? order < 0 : a.length < b.length;
    });
}

void DirectoryListing::clear()
{
    m_names.clear();
    m_entries.clear();
}

void DirectoryListing::append(const char *name, std::size_t length)
{
    m_entries.push_back({std::uint32_t(m_names.size()), std::uint32_t(length)});
    m_names.append(name, qsizetype(length));
    m_names.append('\0');
}

DirectoryReader::DirectoryReader()
    : m_buffer(64 * 1024)
{
}

int DirectoryReader::read(int dirFd, DirectoryListing &out)
{
    out.clear();
    if (lseek(dirFd, 0, SEEK_SET) < 0) {
        return errno;
    }
    for (;;) {
        const long got = syscall(SYS_getdents64, dirFd, m_buffer.data(), m_buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        for (long offset = 0; offset < got;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(m_buffer.data() + offset);
            offset += entry->d_reclen;
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            out.append(name, std::strlen(name));
        }
    }
}

} // namespace platform
