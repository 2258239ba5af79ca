#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace platform {

/// The names in one folder, as raw bytes, without "." and "..".
class DirectoryListing
{
public:
    [[nodiscard]] std::size_t size() const { return m_entries.size(); }
    [[nodiscard]] bool isEmpty() const { return m_entries.empty(); }
    [[nodiscard]] QByteArrayView name(std::size_t index) const;
    /// NUL-terminated, for the *at() calls.
    [[nodiscard]] const char *cName(std::size_t index) const;

    /// Byte-wise name order, so runs over the same tree see the same order.
    void sortByName();
    void clear();
    void append(const char *name, std::size_t length);

private:
    struct Entry
    {
        std::uint32_t offset;
        std::uint32_t length;
    };
    QByteArray m_names;
    std::vector<Entry> m_entries;
};

/// Reads a whole folder from an open descriptor with getdents64, reusing one
/// buffer across folders.
class DirectoryReader
{
public:
    DirectoryReader();
    /// Fills `out` with the names in `dirFd`. Returns 0 or an errno value.
    int read(int dirFd, DirectoryListing &out);

private:
    std::vector<char> m_buffer;
};

} // namespace platform
