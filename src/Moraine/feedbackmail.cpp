#include "Moraine/feedbackmail.h"

#include "Moraine/kitalert.h"
#include "Moraine/urlquery.h"
#include "platform/buildinfo.h"
#include "platform/urlopener.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QVariant>

namespace moraine {
namespace {

// Above the pool's default: the person is waiting for the mail to appear.
constexpr int userInitiatedPriority = 1;

void openOnMainThread(const QUrl &url)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        return;
    }
    if (QThread::currentThread() == app->thread()) {
        platform::urlOpener().openUrl(url);
        return;
    }
    QMetaObject::invokeMethod(app, [url] { platform::urlOpener().openUrl(url); }, Qt::QueuedConnection);
}

QString applicationDisplayName()
{
    // A graphical application may give itself a display name; the kit
    // needs no graphics library to read it.
    const QString display = QCoreApplication::instance()
        ? QCoreApplication::instance()->property("applicationDisplayName").toString()
        : QString();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

} // namespace

MailUrlResult mailUrl(const QString &to, const QString &subject, const QString &body)
{
    const QUrl base(QStringLiteral("mailto:") + to, QUrl::StrictMode);
    if (!base.isValid() || base.hasQuery() || base.hasFragment() || !base.authority().isEmpty()) {
        return {QUrl(), MailUrlError::invalidBase};
    }
    const QUrl url = withQueryItems(base, {{QStringLiteral("subject"), subject}, {QStringLiteral("body"), body}});
    if (!url.isValid()) {
        return {QUrl(), MailUrlError::invalidResult};
    }
    return {url, MailUrlError::none};
}

QString feedbackSubject(const QString &subjectTemplate, const QString &appName)
{
    QString subject = subjectTemplate;
    subject.replace(QStringLiteral("<appName>"), appName.isEmpty() ? QStringLiteral("Unknown") : appName);
    return subject;
}

QString feedbackBody(const QString &prompt, const SystemReport &report)
{
    return prompt + QStringLiteral("\n\n") + reportText(report);
}

void openMail(const QString &to, const QString &subject, const QString &body)
{
    const MailUrlResult mail = mailUrl(to, subject, body);
    switch (mail.error) {
    case MailUrlError::invalidBase:
        showAlert(QCoreApplication::translate("KitAlert", "Unable to generate e-mail"),
                  QCoreApplication::translate("KitAlert", "Unable to create base URL."), QString(),
                  true);
        return;
    case MailUrlError::invalidResult:
        showAlert(QCoreApplication::translate("KitAlert", "Unable to generate e-mail"),
                  QCoreApplication::translate("KitAlert", "Resulting URL is invalid."), QString(),
                  true);
        return;
    case MailUrlError::none:
        break;
    }
    openOnMainThread(mail.url);
}

void composeFeedback(const QString &subjectTemplate, const QString &prompt, const QString &appName,
                     const KMSystemInfo &info)
{
    const QString body = feedbackBody(prompt, buildSystemReport(info, versionString()));
    openMail(platform::buildinfo::supportEmail(), feedbackSubject(subjectTemplate, appName), body);
}

void composeFeedback(const QString &subjectTemplate, const QString &prompt)
{
    composeFeedback(subjectTemplate, prompt, applicationDisplayName(), KMSystemInfo());
}

void sendFeedback(const QString &subjectTemplate, const QString &prompt, const platform::SystemFacts &facts)
{
    // The name is read here, on the main thread, where the application sets it.
    const QString appName = applicationDisplayName();
    QThreadPool::globalInstance()->start(
        [subjectTemplate, prompt, appName, &facts] {
            composeFeedback(subjectTemplate, prompt, appName, KMSystemInfo(facts));
        },
        userInitiatedPriority);
}

void sendFeedback(const QString &subjectTemplate, const QString &prompt)
{
    sendFeedback(subjectTemplate, prompt, platform::systemFacts());
}

} // namespace moraine
