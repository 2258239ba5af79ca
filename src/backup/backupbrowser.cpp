#include "backup/backupbrowser.h"

#include "platform/directoryops.h"
#include "platform/directoryreader.h"
#include "platform/fileattributes.h"
#include "platform/filecopier.h"
#include "platform/fileerror.h"
#include "platform/restorewriter.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>

namespace {

// The folder `relative` below the volume's root, reached without links.
platform::UniqueFd openBelowVolume(const QString &volumePath, const QByteArray &relative, int &error)
{
    platform::OpenResult root = platform::openMountRoot(QFile::encodeName(volumePath));
    if (!root.fd) {
        error = root.error;
        return platform::UniqueFd();
    }
    return platform::RestoreWriter().openVolumeFolder(root.fd.get(), relative, error);
}

bool isFolderName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/');
}

} // namespace

BackupBrowser::BackupBrowser(QString volumePath)
    : m_volumePath(std::move(volumePath))
{
}

QStringList BackupBrowser::computers() const
{
    int error = 0;
    const platform::UniqueFd folder = openBelowVolume(m_volumePath, "Vellory", error);
    platform::DirectoryListing listing;
    if (!folder || platform::DirectoryReader().read(folder.get(), listing) != 0) {
        return {};
    }
    QStringList names;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        platform::FileAttributes attributes;
        if (platform::attributesAt(folder.get(), listing.cName(i), attributes) == 0 && attributes.isDirectory()) {
            names << QFile::decodeName(listing.name(i).toByteArray());
        }
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

QList<BackupBrowser::Item> BackupBrowser::items(const QString &computer, const QString &folderPath,
                                                QString *error) const
{
    const QString clean = QDir::cleanPath(folderPath);
    if (!isFolderName(computer) || !clean.startsWith(u'/')) {
        if (error) {
            *error = QStringLiteral("no such file or folder");
        }
        return {};
    }
    int failure = 0;
    const platform::UniqueFd folder
        = openBelowVolume(m_volumePath, "Vellory/" + QFile::encodeName(computer) + QFile::encodeName(clean), failure);
    platform::DirectoryListing listing;
    if (folder) {
        failure = platform::DirectoryReader().read(folder.get(), listing);
    }
    if (!folder || failure != 0) {
        if (error) {
            *error = platform::describeFileError(failure);
        }
        return {};
    }
    QList<Item> items;
    const QString prefix = clean.endsWith(u'/') ? clean : clean + u'/';
    for (std::size_t i = 0; i < listing.size(); ++i) {
        platform::FileAttributes attributes;
        if (platform::FileCopier::isTemporaryName(listing.name(i))
            || platform::attributesAt(folder.get(), listing.cName(i), attributes) != 0) {
            continue;
        }
        Item item;
        item.name = QFile::decodeName(listing.name(i).toByteArray());
        item.path = prefix + item.name;
        item.isFolder = attributes.isDirectory();
        item.isLink = attributes.type == platform::FileType::Symlink;
        item.size = attributes.size;
        item.modified = QDateTime::fromMSecsSinceEpoch(attributes.mtimeSeconds * 1000
                                                       + attributes.mtimeNanoseconds / 1000000);
        items << item;
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        if (a.isFolder != b.isFolder) {
            return a.isFolder;
        }
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return items;
}

bool BackupBrowser::contains(const QString &computer, const QString &path) const
{
    const QString clean = QDir::cleanPath(path);
    if (!isFolderName(computer) || !clean.startsWith(u'/')) {
        return false;
    }
    const QByteArray native = QFile::encodeName(clean);
    const qsizetype slash = native.lastIndexOf('/');
    int error = 0;
    const platform::UniqueFd folder
        = openBelowVolume(m_volumePath, "Vellory/" + QFile::encodeName(computer) + native.left(slash), error);
    platform::FileAttributes attributes;
    return folder && (slash + 1 == native.size() || platform::attributesAt(folder.get(), native.constData() + slash + 1, attributes) == 0);
}
