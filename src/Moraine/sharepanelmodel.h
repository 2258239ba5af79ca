#pragma once

#include "Moraine/kitservices.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace moraine {

/// The share panel's behaviour, driven by the SharePanel2025 view: builds the
/// share text afresh from the current message on every action and hands the
/// prepared post or message to the desktop through the kit's services.
class SharePanelModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString appName READ appName WRITE setAppName NOTIFY appNameChanged)
    Q_PROPERTY(QString emailSubject READ emailSubject WRITE setEmailSubject NOTIFY emailSubjectChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(QString targetURL READ targetURL WRITE setTargetURL NOTIFY targetURLChanged)
    Q_PROPERTY(QString threadsIntentURL READ threadsIntentURL CONSTANT)
    Q_PROPERTY(QString xIntentURL READ xIntentURL CONSTANT)
    /// Where the prepared posts and messages go; without it nothing opens.
    Q_PROPERTY(moraine::KitServices *kit READ kit WRITE setKit NOTIFY kitChanged)

public:
    explicit SharePanelModel(QObject *parent = nullptr);

    [[nodiscard]] QString appName() const { return m_appName; }
    [[nodiscard]] QString emailSubject() const { return m_emailSubject; }
    [[nodiscard]] QString message() const { return m_message; }
    [[nodiscard]] QString targetURL() const { return m_targetURL; }
    [[nodiscard]] QString threadsIntentURL() const;
    [[nodiscard]] QString xIntentURL() const;

    void setAppName(const QString &appName);
    void setEmailSubject(const QString &emailSubject);
    void setMessage(const QString &message);
    void setTargetURL(const QString &targetURL);
    [[nodiscard]] KitServices *kit() const { return m_kit; }
    void setKit(KitServices *kit);

    [[nodiscard]] Q_INVOKABLE QString shareText() const;
    Q_INVOKABLE void shareByMail() const;
    Q_INVOKABLE void shareOnFacebook() const;
    Q_INVOKABLE void shareWithIntent(const QString &baseURL) const;
    /// Replaces the clipboard's content with the share text.
    Q_INVOKABLE void copyMessage() const;

signals:
    void appNameChanged();
    void emailSubjectChanged();
    void messageChanged();
    void targetURLChanged();
    void kitChanged();

private:
    void open(const std::optional<QUrl> &address) const;

    QString m_appName;
    QString m_emailSubject;
    QString m_message;
    QString m_targetURL;
    QPointer<KitServices> m_kit;
};

} // namespace moraine
