#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

/// The preferences the main window's views show and change: "iconSize"
/// (source grid, 100 when never set) and the two automatic behaviours,
/// "autoBackupOnConnect" and "autoEjectOnComplete" (on when never set).
/// Values are read when the object is made and written through at once.
class ViewPreferences : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int iconSize READ iconSize WRITE setIconSize NOTIFY iconSizeChanged)
    Q_PROPERTY(bool autoBackupOnConnect READ autoBackupOnConnect WRITE setAutoBackupOnConnect NOTIFY
                   autoBackupOnConnectChanged)
    Q_PROPERTY(bool autoEjectOnComplete READ autoEjectOnComplete WRITE setAutoEjectOnComplete NOTIFY
                   autoEjectOnCompleteChanged)

public:
    static constexpr int kDefaultIconSize = 100;

    explicit ViewPreferences(QObject *parent = nullptr);

    [[nodiscard]] int iconSize() const { return m_iconSize; }
    void setIconSize(int size);
    [[nodiscard]] bool autoBackupOnConnect() const { return m_autoBackupOnConnect; }
    void setAutoBackupOnConnect(bool on);
    [[nodiscard]] bool autoEjectOnComplete() const { return m_autoEjectOnComplete; }
    void setAutoEjectOnComplete(bool on);

    /// Reads every value from the store again.
    Q_INVOKABLE void reload();

signals:
    void iconSizeChanged();
    void autoBackupOnConnectChanged();
    void autoEjectOnCompleteChanged();

private:
    int m_iconSize = kDefaultIconSize;
    bool m_autoBackupOnConnect = true;
    bool m_autoEjectOnComplete = true;
};
