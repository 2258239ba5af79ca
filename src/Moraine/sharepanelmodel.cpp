#include "sharepanelmodel.h"

#include "Moraine/sharetargets.h"

#include <QClipboard>
#include <QGuiApplication>

namespace moraine {

SharePanelModel::SharePanelModel(QObject *parent)
    : QObject(parent)
{
}

QString SharePanelModel::threadsIntentURL() const
{
    return moraine::threadsIntentURL();
}

QString SharePanelModel::xIntentURL() const
{
    return moraine::xIntentURL();
}

void SharePanelModel::setAppName(const QString &appName)
{
    if (m_appName == appName) {
        return;
    }
    m_appName = appName;
    emit appNameChanged();
}

void SharePanelModel::setEmailSubject(const QString &emailSubject)
{
    if (m_emailSubject == emailSubject) {
        return;
    }
    m_emailSubject = emailSubject;
    emit emailSubjectChanged();
}

void SharePanelModel::setMessage(const QString &message)
{
    if (m_message == message) {
        return;
    }
    m_message = message;
    emit messageChanged();
}

void SharePanelModel::setTargetURL(const QString &targetURL)
{
    if (m_targetURL == targetURL) {
        return;
    }
    m_targetURL = targetURL;
    emit targetURLChanged();
}

void SharePanelModel::setKit(KitServices *kit)
{
    if (m_kit == kit) {
        return;
    }
    m_kit = kit;
    emit kitChanged();
}

void SharePanelModel::open(const std::optional<QUrl> &address) const
{
    if (m_kit) {
        openComponents(m_kit->urlOpener(), address);
    }
}

QString SharePanelModel::shareText() const
{
    return moraine::shareText(m_message, m_appName, m_targetURL);
}

void SharePanelModel::shareByMail() const
{
    open(mailShareUrl(m_emailSubject, shareText()));
}

void SharePanelModel::shareOnFacebook() const
{
    open(facebookShareUrl(facebookSharerHost(), m_targetURL));
}

void SharePanelModel::shareWithIntent(const QString &baseURL) const
{
    open(intentShareUrl(baseURL, shareText()));
}

void SharePanelModel::copyMessage() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return;
    }
    clipboard->clear();
    clipboard->setText(shareText());
}

} // namespace moraine
