#pragma once

#include "backup/backupscript.h"
#include "backup/backupthreadlistmodel.h"
#include "backup/iconsource.h"
#include "backup/scriptstore.h"
#include "platform/settings.h"
#include "volumes/mountedvolume.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace volumes {
class VolumeEjector;
class VolumeMonitor;
class VolumeReader;
class VolumeTable;
class VolumeValidation;
} // namespace volumes

/// What the controller works with, handed in by whoever makes it: the
/// application and vellory-cli pass this machine's (SystemVolumeServices),
/// tests pass fakes. The table, monitor and ejector must outlive the
/// controller.
struct BackupControllerServices
{
    ScriptStore store;
    const volumes::VolumeTable *volumeTable = nullptr;
    volumes::VolumeMonitor *volumeMonitor = nullptr;
    volumes::VolumeEjector *volumeEjector = nullptr;
    /// Null: icons named after the desktop's icon theme.
    std::shared_ptr<const IconSource> iconSource;
    /// Receives the controller's standard-output lines (null: standard output).
    std::function<void(const QString &line)> outputLine;
    /// The time stamped as the last backup (null: the current time).
    std::function<QDateTime()> clock;
    /// The user's preferences (null: the user's store, read by a Settings
    /// of the controller's own).
    std::shared_ptr<platform::Settings> settings;
};

/// The one observable object behind the main window. It owns the backup set
/// (loaded from and saved to its store after every change), publishes the
/// state of the destination volume, keeps the list of backup jobs, starts
/// backups, accepts or refuses an offered destination, and follows the
/// destination as it is mounted, unmounted and renamed (starting a backup on
/// connect when "autoBackupOnConnect" is on). Lives on the main thread; every
/// operation is called there.
///
/// The volume table is read off the main thread (a hung share would
/// otherwise freeze every window): a refresh, a rename and an eject ask it
/// in the background and their outcome is applied on the main thread when
/// it comes; only then do status, labels and icon change.
///
/// Pictures are descriptions (IconDescription); they reach QML through an
/// image provider named "vellory" that the front-end registers, draws and
/// asks with iconForId(): `volumeIconSource` ("image://vellory/volume/N", a
/// new N for every new icon) and iconSourceForPath()
/// ("image://vellory/file/<percent-encoded path>").
class BackupController : public QObject
{
    Q_OBJECT

    Q_PROPERTY(BackupScript script READ script NOTIFY scriptChanged)
    Q_PROPERTY(QStringList sourcePaths READ sourcePaths NOTIFY scriptChanged)
    Q_PROPERTY(QString volumeName READ volumeName NOTIFY scriptChanged)
    Q_PROPERTY(QString volumeDescription READ volumeDescription NOTIFY scriptChanged)
    Q_PROPERTY(QString volumeUUID READ volumeUUID NOTIFY scriptChanged)
    Q_PROPERTY(QString volumePath READ volumePath NOTIFY scriptChanged)
    Q_PROPERTY(QString lastBackup READ lastBackup NOTIFY scriptChanged)
    Q_PROPERTY(VolumeStatusValue volumeStatus READ volumeStatus NOTIFY volumeStatusChanged)
    Q_PROPERTY(bool hasDestination READ hasDestination NOTIFY volumeStatusChanged)
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY volumeStatusChanged)
    Q_PROPERTY(bool canStartBackup READ canStartBackup NOTIFY volumeStatusChanged)
    Q_PROPERTY(IconDescription volumeIcon READ volumeIcon NOTIFY volumeIconChanged)
    Q_PROPERTY(QString volumeIconSource READ volumeIconSource NOTIFY volumeIconChanged)
    Q_PROPERTY(float volumeUsage READ volumeUsage NOTIFY volumeUsageChanged)
    Q_PROPERTY(QString volumeLabelCapacity READ volumeLabelCapacity NOTIFY volumeLabelCapacityChanged)
    Q_PROPERTY(QString volumeLabelAvailable READ volumeLabelAvailable NOTIFY volumeLabelAvailableChanged)
    Q_PROPERTY(bool showWindow READ showWindow NOTIFY showWindowChanged)
    Q_PROPERTY(BackupThreadListModel *threads READ threads CONSTANT)
    Q_PROPERTY(platform::Settings *settings READ settings CONSTANT)

