#pragma once

#include "Moraine/kitservices.h"
#include "Moraine/kmsysteminfo.h"
#include "Moraine/systemreport.h"

#include <QString>
#include <QUrl>

namespace moraine {

/// Why a mail address could not be made.
enum class MailUrlError { none, invalidBase, invalidResult };

struct MailUrlResult
{
    QUrl url;
    MailUrlError error = MailUrlError::none;
};

/// "mailto:" + `to` with exactly the query items "subject" then "body".
/// An address that is not a plain mail address (one that would add its own
/// query, fragment or host) is refused as an invalid base.
[[nodiscard]] MailUrlResult mailUrl(const QString &to, const QString &subject, const QString &body);

/// The subject with every "<appName>" replaced by `appName` ("Unknown" when
/// empty).
[[nodiscard]] QString feedbackSubject(const QString &subjectTemplate, const QString &appName);

/// The prompt, two line breaks, then the three report lines, each ending in
/// a line break.
[[nodiscard]] QString feedbackBody(const QString &prompt, const SystemReport &report);

/// Opens a new message in the desktop's mail program. Failures to form the
/// address show the kit alert. Callable from any thread: the desktop is asked
/// on the thread of `kit`.
void openMail(KitServices &kit, const QString &to, const QString &subject, const QString &body);

/// Builds the report and opens the feedback message to the support address.
/// Runs where it is called; `sendFeedback` calls it on a background task.
void composeFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt,
                     const QString &appName, const KMSystemInfo &info);

/// Starts the feedback e-mail and returns at once; the report is built on a
/// background task. Call on the main thread. The overload takes the facts
/// source to report from; it and `kit` must outlive the task.
void sendFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt);
void sendFeedback(KitServices &kit, const QString &subjectTemplate, const QString &prompt,
                  const platform::SystemFacts &facts);

} // namespace moraine
