#include "backup/sourcescanner.h"

#include "backup/backupthread.h"
#include "backup/backupvolume.h"
#include "backup/runreport.h"
#include "platform/directoryops.h"
#include "platform/fileattributes.h"
#include "platform/fileerror.h"
#include "platform/volumelimits.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

namespace {

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

bool isDsStore(const char *name)
{
    return qstrcmp(name, ".DS_Store") == 0;
}

} // namespace

SourceScanner::SourceScanner(RunReport &report, const BackupVolume &volume, CopyPlan &plan, int workers,
                             int openFileLimit)
    : m_report(report)
    , m_volume(volume)
    , m_plan(plan)
    , m_workers(std::max(1, workers))
{
    // Left for the rest of the process: standard streams, the event loop,
    // the volume's root and the source's own two handles.
    constexpr int kReserved = 24;
    const int limit = openFileLimit > 0 ? openFileLimit : platform::openFileLimit();
    const int spare = std::max(0, limit - kReserved);
    // A worker holds a folder and its copy while it reads them, and briefly
    // a sub-folder's pair besides.
    m_workers = std::clamp(spare / 8, 1, m_workers);
    m_parkBudget = std::clamp((spare - 4 * m_workers) / 4, 1, 4096);
}

SourceScanner::~SourceScanner() = default;

int SourceScanner::defaultWorkers()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 2u, 8u));
}

void SourceScanner::scan(const QString &sourcePath)
{
    if (!QDir::isAbsolutePath(sourcePath)) {
        m_report.error(QStringLiteral("item not found: ") + sourcePath);
        return;
    }
    const QByteArray path = QFile::encodeName(QDir::cleanPath(sourcePath));
    platform::FileAttributes top;
    if (const int error = platform::attributesOfPath(path.constData(), true, top); error != 0) {
        if (error == ENOENT || error == ENOTDIR) {
            m_report.error(QStringLiteral("item not found: ") + sourcePath);
        } else {
            m_report.error(sourcePath + QStringLiteral(": ") + platform::describeFileError(error));
        }
        return;
    }
    const QString scanning = QStringLiteral("Scanning ") + sourcePath + QStringLiteral("...");
    m_report.log(scanning);
    m_report.job().setProgressMessage(scanning);

    if (top.isDirectory()) {
        if (m_volume.isVolumeRoot(top)) {
            return;
        }
        const QByteArray targetPath = m_volume.targetPathOf(path);
        platform::OpenResult target;
        if (m_volume.isOpen()) {
            target = platform::openDirectoryBeneath(m_volume.fd(), targetPath);
        }
        scanFolder(path, sourcePath, std::move(target.fd));
        return;
    }

    // A single file: it is its folder's only item.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parentPath = slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    platform::OpenResult parent = platform::openDirectory(parentPath);
    if (!parent.fd) {
        m_report.error(QStringLiteral("Unable to scan ") + sourcePath);
        return;
    }
    platform::FileAttributes item;
    if (platform::attributesAt(parent.fd.get(), name.constData(), item) != 0) {
        m_report.error(QStringLiteral("Can't get information from ") + sourcePath);
        return;
    }
    if (isDsStore(name.constData())) {
        return;
    }
    const QByteArray targetPath = m_volume.targetPathOf(parentPath);
    platform::OpenResult target;
    if (m_volume.isOpen()) {
        target = platform::openDirectoryBeneath(m_volume.fd(), targetPath);
    }
    CopyFileReason reason = CopyFileReason::none;
    bool volumeChecked = false;
    if (!compare(target.fd.get(), name.constData(), item, volumeChecked, reason)) {
        m_report.error(QStringLiteral("Volume not connected"));
        return;
    }
    if (reason != CopyFileReason::doesNotExist) {
        m_checked.fetch_add(1, std::memory_order_relaxed);
    }
    if (m_report.cancelRequested()) {
        m_cancelSeen = true;
        return;
    }
    if (wanted(reason)) {
        m_plan.add(m_plan.addFolder(parentPath, targetPath), QByteArrayView(name), reason, item.type, item.size);
    }
}

