#include "backup/backupcontroller.h"

#include "backup/displayformat.h"
#include "backup/verifyrun.h"
#include "volumes/volumereader.h"
#include "platform/computername.h"
#include "volumes/volumeejector.h"
#include "volumes/volumemonitor.h"
#include "volumes/volumetable.h"
#include "volumes/volumevalidator.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const QString kNoVolumeSelected = QStringLiteral("No volume selected");
const QString kNotConnected = QStringLiteral("Not connected");
const QString kVolumeImagePrefix = QStringLiteral("volume/");
const QString kFileImagePrefix = QStringLiteral("file/");
// How often the connected destination's free space is read again: other
// programs write to it too.
constexpr int kSpaceRefreshMs = 10'000;

QString capacityLabel(quint64 bytes)
{
    return displayformat::byteCount(bytes) + QStringLiteral(" Capacity");
}

QString availableLabel(quint64 bytes)
{
    return displayformat::byteCount(bytes) + QStringLiteral(" Available");
}

/// The used share of a volume, within 0...1: a volume reformatted larger
/// than the capacity recorded for it would otherwise give a negative share,
/// and an unknown (zero) capacity none at all.
float usedFraction(quint64 capacity, std::int64_t available)
{
    if (capacity == 0) {
        return 0.0f;
    }
    const float fraction = (float(capacity) - float(available)) / float(capacity);
    return std::clamp(fraction, 0.0f, 1.0f);
}

bool sameUuid(const QString &a, const QString &b)
{
    return !b.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

/// The destination as the table shows it now, looked into for its free
/// space; nothing when it is not mounted or does not answer. Runs on a
/// reading thread: the table's looks wait on the file systems.
std::optional<volumes::MountedVolume> readDestination(const volumes::VolumeTable &table, const QString &uuid,
                                                       const QString &recordedPath)
{
    std::optional<volumes::MountedVolume> found;
    // Only the destination is looked into; the other volumes are known by
    // their identity alone.
    for (const volumes::MountedVolume &volume : table.volumeIdentities()) {
        if (!sameUuid(volume.uuid, uuid)) {
            continue;
        }
        // Gone since, or not answering: left out of this reading.
        const std::optional<volumes::MountedVolume> detailed = table.volumeAt(volume.mountPath);
        if (detailed && sameUuid(detailed->uuid, uuid)) {
            found = detailed;
        }
    }
    if (!found && !recordedPath.isEmpty()) {
        // Where it was last seen (the monitor may just have told so): a
        // reading that raced with another mount elsewhere may have missed it.
        const std::optional<volumes::MountedVolume> there = table.volumeAt(recordedPath);
        if (there && sameUuid(there->uuid, uuid)) {
            found = there;
        }
    }
    return found;
}

} // namespace

BackupController::BackupController(BackupControllerServices services, QObject *parent)
    : QObject(parent)
    , m_store(std::move(services.store))
    , m_volumeTable(*services.volumeTable)
    , m_volumeMonitor(*services.volumeMonitor)
    , m_volumeEjector(*services.volumeEjector)
    , m_iconSource(services.iconSource ? std::move(services.iconSource) : std::make_shared<ThemeIconSource>())
    , m_outputLine(services.outputLine ? std::move(services.outputLine) : ScriptStore::printLine)
    , m_clock(services.clock ? std::move(services.clock) : [] { return QDateTime::currentDateTime(); })
    , m_settings(services.settings ? std::move(services.settings) : std::make_shared<platform::Settings>())
    , m_threads(new BackupThreadListModel(this))
    , m_volumeReader(new volumes::VolumeReader(this))
    , m_spaceRefresh(new QTimer(this))
{
    connect(m_volumeReader, &volumes::VolumeReader::settled, this, [this] {
        if (std::exchange(m_monitorReadyPending, false)) {
            volumeMonitorReady();
        }
        if (!isReadingVolumes()) {
            emit volumeReadingsSettled();
        }
    });
    m_spaceRefresh->setInterval(kSpaceRefreshMs);
    connect(m_spaceRefresh, &QTimer::timeout, this, [this] {
        if (!isReadingVolumes()) {
            updateVolumeStatus();
        }
    });
    m_script = m_store.load();
    m_stored = m_script;
    registerVolumeNotifications();
    makeMissingVolumeIcon();
    updateVolumeStatus();
}

