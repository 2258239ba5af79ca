#include "ui/restoremodel.h"

#include "backup/backupcontroller.h"
#include "backup/displayformat.h"
#include "backup/restorerun.h"
#include "platform/computername.h"
#include "volumes/linuxvolumetable.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QThreadPool>
#include <QUrl>

#include <memory>

RestoreModel::RestoreModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int RestoreModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant RestoreModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size()) {
        return {};
    }
    const BackupBrowser::Item &item = m_items.at(index.row());
    switch (role) {
    case NameRole:
        // At the top of this computer's folder each source shows whole.
        return m_folder.isEmpty() && canRestoreInPlace() ? item.path : item.name;
    case PathRole:
        return item.path;
    case IsFolderRole:
        return item.isFolder;
    case IsLinkRole:
        return item.isLink;
    case SizeTextRole:
        return item.isFolder ? QString() : displayformat::byteCount(quint64(qMax<qint64>(item.size, 0)));
    case TimeTextRole:
        return QLocale().toString(item.modified, QLocale::ShortFormat);
    case PickedRole:
        return m_picked.contains(item.path);
    default:
        return {};
    }
}

QHash<int, QByteArray> RestoreModel::roleNames() const
{
    return {{NameRole, "name"},         {PathRole, "path"},         {IsFolderRole, "isFolder"}, {IsLinkRole, "isLink"},
            {SizeTextRole, "sizeText"}, {TimeTextRole, "timeText"}, {PickedRole, "picked"}};
}

void RestoreModel::setController(BackupController *controller)
{
    if (m_controller == controller) {
        return;
    }
    m_controller = controller;
    refresh();
}

void RestoreModel::refresh()
{
    ++m_generation; // what is still being read is of no use now
    beginResetModel();
    m_items.clear();
    endResetModel();
    m_volumePaths.clear();
    m_volumePath.clear();
    m_computers.clear();
    m_computer.clear();
    m_folder.clear();
    m_picked.clear();
    m_message.clear();
    emit changed();
    if (!m_controller) {
        return;
    }
    switch (m_controller->volumeStatus()) {
    case BackupController::VolumeStatusValue::Connected:
        setVolumePath(m_controller->volumePath());
        break;
    case BackupController::VolumeStatusValue::NotSpecified:
        findVolumes();
        break;
    case BackupController::VolumeStatusValue::NotConnected:
        setMessage(tr("The backup volume \"%1\" is not connected.").arg(m_controller->volumeName()));
        break;
    }
}

bool RestoreModel::offersVolumes() const
{
    return m_controller && m_controller->volumeStatus() == BackupController::VolumeStatusValue::NotSpecified;
}

template <typename Result>
void RestoreModel::readInBackground(std::function<Result()> read, std::function<void(const Result &)> apply)
{
    const quint64 generation = ++m_generation;
    ++m_pendingReads;
    emit changed();
    QPointer<RestoreModel> model(this);
    QThreadPool::globalInstance()->start([model, generation, read = std::move(read), apply = std::move(apply)] {
        auto result = std::make_shared<Result>(read());
        // Delivered through the application object, which outlives the model.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [model, generation, result, apply] {
                if (!model) {
                    return;
                }
                --model->m_pendingReads;
                if (generation == model->m_generation) {
                    apply(*result);
                }
                emit model->changed();
            },
            Qt::QueuedConnection);
    });
}

void RestoreModel::findVolumes()
{
    readInBackground<QStringList>(
        [] {
            QStringList paths;
            for (const volumes::MountedVolume &volume : volumes::LinuxVolumeTable().volumes()) {
                if (!BackupBrowser(volume.mountPath).computers().isEmpty()) {
                    paths << volume.mountPath;
                }
            }
            return paths;
        },
        [this](const QStringList &paths) {
            m_volumePaths = paths;
            if (paths.isEmpty()) {
                setMessage(tr("No connected volume holds backups."));
            } else {
                setVolumePath(paths.constFirst());
            }
        });
}

void RestoreModel::setVolumePath(const QString &path)
{
    if (m_volumePath == path) {
        return;
    }
    m_volumePath = path;
    m_picked.clear();
    emit changed();
    readComputers();
}

QString RestoreModel::thisComputer() const
{
    return platform::computerName();
}

void RestoreModel::readComputers()
{
    const QString volume = m_volumePath;
    readInBackground<QStringList>([volume] { return BackupBrowser(volume).computers(); },
                                  [this](const QStringList &computers) {
                                      m_computers = computers;
                                      if (computers.isEmpty()) {
                                          setMessage(tr("There are no backups on this volume."));
                                          return;
                                      }
                                      setComputer(computers.contains(thisComputer()) ? thisComputer()
                                                                                     : computers.constFirst());
                                  });
}