bool SourceScanner::wanted(CopyFileReason reason)
{
    if (!m_planCurrent) {
        return reason != CopyFileReason::none;
    }
    if (reason != CopyFileReason::none) {
        m_due.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    return true;
}

bool SourceScanner::compare(int targetFd, const char *name, const platform::FileAttributes &item, bool &volumeChecked,
                            CopyFileReason &reason)
{
    reason = CopyFileReason::none;
    platform::FileAttributes copy;
    if (targetFd < 0 || platform::attributesAt(targetFd, name, copy) != 0) {
        // Once per folder: a volume that went away shows up at the next
        // folder, and a first run does not pay a mount check per file.
        if (!volumeChecked) {
            if (!m_volume.isReachable()) {
                return false;
            }
            volumeChecked = true;
        }
        reason = CopyFileReason::doesNotExist;
        return true;
    }
    if (item.size != copy.size) {
        reason = CopyFileReason::sizeModified;
    }
    // A copy newer than its source, or older by 10 s or less, is current.
    if (item.secondsNewerThan(copy) > 10.0) {
        reason = CopyFileReason::dateModified;
    }
    return true;
}

SourceScanner::FolderFindings &SourceScanner::slot(std::size_t index)
{
    std::lock_guard<std::mutex> locker(m_lock);
    return m_slots[index];
}

bool SourceScanner::targetFoldsCase(const QByteArray &targetPath) const
{
    if (!m_volume.isOpen()) {
        return false;
    }
    // A folder still to be made inherits the attribute of the nearest one
    // that exists.
    QByteArray path = targetPath;
    for (;;) {
        const platform::OpenResult folder = platform::openDirectoryBeneath(m_volume.fd(), path);
        if (folder.fd) {
            return platform::foldsCase(folder.fd.get());
        }
        if (path.isEmpty()) {
            return false;
        }
        const qsizetype slash = path.lastIndexOf('/');
        path = slash < 0 ? QByteArray() : path.left(slash);
    }
}

QByteArray SourceScanner::belowSource(const QByteArray &path) const
{
    return m_rootPath == "/" ? path.mid(1) : path.mid(m_rootPath.size() + 1);
}

void SourceScanner::scanFolder(const QByteArray &path, const QString &displayPath, platform::UniqueFd target)
{
    platform::OpenResult folder = platform::openDirectory(path);
    if (!folder.fd) {
        m_report.error(QStringLiteral("Unable to scan ") + displayPath);
        return;
    }
    const QByteArray targetPath = m_volume.targetPathOf(path);
    const bool foldsCase = targetFoldsCase(targetPath);
    m_rootPath = path;
    m_rootSource = std::make_shared<platform::UniqueFd>(std::move(folder.fd));
    m_rootTarget = std::make_shared<platform::UniqueFd>(std::move(target));
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_slots.clear();
        m_slots.emplace_back();
        m_slots.back().sourcePath = path;
        m_slots.back().targetPath = targetPath;
        m_slots.back().foldsCase = foldsCase;
        // The root job is opened through "." of the folder itself, and
        // shares the handle of its copy.
        m_jobs.push_back(FolderJob{0, m_rootSource, m_rootTarget, "."});
        m_busy = 0;
        m_finished = false;
    }
    m_abandon.store(0);
    std::vector<std::thread> workers;
    workers.reserve(std::size_t(m_workers));
    for (int i = 0; i < m_workers; ++i) {
        try {
            workers.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            break; // the workers already started read every folder
        }
    }
    if (workers.empty()) {
        work(); // no thread could be started: read every folder on this one
    }
    try {
        take(0);
    } catch (...) {
        finishWorkers(workers);
        throw;
    }
    finishWorkers(workers);
}

void SourceScanner::finishWorkers(std::vector<std::thread> &workers)
{
    // Whatever is left unread is not wanted any more.
    std::uint8_t none = 0;
    m_abandon.compare_exchange_strong(none, std::uint8_t(Finding::Kind::Cancelled));
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_finished = true;
    }
    m_jobReady.notify_all();
    for (std::thread &worker : workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
    std::lock_guard<std::mutex> locker(m_lock);
    m_jobs.clear();
    m_slots.clear();
    m_rootSource.reset();
    m_rootTarget.reset();
}