BackupController::~BackupController()
{
    m_volumeMonitor.disconnect(this);
}

QString BackupController::volumeIconSource() const
{
    return QStringLiteral("image://vellory/") + kVolumeImagePrefix + QString::number(m_volumeIconSerial);
}

QUrl BackupController::scriptFileURL() const
{
    return m_store.fileUrl();
}

bool BackupController::scriptSave()
{
    // The store is small; reading it first costs little and keeps another
    // program's changes that arrived since the last read.
    if (const BackupScriptDecoding stored = m_store.read(); stored.script && *stored.script != m_stored) {
        setScript(mergeBackupScripts(m_stored, m_script, *stored.script));
    }
    m_lastSaveSucceeded = m_store.save(m_script);
    if (!m_lastSaveSucceeded) {
        return false;
    }
    m_stored = m_script;
    return true;
}

void BackupController::reloadScript()
{
    const BackupScriptDecoding stored = m_store.read();
    if (!stored.script || *stored.script == m_stored) {
        return;
    }
    const BackupScript merged = mergeBackupScripts(m_stored, m_script, *stored.script);
    m_stored = *stored.script;
    setScript(merged);
    if (merged != m_stored) {
        scriptSave();
    }
    updateVolumeStatus();
}

void BackupController::registerVolumeNotifications()
{
    // The monitor lives on this (main) thread, so events arrive here one at a
    // time, in order, between the controller's other operations.
    connect(&m_volumeMonitor, &volumes::VolumeMonitor::volumeMounted, this, &BackupController::volumeDidMount);
    connect(&m_volumeMonitor, &volumes::VolumeMonitor::volumeUnmounted, this, &BackupController::volumeDidUnmount);
    connect(&m_volumeMonitor, &volumes::VolumeMonitor::volumeRenamed, this, &BackupController::volumeDidRename);
    connect(&m_volumeMonitor, &volumes::VolumeMonitor::ready, this, &BackupController::volumeMonitorReady);
}

void BackupController::volumeMonitorReady()
{
    // The monitor reports changes from its first reading on, which is newer
    // than the controller's own: a destination mounted, or moved to another
    // folder, between the two is announced by nobody else. So the table is
    // read again; once the reading on its way is applied, so that what that
    // one finds tells whether the destination is new.
    if (isReadingVolumes()) {
        m_monitorReadyPending = true;
        return;
    }
    m_announceArrival = m_volumeStatus == VolumeStatusValue::NotConnected;
    updateVolumeStatus();
}

void BackupController::destinationMounted(const volumes::MountedVolume &volume)
{
    printLine(QStringLiteral("We received the mount notification"));
    // The monitor's word is enough to show it and to back up to where it
    // is now; its free space follows with the reading.
    showDestination(volume);
    updateVolumeStatus();
    startAutomaticBackup();
}

void BackupController::startAutomaticBackup()
{
    if (m_settings->autoBackupOnConnect()) {
        startBackup();
        if (const std::shared_ptr<BackupThread> job = m_threads->jobAt(0)) {
            emit automaticBackupStarted(job.get());
        }
    }
}

void BackupController::makeMissingVolumeIcon()
{
    m_missingVolumeIcon = m_iconSource->missingVolumeIcon();
}

