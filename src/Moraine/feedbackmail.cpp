#include "Moraine/feedbackmail.h"

#include "Moraine/kitalert.h"
#include "Moraine/urlquery.h"
#include "platform/buildinfo.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QVariant>

namespace moraine {
namespace {

// Above the pool's default: the person is waiting for the mail to appear.
constexpr int userInitiatedPriority = 1;

void openOnKitThread(KitServices &kit, const QUrl &url)
{
    if (QThread::currentThread() == kit.thread()) {
        kit.urlOpener().openUrl(url);
        return;
    }
    QMetaObject::invokeMethod(
        &kit, [&kit, url] { kit.urlOpener().openUrl(url); }, Qt::QueuedConnection);
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

void openMail(KitServices &kit, const QString &to, const QString &subject, const QString &body)
{
    const MailUrlResult mail = mailUrl(to, subject, body);
    switch (mail.error) {
    case MailUrlError::invalidBase:
        kit.showAlert(QCoreApplication::translate("KitAlert", "Unable to generate e-mail"),
                      QCoreApplication::translate("KitAlert", "Unable to create base URL."), QString(), true);
        return;
    case MailUrlError::invalidResult:
        kit.showAlert(QCoreApplication::translate("KitAlert", "Unable to generate e-mail"),
                      QCoreApplication::translate("KitAlert", "Resulting URL is invalid."), QString(), true);
        return;
    case MailUrlError::none:
        break;
    }
    openOnKitThread(kit, mail.url);
}

void composeFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt,
                     const QString &appName, const KMSystemInfo &info)
{
    const QString body = feedbackBody(prompt, buildSystemReport(info, versionString()));
    openMail(kit, platform::buildinfo::supportEmail(), feedbackSubject(subjectTemplate, appName), body);
}

void sendFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt,
                  const platform::SystemFacts &facts)
{
    // The name is read here, on the main thread, where the application sets it.
    const QString appName = applicationDisplayName();
    QThreadPool::globalInstance()->start(
        [&kit, subjectTemplate, prompt, appName, &facts] {
            composeFeedback(kit, subjectTemplate, prompt, appName, KMSystemInfo(facts));
        },
        userInitiatedPriority);
}

void sendFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt)
{
    sendFeedback(kit, subjectTemplate, prompt, platform::systemFacts());
}

} // namespace moraine