bool SourceScanner::take(std::size_t index)
{
    FolderFindings *folder = nullptr;
    {
        std::unique_lock<std::mutex> locker(m_lock);
        folder = &m_slots[index];
        m_folderDone.wait(locker, [folder] { return folder->done; });
    }
    std::int64_t planFolder = -1;
    bool goOn = true;
    for (const Finding &finding : folder->findings) {
        switch (finding.kind) {
        case Finding::Kind::Planned:
            if (planFolder < 0) {
                planFolder = m_plan.addFolder(folder->sourcePath, folder->targetPath);
            }
            m_plan.add(std::uint32_t(planFolder), QByteArrayView(folder->names.constData() + finding.index, finding.length),
                       finding.reason, platform::FileType(finding.type), finding.size);
            break;
        case Finding::Kind::Folder:
            goOn = take(finding.index);
            break;
        case Finding::Kind::Error:
            m_report.error(folder->errors.at(finding.index));
            break;
        case Finding::Kind::VolumeGone:
            m_report.error(QStringLiteral("Volume not connected"));
            goOn = false;
            break;
        case Finding::Kind::Cancelled:
            m_cancelSeen = true;
            goOn = false;
            break;
        }
        if (!goOn) {
            break;
        }
    }
    // Taken: its memory is not needed any more.
    folder->findings = std::vector<Finding>();
    folder->names = QByteArray();
    folder->errors = QStringList();
    folder->sourcePath = QByteArray();
    folder->targetPath = QByteArray();
    return goOn;
}

void SourceScanner::work()
{
    platform::DirectoryReader reader;
    platform::DirectoryListing listing;
    std::unique_lock<std::mutex> locker(m_lock);
    for (;;) {
        m_jobReady.wait(locker, [this] { return !m_jobs.empty() || m_finished || (m_busy == 0 && m_jobs.empty()); });
        if (m_jobs.empty()) {
            if (m_finished || m_busy == 0) {
                return;
            }
            continue;
        }
        FolderJob job = std::move(m_jobs.back());
        m_jobs.pop_back();
        ++m_busy;
        locker.unlock();
        const std::size_t slotIndex = job.slot;
        try {
            readFolder(job, reader, listing);
        } catch (const std::exception &failure) {
            noteFailure(slotIndex, failure);
        }
        job = FolderJob();
        locker.lock();
        --m_busy;
        m_slots[slotIndex].done = true;
        m_folderDone.notify_all();
        if (m_busy == 0 && m_jobs.empty()) {
            m_jobReady.notify_all(); // the walk is complete
        }
    }
}

void SourceScanner::noteFailure(std::size_t index, const std::exception &failure) noexcept
{
    std::lock_guard<std::mutex> locker(m_lock);
    FolderFindings &out = m_slots[index];
    // Sub-folders found but never queued would be waited for forever.
    if (!out.childrenQueued) {
        for (const Finding &finding : out.findings) {
            if (finding.kind == Finding::Kind::Folder) {
                m_slots[finding.index].done = true;
            }
        }
    }
    try {
        const bool memory = dynamic_cast<const std::bad_alloc *>(&failure) != nullptr;
        out.errors << QStringLiteral("Unable to scan ") + display(out.sourcePath) + QStringLiteral(": ")
                + (memory ? QStringLiteral("there is not enough memory") : QString::fromLocal8Bit(failure.what()));
        out.findings.push_back(Finding{Finding::Kind::Error, CopyFileReason::none, 0,
                                       std::uint32_t(out.errors.size() - 1), 0, 0});
    } catch (...) {
        // Not even the message fits: the folder ends without it.
    }
}