public:
    enum class VolumeStatusValue { NotSpecified, NotConnected, Connected };
    Q_ENUM(VolumeStatusValue)

    using EjectDone = std::function<void(const QString &error)>;

    /// Loads the set, follows the monitor's volume events, describes the
    /// missing-volume icon and works out the destination's state. Starting
    /// the monitor is left to its owner.
    explicit BackupController(BackupControllerServices services, QObject *parent = nullptr);
    ~BackupController() override;

    [[nodiscard]] const BackupScript &script() const { return m_script; }
    [[nodiscard]] QStringList sourcePaths() const { return m_script.sourcePaths; }
    [[nodiscard]] QString volumeName() const { return m_script.volumeName; }
    [[nodiscard]] QString volumeDescription() const { return m_script.volumeDescription; }
    [[nodiscard]] QString volumeUUID() const { return m_script.volumeUUID; }
    [[nodiscard]] QString volumePath() const { return m_script.volumePath; }
    [[nodiscard]] QString lastBackup() const { return m_script.lastBackup; }
    [[nodiscard]] VolumeStatusValue volumeStatus() const { return m_volumeStatus; }
    /// A destination is chosen (connected or not).
    [[nodiscard]] bool hasDestination() const { return m_volumeStatus != VolumeStatusValue::NotSpecified; }
    /// The destination is mounted: it can be ejected and its backup folder opened.
    [[nodiscard]] bool isConnected() const { return m_volumeStatus == VolumeStatusValue::Connected; }
    /// What the backup button offers: a backup can start now, the
    /// destination being connected. (startBackup() itself checks nothing.)
    [[nodiscard]] bool canStartBackup() const { return isConnected(); }
    [[nodiscard]] IconDescription volumeIcon() const { return m_volumeIcon; }
    [[nodiscard]] QString volumeIconSource() const;
    [[nodiscard]] float volumeUsage() const { return m_volumeUsage; }
    [[nodiscard]] QString volumeLabelCapacity() const { return m_volumeLabelCapacity; }
    [[nodiscard]] QString volumeLabelAvailable() const { return m_volumeLabelAvailable; }
    [[nodiscard]] bool showWindow() const { return m_showWindow; }
    [[nodiscard]] BackupThreadListModel *threads() const { return m_threads; }
    /// The preferences, for the views and whoever else the application hands them to.
    [[nodiscard]] platform::Settings *settings() const { return m_settings.get(); }
    [[nodiscard]] IconDescription missingVolumeIcon() const { return m_missingVolumeIcon; }
    [[nodiscard]] const ScriptStore &store() const { return m_store; }

    // The store.
    /// The store file's location (its folder is made when missing).
    [[nodiscard]] QUrl scriptFileURL() const;
    /// Writes the set to the store; trouble is one "scriptSave() ..." line.
    /// When another program (vellory-cli) changed the stored set since this
    /// controller last read or wrote it, its changes are merged in first
    /// (mergeBackupScripts), so an older copy never overwrites them.
    bool scriptSave();
    /// Whether the latest scriptSave() wrote the set (true before any).
    [[nodiscard]] bool lastSaveSucceeded() const { return m_lastSaveSucceeded; }
    /// Takes over a set another program wrote to the store (merged with
    /// this controller's own changes) and refreshes the destination's state.
    /// Nothing when the store is unchanged or cannot be read.
    void reloadScript();

    /// Works out status, icon, usage and the two labels from the set and the
    /// mounted volumes; takes over a new name or mount path of the
    /// destination (and saves it). The table is read in the background;
    /// volumeReadingsSettled() tells when what it read is applied.
    void updateVolumeStatus();
    /// Whether a reading of the table (for the state, a rename or an eject)
    /// is on its way: running, waiting to run, or not yet applied.
    [[nodiscard]] bool isReadingVolumes() const;
    /// Waits, turning the event loop, until no reading is on its way: for
    /// vellory-cli, which reports the state before it has a loop of its own.
    void waitForVolumeReadings();

    // Sources.
    /// Adds `path` at the end of the sources (moving it there when listed).
    Q_INVOKABLE void addSourcePath(const QString &path);
    /// addSourcePath() for each of `paths` in order, as one change and one
    /// save: what a drop of many items does.
    Q_INVOKABLE void addSourcePaths(const QStringList &paths);
    /// Removes every occurrence of `path` from the sources.
    Q_INVOKABLE void removeSourcePath(const QString &path);
    /// The display icon of a source item; cached once found, else the
    /// unknown-item icon (not cached, so it is asked again next time).
    [[nodiscard]] IconDescription icon(const QString &path);
    /// icon(path) as an image URL for QML.
    Q_INVOKABLE QString iconSourceForPath(const QString &path) const;
    /// The picture behind an "image://vellory/ID" URL ("volume/N",
    /// "file/<percent-encoded path>"); null for an unknown ID.
    [[nodiscard]] IconDescription iconForId(const QString &id);

    /// Starts a backup job of the set: flips showWindow, puts the job first
    /// in `threads` (backupStarted tells of it), starts it and stamps the
    /// set's lastBackup. No check is made that the destination is there: a
    /// job without its volume fails inside the job. When the job completes,
    /// the settings' lastCompletedBackup is stamped.
    Q_INVOKABLE void startBackup();
    /// The job row's button: cancels `job` while it runs, otherwise closes
    /// its row (every job with its id leaves `threads`); lastJobClosed tells
    /// when that emptied the list.
    Q_INVOKABLE void cancelOrClose(BackupThread *job);
    /// Starts a job of another kind (verify, restore) over the set as it is:
    /// flips showWindow, puts the job first in `threads` and starts it. The
    /// set is not changed. Returns the job.
    std::shared_ptr<BackupThread> startJob(JobKind kind);
    /// Starts a verify job of the set (startJob()).
    Q_INVOKABLE void startVerify();

    // The destination.
    /// Decides whether the item at `url` can be the destination; if so,
    /// records it in the set (keeping sources and lastBackup), refreshes the
    /// state and saves. On refusal sets `errorMessage` and, when the item
    /// could be looked at, `itemName`; the set stays as it was.
    bool validateVolume(const QUrl &url, QString &errorMessage, QString &itemName);
    /// validateVolume() for the volume panel, which must not wait on the
    /// item: it is looked at in the background (a share may hang), and the
    /// outcome applied on this thread later; a refusal emits volumeRefused.
    Q_INVOKABLE void selectVolume(const QUrl &url);
    /// A drop on the volume panel: only the first local item counts, offered
    /// with selectVolume() once the drop's event is done. False (the drop is
    /// refused) when there is none.
    Q_INVOKABLE bool selectDroppedVolume(const QList<QUrl> &urls);
    /// The refusal alert's title and text for what volumeRefused told, with
    /// the fallbacks for an unknown item or reason.
    [[nodiscard]] Q_INVOKABLE static QString refusalTitle(const QString &itemName);
    [[nodiscard]] Q_INVOKABLE static QString refusalMessage(const QString &errorMessage);
    /// Forgets the destination ("Remove Volume"): status NotSpecified, saved.
    Q_INVOKABLE void clearVolume();
    /// Where this computer's backups lie: "/Vellory/" + computer name on the
    /// destination volume, or the volume itself while no backup has made that
    /// folder yet. Empty unless the destination is connected.
    Q_INVOKABLE QString backupFolderPath() const;
    /// Unmounts and ejects the destination. Nothing is done when no
    /// destination is set or the volume at its path is not the destination.
    Q_INVOKABLE void ejectVolume();
    /// As above; `done` gets the outcome (empty text: ejected) on the main
    /// thread, also when nothing could be tried.
    void ejectVolume(EjectDone done);

    // Volume events (connected to the monitor; public for the tests).
    void volumeDidMount(const volumes::MountedVolume &volume);
    void volumeDidUnmount(const volumes::MountedVolume &volume);
    void volumeDidRename(const volumes::MountedVolume &volume, const QString &oldName);
    /// The monitor's first reading is in: a destination mounted since the
    /// controller read the table is taken as just mounted.
    void volumeMonitorReady();