void BackupController::updateVolumeStatus()
{
    if (m_script.volumeUUID.isEmpty()) {
        m_announceArrival = false;
        setVolumeStatus(VolumeStatusValue::NotSpecified);
        setVolumeIcon(m_missingVolumeIcon);
        setVolumeLabelCapacity(kNoVolumeSelected);
        setVolumeLabelAvailable(kNoVolumeSelected);
        return;
    }
    const volumes::VolumeTable *table = &m_volumeTable;
    const QString uuid = m_script.volumeUUID;
    const QString path = m_script.volumePath;
    m_volumeReader->request([this, table, uuid, path]() -> volumes::VolumeReader::Publish {
        const std::optional<volumes::MountedVolume> found = readDestination(*table, uuid, path);
        return [this, uuid, found] { applyVolumeStatus(uuid, found); };
    });
}

bool BackupController::isReadingVolumes() const
{
    return m_volumeReader->isBusy();
}

void BackupController::waitForVolumeReadings()
{
    if (!isReadingVolumes()) {
        return;
    }
    QEventLoop loop;
    connect(this, &BackupController::volumeReadingsSettled, &loop, &QEventLoop::quit);
    loop.exec();
}

void BackupController::applyVolumeStatus(const QString &uuid, const std::optional<volumes::MountedVolume> &found)
{
    if (!isDestinationUuid(uuid)) {
        return; // read for a destination since replaced or removed
    }
    ++m_placings;
    const bool arrived = m_announceArrival && found && m_volumeStatus == VolumeStatusValue::NotConnected;
    m_announceArrival = false;
    // The capacity shown is the one recorded when the volume was chosen;
    // only the free space is current.
    QString available = kNotConnected;
    float usage = 0.0f;
    if (found) {
        showDestination(*found);
        if (found->availableBytes) {
            usage = usedFraction(m_script.volumeCapacity, *found->availableBytes);
            available = availableLabel(quint64(std::max<std::int64_t>(*found->availableBytes, 0)));
        }
    } else {
        setVolumeStatus(VolumeStatusValue::NotConnected);
        setVolumeIcon(m_missingVolumeIcon);
    }
    setVolumeLabelCapacity(capacityLabel(m_script.volumeCapacity));
    setVolumeLabelAvailable(available);
    setVolumeUsage(usage);
    if (arrived) {
        // Mounted between the controller's first reading and the monitor's.
        printLine(QStringLiteral("We received the mount notification"));
        startAutomaticBackup();
    }
}

void BackupController::showDestination(const volumes::MountedVolume &volume)
{
    ++m_placings;
    setVolumeStatus(VolumeStatusValue::Connected);
    const IconDescription icon = m_iconSource->volumeIcon(volume);
    setVolumeIcon(icon.isNull() ? m_missingVolumeIcon : icon);
    BackupScript script = m_script;
    if (!volume.localizedName.isEmpty()) {
        script.volumeName = volume.localizedName;
    }
    script.volumePath = volume.mountPath;
    if (script != m_script) {
        setScript(script);
        scriptSave();
    }
}

void BackupController::addSourcePath(const QString &path)
{
    addSourcePaths({path});
}

void BackupController::addSourcePaths(const QStringList &paths)
{
    if (paths.isEmpty()) {
        return;
    }
    // Each added path goes to the end, leaving its earlier place; in one
    // pass over the old and the new list rather than one per path.
    QHash<QString, qsizetype> lastAdded;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        lastAdded.insert(paths.at(i), i);
    }
    BackupScript script = m_script;
    QStringList kept;
    kept.reserve(script.sourcePaths.size() + paths.size());
    for (const QString &path : std::as_const(script.sourcePaths)) {
        if (!lastAdded.contains(path)) {
            kept.append(path);
        }
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (lastAdded.value(paths.at(i)) == i) {
            kept.append(paths.at(i));
        }
    }
    script.sourcePaths = kept;
    setScript(script);
    scriptSave();
}

void BackupController::removeSourcePath(const QString &path)
{
    BackupScript script = m_script;
    script.sourcePaths.removeAll(path);
    setScript(script);
    scriptSave();
}