void SourceScanner::findCaseTwins(const platform::DirectoryListing &listing, std::vector<bool> &twins)
{
    twins.assign(listing.size(), false);
    QSet<QString> seen;
    seen.reserve(qsizetype(listing.size()));
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const QString key = platform::caseFoldingKey(listing.name(i));
        if (seen.contains(key)) {
            twins[i] = true;
        } else {
            seen.insert(key);
        }
    }
}

std::pair<std::shared_ptr<platform::UniqueFd>, std::shared_ptr<platform::UniqueFd>>
SourceScanner::park(std::shared_ptr<platform::UniqueFd> &source, std::shared_ptr<platform::UniqueFd> &target)
{
    if (m_parked.fetch_add(1) >= m_parkBudget) {
        m_parked.fetch_sub(1);
        return {};
    }
    // The pair counts until the last sub-folder lets go of it.
    std::shared_ptr<platform::UniqueFd> parked(new platform::UniqueFd(std::move(*source)),
                                               [this](platform::UniqueFd *fd) {
                                                   delete fd;
                                                   m_parked.fetch_sub(1);
                                               });
    return {parked, target};
}

void SourceScanner::fail(FolderFindings &out, Finding::Kind kind, const QString &message)
{
    if (!message.isEmpty()) {
        out.errors << message;
    }
    out.findings.push_back(Finding{kind, CopyFileReason::none, 0, std::uint32_t(out.errors.size() - 1), 0, 0});
}

// Left unread once a folder found the volume gone or the job cancelled;
// should the walk reach this folder first, it ends here the same way.
void SourceScanner::abandon(FolderFindings &out, Finding::Kind why)
{
    std::uint8_t none = 0;
    m_abandon.compare_exchange_strong(none, std::uint8_t(why));
    fail(out, why);
}

bool SourceScanner::abandoned(FolderFindings &out)
{
    const std::uint8_t why = m_abandon.load(std::memory_order_relaxed);
    if (why != 0) {
        fail(out, Finding::Kind(why));
    }
    return why != 0;
}

bool SourceScanner::openFolder(FolderJob &job, FolderFindings &out, platform::DirectoryReader &reader,
                               platform::DirectoryListing &listing, platform::UniqueFd &sourceFd,
                               std::shared_ptr<platform::UniqueFd> &target)
{
    // Without its parent's handles (the budget was spent when it was found)
    // a folder is opened by its path below the source.
    const bool byPath = !job.parentSource;
    platform::OpenResult source = byPath
        ? platform::openSubdirectoryPath(m_rootSource->get(), belowSource(out.sourcePath))
        : platform::openSubdirectory(job.parentSource->get(), job.name.constData());
    if (!source.fd) {
        // An unreadable folder is an error, not a silent gap.
        fail(out, Finding::Kind::Error, QStringLiteral("Unable to scan ") + display(out.sourcePath));
        return false;
    }
    target = job.name == "." ? job.parentTarget : std::make_shared<platform::UniqueFd>();
    if (job.name != ".") {
        if (byPath && m_rootTarget->isValid()) {
            *target = platform::openDirectoryBeneath(m_rootTarget->get(), belowSource(out.sourcePath)).fd;
        } else if (!byPath && job.parentTarget->isValid()) {
            *target = platform::openSubdirectoryHandle(job.parentTarget->get(), job.name.constData()).fd;
        }
    }
    if (reader.read(source.fd.get(), listing) != 0) {
        fail(out, Finding::Kind::Error, QStringLiteral("Unable to scan ") + display(out.sourcePath));
        return false;
    }
    listing.sortByName();
    sourceFd = std::move(source.fd);
    return true;
}

std::size_t SourceScanner::addSubfolder(FolderFindings &parent, QByteArrayView name)
{
    std::size_t childSlot = 0;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        childSlot = m_slots.size();
        m_slots.emplace_back();
        m_slots.back().sourcePath = joinPath(parent.sourcePath, name);
        m_slots.back().targetPath = joinPath(parent.targetPath, name);
        m_slots.back().foldsCase = parent.foldsCase;
    }
    parent.findings.push_back(Finding{Finding::Kind::Folder, CopyFileReason::none, 0, std::uint32_t(childSlot), 0, 0});
    return childSlot;
}

