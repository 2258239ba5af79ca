#include "volumes/volumevalidator.h"

#include <QDir>
#include <QFileInfo>

namespace volumes {

namespace {

const QString notAVolume = QStringLiteral("The item is not a volume. Please try again with a volume.");
const QString notBrowsable = QStringLiteral(
    "The volume is not browsable, it can't be seen from the file manager. Please select a different volume.");
const QString notReadable = QStringLiteral(
    "You don't have permission to read from the volume. Please select a different volume.");
const QString notWritable = QStringLiteral(
    "You don't have permission to write to the volume. Either unlock this volume or select a different volume.");
const QString noIdentifier = QStringLiteral(
    "Unable to obtain the volume's identifier. Please select a different volume.");

} // namespace

VolumeValidation VolumeValidation::accepted(const volumes::MountedVolume &volume, const QString &itemName)
{
    VolumeValidation validation;
    validation.m_accepted = true;
    validation.m_volume = volume;
    validation.m_itemName = itemName;
    return validation;
}

VolumeValidation VolumeValidation::refused(const QString &errorMessage, const QString &itemName)
{
    VolumeValidation validation;
    validation.m_errorMessage = errorMessage;
    validation.m_itemName = itemName;
    return validation;
}

QString VolumeValidation::volumeName() const
{
    return m_volume.localizedName.isEmpty() ? QStringLiteral("Untitled") : m_volume.localizedName;
}

VolumeValidator::VolumeValidator(const volumes::VolumeTable &table)
    : m_table(table)
{
}

VolumeValidation VolumeValidator::validate(const QUrl &url) const
{
    if (!url.isLocalFile()) {
        return VolumeValidation::refused(
            QStringLiteral("The item \"%1\" is not on this computer's file system.").arg(url.toDisplayString()));
    }
    return validate(url.toLocalFile());
}

VolumeValidation VolumeValidator::validate(const QString &path) const
{
    const QString unreadable = m_table.unreadableReason(path);
    if (!unreadable.isEmpty()) {
        return VolumeValidation::refused(unreadable);
    }
    const std::optional<volumes::MountedVolume> volume = m_table.volumeAt(path);

    // Named before any check, so that every refusal names the item.
    QString itemName = QFileInfo(QDir::cleanPath(path)).fileName();
    if (itemName.isEmpty() && volume) {
        itemName = volume->localizedName;
    }
    if (itemName.isEmpty()) {
        itemName = QStringLiteral("Unknown name");
    }

    if (!volume) {
        return VolumeValidation::refused(notAVolume, itemName);
    }
    if (!volume->browsable) {
        return VolumeValidation::refused(notBrowsable, itemName);
    }
    if (!volume->readable) {
        return VolumeValidation::refused(notReadable, itemName);
    }
    if (!volume->writable) {
        return VolumeValidation::refused(notWritable, itemName);
    }
    if (volume->uuid.isEmpty()) {
        return VolumeValidation::refused(noIdentifier, itemName);
    }
    return VolumeValidation::accepted(*volume, itemName);
}

bool volumeCarriesUuid(const volumes::VolumeTable &table, const QString &path, const QString &uuid)
{
    if (uuid.isEmpty() || path.isEmpty()) {
        return false;
    }
    const auto volume = table.volumeAt(path);
    return volume && volume->uuid.compare(uuid, Qt::CaseInsensitive) == 0;
}

} // namespace volumes