IconDescription BackupController::icon(const QString &path)
{
    if (const auto cached = m_iconCache.constFind(path); cached != m_iconCache.constEnd()) {
        return *cached;
    }
    const IconDescription image = m_iconSource->fileIcon(path);
    if (!image.isNull()) {
        m_iconCache.insert(path, image);
        return image;
    }
    return m_iconSource->unknownItemIcon();
}

QString BackupController::iconSourceForPath(const QString &path) const
{
    return QStringLiteral("image://vellory/") + kFileImagePrefix
        + QString::fromLatin1(QUrl::toPercentEncoding(path));
}

IconDescription BackupController::iconForId(const QString &id)
{
    if (id.startsWith(kVolumeImagePrefix)) {
        // Any serial gives the current icon; the serial only makes views reload.
        return m_volumeIcon;
    }
    if (id.startsWith(kFileImagePrefix)) {
        return icon(QUrl::fromPercentEncoding(id.mid(kFileImagePrefix.size()).toUtf8()));
    }
    return IconDescription();
}

void BackupController::startBackup()
{
    m_showWindow = !m_showWindow;
    emit showWindowChanged();

    // The job gets the set as it is now, before the new lastBackup.
    std::shared_ptr<BackupThread> job = BackupThread::create(m_script, m_volumeIcon);
    m_threads->prepend(job);
    // What the job wrote shows in "Available" as soon as it ends.
    connect(job.get(), &BackupThread::runFinished, this, &BackupController::updateVolumeStatus);
    job->setStatus(BackupThreadStatusValue::scanning);
    job->start();

    BackupScript script = m_script;
    script.lastBackup = QLocale().toString(m_clock(), QLocale::ShortFormat);
    setScript(script);
    scriptSave();
    // The reminder needs the time a backup last went through, as a value a
    // program can compare; lastBackup is display text stamped at the start.
    connect(job.get(), &BackupThread::runFinished, this, [this, ran = job.get()] {
        if (ran->status() == BackupThreadStatusValue::completed) {
            m_settings->setLastCompletedBackup(m_clock());
        }
    });
    emit backupStarted(job.get());
}

void BackupController::startVerify()
{
    startJob(VerifyRun::jobKind(m_script.volumeName));
}

void BackupController::cancelOrClose(BackupThread *job)
{
    if (!job) {
        return;
    }
    if (job->isRunning()) {
        job->setStatus(BackupThreadStatusValue::cancelled);
        return;
    }
    m_threads->removeJob(job->id());
    if (m_threads->count() == 0) {
        emit lastJobClosed();
    }
}

std::shared_ptr<BackupThread> BackupController::startJob(JobKind kind)
{
    m_showWindow = !m_showWindow;
    emit showWindowChanged();
    std::shared_ptr<BackupThread> job = BackupThread::create(m_script, m_volumeIcon, std::move(kind));
    m_threads->prepend(job);
    // What the job wrote shows in "Available" as soon as it ends.
    connect(job.get(), &BackupThread::runFinished, this, &BackupController::updateVolumeStatus);
    job->setStatus(BackupThreadStatusValue::scanning);
    job->start();
    return job;
}

bool BackupController::validateVolume(const QUrl &url, QString &errorMessage, QString &itemName)
{
    return acceptVolume(volumes::VolumeValidator(m_volumeTable).validate(url), errorMessage, itemName);
}

bool BackupController::acceptVolume(const volumes::VolumeValidation &validation, QString &errorMessage,
                                    QString &itemName)
{
    if (validation.hasItemName()) {
        itemName = validation.itemName();
    }
    if (!validation.isAccepted()) {
        errorMessage = validation.errorMessage();
        return false;
    }

    BackupScript script = m_script;
    script.volumeName = validation.volumeName();
    script.volumeUUID = validation.volumeUUID();
    script.volumePath = validation.volumePath();
    script.volumeCapacity = quint64(std::max<std::int64_t>(validation.volumeCapacity(), 0));
    script.volumeDescription = validation.volumeDescription();
    setScript(script);
    // The validation has just looked at the volume: that is the reading.
    applyVolumeStatus(script.volumeUUID, validation.volume());
    scriptSave();
    return true;
}