signals:
    void scriptChanged();
    void volumeStatusChanged();
    void volumeIconChanged();
    void volumeUsageChanged();
    void volumeLabelCapacityChanged();
    void volumeLabelAvailableChanged();
    void showWindowChanged();
    /// An offered destination was refused: the alert's item name (null when
    /// unknown) and sentence.
    void volumeRefused(const QString &itemName, const QString &errorMessage);
    /// The last row was closed: the Backups window goes away.
    void lastJobClosed();
    /// A backup job was started (by the button, by a mount or from code).
    void backupStarted(BackupThread *job);
    /// The job just started (after backupStarted) was started by connecting
    /// the destination.
    void automaticBackupStarted(BackupThread *job);
    /// The eject button's eject failed, and why.
    void ejectFailed(const QString &volumeName, const QString &reason);
    /// A reading of the table was applied (or given up) and none is on its way.
    void volumeReadingsSettled();

private:
    void registerVolumeNotifications();
    /// Log, show the volume, refresh and (when automatic backup is on) back up.
    void destinationMounted(const volumes::MountedVolume &volume);
    /// What a reading of the table for `uuid` found, applied on the main thread.
    void applyVolumeStatus(const QString &uuid, const std::optional<volumes::MountedVolume> &found);
    bool acceptVolume(const volumes::VolumeValidation &validation, QString &errorMessage, QString &itemName);
    /// Shows `volume` as the connected destination and takes over its name
    /// and mount path (saved when they changed).
    void showDestination(const volumes::MountedVolume &volume);
    void finishRename(const volumes::MountedVolume &volume, const std::optional<volumes::MountedVolume> &current);
    void startAutomaticBackup();
    void makeMissingVolumeIcon();
    void setScript(const BackupScript &script);
    void setVolumeStatus(VolumeStatusValue status);
    void setVolumeIcon(const IconDescription &icon);
    void setVolumeUsage(float usage);
    void setVolumeLabelCapacity(const QString &label);
    void setVolumeLabelAvailable(const QString &label);
    [[nodiscard]] bool isDestinationUuid(const QString &uuid) const;
    void printLine(const QString &line) const;

    ScriptStore m_store;
    const volumes::VolumeTable &m_volumeTable;
    volumes::VolumeMonitor &m_volumeMonitor;
    volumes::VolumeEjector &m_volumeEjector;
    std::shared_ptr<const IconSource> m_iconSource;
    std::function<void(const QString &)> m_outputLine;
    std::function<QDateTime()> m_clock;
    std::shared_ptr<platform::Settings> m_settings;

    BackupScript m_script;
    /// The set as this controller last read it from or wrote it to the store.
    BackupScript m_stored;
    VolumeStatusValue m_volumeStatus = VolumeStatusValue::NotSpecified;
    IconDescription m_volumeIcon;
    quint64 m_volumeIconSerial = 0;
    float m_volumeUsage = 0;
    QString m_volumeLabelCapacity;
    QString m_volumeLabelAvailable;
    IconDescription m_missingVolumeIcon;
    bool m_showWindow = false;
    bool m_lastSaveSucceeded = true;
    BackupThreadListModel *m_threads;
    QHash<QString, IconDescription> m_iconCache;
    volumes::VolumeReader *m_volumeReader;
    /// Reads the connected destination's free space again now and then.
    QTimer *m_spaceRefresh;
    /// The monitor's first reading is in: a destination the next reading
    /// finds is announced as mounted.
    bool m_announceArrival = false;
    /// The monitor's first reading came while one of the controller's was
    /// on its way: handled once that one is applied.
    bool m_monitorReadyPending = false;
    /// How often the destination's place (or absence) was applied: an
    /// answer asked for before the latest is older than what is shown.
    quint64 m_placings = 0;
};

using VolumeStatusValue = BackupController::VolumeStatusValue;
