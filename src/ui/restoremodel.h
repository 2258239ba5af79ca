#pragma once

#include "backup/backupbrowser.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class BackupController;

/// What the Restore window shows and does: the volume to restore from (the
/// connected destination, or, with none set, a choice of the mounted volumes
/// that hold backups), the computer whose folder is browsed, the items of
/// the folder being browsed (rows), the picked items, the target and what
/// becomes of a differing local file. restore() starts the job. The volume
/// is read in the background; `busy` is true meanwhile.
class RestoreModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(BackupController *controller READ controller WRITE setController NOTIFY changed)
    Q_PROPERTY(QStringList volumePaths READ volumePaths NOTIFY changed)
    Q_PROPERTY(bool offersVolumes READ offersVolumes NOTIFY changed)
    Q_PROPERTY(QString volumePath READ volumePath WRITE setVolumePath NOTIFY changed)
    Q_PROPERTY(QStringList computers READ computers NOTIFY changed)
    Q_PROPERTY(QString computer READ computer WRITE setComputer NOTIFY changed)
    Q_PROPERTY(QString folder READ folder NOTIFY changed)
    Q_PROPERTY(bool canGoUp READ canGoUp NOTIFY changed)
    Q_PROPERTY(QStringList picked READ picked NOTIFY changed)
    Q_PROPERTY(bool canRestoreInPlace READ canRestoreInPlace NOTIFY changed)
    Q_PROPERTY(bool inPlace READ inPlace WRITE setInPlace NOTIFY changed)
    Q_PROPERTY(QString targetFolder READ targetFolder WRITE setTargetFolder NOTIFY changed)
    Q_PROPERTY(bool besideDifferences READ besideDifferences WRITE setBesideDifferences NOTIFY changed)
    Q_PROPERTY(bool canRestore READ canRestore NOTIFY changed)
    Q_PROPERTY(bool busy READ busy NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)

public:
    enum Role { NameRole = Qt::UserRole + 1, PathRole, IsFolderRole, IsLinkRole, SizeTextRole, TimeTextRole, PickedRole };

    explicit RestoreModel(QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] BackupController *controller() const { return m_controller; }
    void setController(BackupController *controller);
    [[nodiscard]] QStringList volumePaths() const { return m_volumePaths; }
    [[nodiscard]] bool offersVolumes() const;
    [[nodiscard]] QString volumePath() const { return m_volumePath; }
    void setVolumePath(const QString &path);
    [[nodiscard]] QStringList computers() const { return m_computers; }
    [[nodiscard]] QString computer() const { return m_computer; }
    void setComputer(const QString &computer);
    /// The original path of the folder browsed; empty while the set's
    /// sources are shown.
    [[nodiscard]] QString folder() const { return m_folder; }
    [[nodiscard]] bool canGoUp() const;
    [[nodiscard]] QStringList picked() const { return m_picked; }
    /// Only this computer's own items can go back where they were.
    [[nodiscard]] bool canRestoreInPlace() const;
    [[nodiscard]] bool inPlace() const { return m_inPlace && canRestoreInPlace(); }
    void setInPlace(bool inPlace);
    [[nodiscard]] QString targetFolder() const { return m_targetFolder; }
    /// A path, or a file URL as a folder chooser gives it.
    void setTargetFolder(const QString &folder);
    [[nodiscard]] bool besideDifferences() const { return m_besideDifferences; }
    void setBesideDifferences(bool beside);
    [[nodiscard]] bool canRestore() const;
    [[nodiscard]] bool busy() const { return m_pendingReads > 0; }
    /// Why nothing can be shown, or empty text.
    [[nodiscard]] QString message() const { return m_message; }

    /// Starts afresh from the destination's state (the window was shown
    /// again): nothing picked, the top of this computer's folder.
    Q_INVOKABLE void refresh();
    /// Browses into the folder `path`.
    Q_INVOKABLE void open(const QString &path);
    Q_INVOKABLE void goUp();
    Q_INVOKABLE void setPicked(const QString &path, bool picked);
    /// Starts the restore job (shown in the Backups window); false when
    /// nothing can be restored yet.
    Q_INVOKABLE bool restore();

signals:
    void changed();

private:
    void findVolumes();
    void readComputers();
    void readFolder();
    /// Runs `read` in the background and `apply` with its result here,
    /// unless a newer read was started meanwhile.
    template <typename Result>
    void readInBackground(std::function<Result()> read, std::function<void(const Result &)> apply);
    [[nodiscard]] QString thisComputer() const;
    /// Where browsing starts: the sources (empty text) or "/".
    [[nodiscard]] QString topFolder() const;
    void setMessage(const QString &message);

    QPointer<BackupController> m_controller;
    QStringList m_volumePaths;
    QString m_volumePath;
    QStringList m_computers;
    QString m_computer;
    QString m_folder;
    QList<BackupBrowser::Item> m_items;
    QStringList m_picked;
    bool m_inPlace = true;
    QString m_targetFolder;
    bool m_besideDifferences = true;
    QString m_message;
    int m_pendingReads = 0;
    quint64 m_generation = 0;
};