void BackupController::selectVolume(const QUrl &url)
{
    const volumes::VolumeTable *table = &m_volumeTable;
    m_volumeReader->ask([this, table, url]() -> volumes::VolumeReader::Publish {
        const volumes::VolumeValidation validation = volumes::VolumeValidator(*table).validate(url);
        return [this, validation] {
            QString errorMessage;
            QString itemName;
            if (!acceptVolume(validation, errorMessage, itemName)) {
                emit volumeRefused(itemName, errorMessage);
            }
        };
    });
}

bool BackupController::selectDroppedVolume(const QList<QUrl> &urls)
{
    const auto first = std::find_if(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
    if (first == urls.end()) {
        return false;
    }
    // Not inside the drop's own event: the panel's change shows after it.
    QMetaObject::invokeMethod(this, [this, url = *first] { selectVolume(url); }, Qt::QueuedConnection);
    return true;
}

QString BackupController::refusalTitle(const QString &itemName)
{
    return QStringLiteral("Unable to use \"%1\"").arg(itemName.isEmpty() ? QStringLiteral("Unknown item") : itemName);
}

QString BackupController::refusalMessage(const QString &errorMessage)
{
    return errorMessage.isEmpty() ? QStringLiteral("Unknown reason") : errorMessage;
}

QString BackupController::backupFolderPath() const
{
    if (m_volumeStatus != VolumeStatusValue::Connected || m_script.volumePath.isEmpty()) {
        return {};
    }
    const QString folder = m_script.volumePath + QStringLiteral("/Vellory/") + platform::computerName();
    return QFileInfo(folder).isDir() ? folder : m_script.volumePath;
}

void BackupController::clearVolume()
{
    BackupScript script = m_script;
    script.clearVolume();
    setScript(script);
    // Labels, icon and usage keep their texts until the next refresh; the
    // panel shows its placeholder instead of them.
    setVolumeStatus(VolumeStatusValue::NotSpecified);
    scriptSave();
}

void BackupController::ejectVolume()
{
    const QString name = m_script.volumeName;
    ejectVolume([this, name](const QString &error) {
        if (!error.isEmpty()) {
            emit ejectFailed(name, error);
        }
    });
}

void BackupController::ejectVolume(EjectDone done)
{
    // A reading of the volume's free space while it is unmounted could
    // make the unmount find it busy: none until the eject has answered.
    m_spaceRefresh->stop();
    auto answer = [this, done](const QString &error) {
        QMetaObject::invokeMethod(this, [this] {
            if (m_volumeStatus == VolumeStatusValue::Connected) {
                m_spaceRefresh->start();
            }
        }, Qt::QueuedConnection);
        if (done) {
            QMetaObject::invokeMethod(this, [done, error] { done(error); }, Qt::QueuedConnection);
        }
    };
    if (m_script.volumeUUID.isEmpty()) {
        answer(QStringLiteral("No volume selected"));
        return;
    }
    // Only the destination itself: another volume now mounted at its old
    // path is left alone. The table is asked in the background.
    const volumes::VolumeTable *table = &m_volumeTable;
    const QString path = m_script.volumePath;
    const QString uuid = m_script.volumeUUID;
    m_volumeReader->ask([this, table, path, uuid, answer]() -> volumes::VolumeReader::Publish {
        const bool carries = volumes::volumeCarriesUuid(*table, path, uuid);
        return [this, carries, path, answer] {
            if (!carries) {
                answer(QStringLiteral("Not connected"));
                return;
            }
            m_volumeEjector.eject(path, answer);
        };
    });
}

void BackupController::volumeDidMount(const volumes::MountedVolume &volume)
{
    // With no destination every volume without a UUID would "match" the
    // empty UUID and start a backup of nowhere: such events are not ours.
    if (m_script.volumeUUID.isEmpty() || volume.mountPath.isEmpty()) {
        return;
    }
    if (!isDestinationUuid(volume.uuid)) {
        return;
    }
    destinationMounted(volume);
}

void BackupController::volumeDidUnmount(const volumes::MountedVolume &volume)
{
    if (volume.mountPath.isEmpty()) {
        printLine(QStringLiteral("Missing vital Information"));
        return;
    }
    if (volume.mountPath != m_script.volumePath) {
        return;
    }
    printLine(QStringLiteral("We received the unmount notification"));
    // Gone from its place now; a reading tells whether it is still mounted
    // somewhere else.
    applyVolumeStatus(m_script.volumeUUID, std::nullopt);
    updateVolumeStatus();
}

void BackupController::volumeDidRename(const volumes::MountedVolume &volume, const QString &oldName)
{
    Q_UNUSED(oldName);
    if (volume.mountPath.isEmpty() || volume.localizedName.isNull()) {
        printLine(QStringLiteral("Error collecting vital information"));
        return;
    }
    // The event's volume is what the monitor saw; ask the table once more
    // (in the background), as the volume may have gone since.
    const volumes::VolumeTable *table = &m_volumeTable;
    const quint64 placing = m_placings;
    m_volumeReader->ask([this, table, volume, placing]() -> volumes::VolumeReader::Publish {
        const std::optional<volumes::MountedVolume> current = table->volumeAt(volume.mountPath);
        return [this, volume, current, placing] {
            // The destination was shown at a place since it was asked: this
            // answer may be older than that (a move to another folder).
            if (placing == m_placings) {
                finishRename(volume, current);
            }
        };
    });
}

void BackupController::finishRename(const volumes::MountedVolume &volume,
                                    const std::optional<volumes::MountedVolume> &current)
{
    if (!current) {
        printLine(QStringLiteral("Failed to get volume resources"));
        return;
    }
    if (m_script.volumeUUID.isEmpty() || !isDestinationUuid(current->uuid)) {
        return;
    }
    printLine(QStringLiteral("We received the rename notification to \"%1\"").arg(volume.localizedName));
    BackupScript script = m_script;
    script.volumeName = volume.localizedName;
    script.volumePath = volume.mountPath;
    setScript(script);
    scriptSave();
}

void BackupController::setScript(const BackupScript &script)
{
    if (m_script == script) {
        return;
    }
    m_script = script;
    emit scriptChanged();
}

void BackupController::setVolumeStatus(VolumeStatusValue status)
{
    if (m_volumeStatus == status) {
        return;
    }
    m_volumeStatus = status;
    if (status == VolumeStatusValue::Connected) {
        m_spaceRefresh->start();
    } else {
        m_spaceRefresh->stop();
    }
    emit volumeStatusChanged();
}

void BackupController::setVolumeIcon(const IconDescription &icon)
{
    if (m_volumeIcon == icon) {
        return;
    }
    m_volumeIcon = icon;
    ++m_volumeIconSerial;
    emit volumeIconChanged();
}

void BackupController::setVolumeUsage(float usage)
{
    if (m_volumeUsage == usage) {
        return;
    }
    m_volumeUsage = usage;
    emit volumeUsageChanged();
}

void BackupController::setVolumeLabelCapacity(const QString &label)
{
    if (m_volumeLabelCapacity == label) {
        return;
    }
    m_volumeLabelCapacity = label;
    emit volumeLabelCapacityChanged();
}

void BackupController::setVolumeLabelAvailable(const QString &label)
{
    if (m_volumeLabelAvailable == label) {
        return;
    }
    m_volumeLabelAvailable = label;
    emit volumeLabelAvailableChanged();
}

bool BackupController::isDestinationUuid(const QString &uuid) const
{
    return sameUuid(uuid, m_script.volumeUUID);
}

void BackupController::printLine(const QString &line) const
{
    m_outputLine(line);
}