void SourceScanner::addPlanned(FolderFindings &out, QByteArrayView name, const platform::FileAttributes &item,
                               CopyFileReason reason)
{
    out.findings.push_back(Finding{Finding::Kind::Planned, reason, std::uint8_t(item.type),
                                   std::uint32_t(out.names.size()), std::uint32_t(name.size()), item.size});
    out.names.append(name);
    out.names.append('\0');
}

void SourceScanner::queueChildren(FolderFindings &out, std::shared_ptr<platform::UniqueFd> &sourceFolder,
                                  std::shared_ptr<platform::UniqueFd> &target,
                                  std::vector<std::pair<std::size_t, QByteArray>> &children)
{
    const auto [parkedSource, parkedTarget] = park(sourceFolder, target);
    sourceFolder.reset();
    target.reset();
    std::lock_guard<std::mutex> locker(m_lock);
    m_jobs.reserve(m_jobs.size() + children.size());
    // Last pushed is taken first: the walk goes on with the first sub-folder.
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        m_jobs.push_back(FolderJob{child->first, parkedSource, parkedTarget, std::move(child->second)});
    }
    out.childrenQueued = true;
}

void SourceScanner::readFolder(FolderJob &job, platform::DirectoryReader &reader, platform::DirectoryListing &listing)
{
    FolderFindings &out = slot(job.slot);
    if (abandoned(out)) {
        return;
    }
    platform::UniqueFd opened;
    std::shared_ptr<platform::UniqueFd> target;
    if (!openFolder(job, out, reader, listing, opened, target)) {
        return;
    }
    job.parentSource.reset();
    job.parentTarget.reset();
    auto sourceFolder = std::make_shared<platform::UniqueFd>(std::move(opened));
    const int sourceFd = sourceFolder->get();
    const int targetFd = target->isValid() ? target->get() : -1;
    bool volumeChecked = false;
    std::vector<std::pair<std::size_t, QByteArray>> children; // slot, name
    std::vector<bool> twins;
    quint64 checked = 0; // added to the shared count once per folder
    if (out.foldsCase) {
        findCaseTwins(listing, twins);
    }

    for (std::size_t i = 0; i < listing.size(); ++i) {
        if (abandoned(out)) {
            break;
        }
        const char *name = listing.cName(i);
        platform::FileAttributes item;
        if (platform::attributesAt(sourceFd, name, item) != 0) {
            fail(out, Finding::Kind::Error,
                 QStringLiteral("Can't get information from ") + display(joinPath(out.sourcePath, listing.name(i))));
            continue;
        }
        if (!twins.empty() && twins[i]) {
            // Both would land on one copy, each run overwriting the other.
            fail(out, Finding::Kind::Error,
                 QStringLiteral("Failed to copy file ") + display(joinPath(out.sourcePath, listing.name(i)))
                     + QStringLiteral(": another file in this folder has the same name on this volume's file "
                                      "system, which does not tell upper from lower case"));
            continue;
        }
        if (item.isDirectory()) {
            if (m_volume.isVolumeRoot(item)) {
                continue;
            }
            children.emplace_back(addSubfolder(out, listing.name(i)), QByteArray(name));
            continue;
        }
        if (isDsStore(name)) {
            continue;
        }
        CopyFileReason reason = CopyFileReason::none;
        if (!compare(targetFd, name, item, volumeChecked, reason)) {
            abandon(out, Finding::Kind::VolumeGone);
            break;
        }
        if (reason != CopyFileReason::doesNotExist) {
            ++checked;
        }
        // Read for every file, so that a cancel is seen during a first run too.
        if (m_report.cancelRequested()) {
            abandon(out, Finding::Kind::Cancelled);
            break;
        }
        if (!wanted(reason)) {
            continue;
        }
        addPlanned(out, listing.name(i), item, reason);
    }
    m_checked.fetch_add(checked, std::memory_order_relaxed);
    if (!children.empty()) {
        queueChildren(out, sourceFolder, target, children);
    }
    m_jobReady.notify_all();
}