void RestoreModel::setComputer(const QString &computer)
{
    if (m_computer == computer) {
        return;
    }
    m_computer = computer;
    m_picked.clear();
    m_folder = topFolder();
    emit changed();
    readFolder();
}

QString RestoreModel::topFolder() const
{
    // This computer's backups start from the set's sources; another's (or
    // this one's without a set) from its root.
    const bool sources = m_controller && !m_controller->sourcePaths().isEmpty();
    return canRestoreInPlace() && sources ? QString() : QStringLiteral("/");
}

bool RestoreModel::canGoUp() const
{
    return m_folder != topFolder();
}

bool RestoreModel::canRestoreInPlace() const
{
    return !m_computer.isEmpty() && m_computer == thisComputer();
}

void RestoreModel::readFolder()
{
    const QString volume = m_volumePath;
    const QString computer = m_computer;
    const QString folder = m_folder;
    // At the top of this computer's folder: the set's sources that were
    // backed up.
    const QStringList sources = folder.isEmpty() && m_controller ? m_controller->sourcePaths() : QStringList();
    readInBackground<QList<BackupBrowser::Item>>(
        [volume, computer, folder, sources] {
            const BackupBrowser browser(volume);
            if (!folder.isEmpty()) {
                return browser.items(computer, folder);
            }
            QList<BackupBrowser::Item> found;
            for (const QString &source : sources) {
                const QString parent = QDir::cleanPath(source + QStringLiteral("/.."));
                for (const BackupBrowser::Item &item : browser.items(computer, parent)) {
                    if (item.path == QDir::cleanPath(source)) {
                        found << item;
                    }
                }
            }
            return found;
        },
        [this](const QList<BackupBrowser::Item> &items) {
            beginResetModel();
            m_items = items;
            endResetModel();
            setMessage(items.isEmpty() ? tr("Nothing backed up here.") : QString());
        });
}

void RestoreModel::open(const QString &path)
{
    m_folder = path;
    emit changed();
    readFolder();
}

void RestoreModel::goUp()
{
    if (!canGoUp()) {
        return;
    }
    const bool isSource = topFolder().isEmpty() && m_controller->sourcePaths().contains(m_folder);
    open(isSource ? QString() : QDir::cleanPath(m_folder + QStringLiteral("/..")));
}

void RestoreModel::setPicked(const QString &path, bool picked)
{
    if (m_picked.contains(path) == picked) {
        return;
    }
    if (picked) {
        m_picked << path;
    } else {
        m_picked.removeAll(path);
    }
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).path == path) {
            emit dataChanged(index(row), index(row), {PickedRole});
        }
    }
    emit changed();
}

void RestoreModel::setInPlace(bool inPlace)
{
    if (m_inPlace == inPlace) {
        return;
    }
    m_inPlace = inPlace;
    emit changed();
}

void RestoreModel::setTargetFolder(const QString &folder)
{
    const QUrl url(folder);
    const QString path = url.isLocalFile() ? url.toLocalFile() : folder;
    if (m_targetFolder == path) {
        return;
    }
    m_targetFolder = path;
    emit changed();
}

void RestoreModel::setBesideDifferences(bool beside)
{
    if (m_besideDifferences == beside) {
        return;
    }
    m_besideDifferences = beside;
    emit changed();
}

bool RestoreModel::canRestore() const
{
    return m_controller && !m_picked.isEmpty() && !m_volumePath.isEmpty()
        && (inPlace() || QDir::isAbsolutePath(m_targetFolder));
}

bool RestoreModel::restore()
{
    if (!canRestore()) {
        return false;
    }
    RestoreRequest request;
    request.volumePath = m_volumePath;
    const bool destination = !offersVolumes();
    request.volumeName = destination ? m_controller->volumeName() : QDir(m_volumePath).dirName();
    request.volumeUUID = destination ? m_controller->volumeUUID() : QString();
    request.computer = m_computer;
    request.paths = m_picked;
    request.targetFolder = inPlace() ? QString() : m_targetFolder;
    request.difference = m_besideDifferences ? RestoreRequest::Difference::beside : RestoreRequest::Difference::skip;
    m_controller->startJob(RestoreRun::jobKind(request));
    return true;
}

void RestoreModel::setMessage(const QString &message)
{
    if (m_message == message) {
        return;
    }
    m_message = message;
    emit changed();
}
