#include "Moraine/update/updatepagereader.h"

#include "Moraine/update/pagesignature.h"
#include "Moraine/update/updategroup.h"
#include "Moraine/update/updatepreferences.h"
#include "Moraine/update/xmldocument.h"

#include <QDate>
#include <QLocale>

namespace moraine {

namespace {

QString versionLine(const UpdateGroup &group, const QString &dateText)
{
    QString line = QStringLiteral("--- Version ") + group.displayVersion + QStringLiteral("; ") + dateText
                   + QStringLiteral(" (") + QString::number(group.build) + QStringLiteral(") { minOS ")
                   + boundText(group.minOS);
    if (group.maxOS) {
        line += QStringLiteral(", maxOS ") + group.maxOS->toString();
    }
    return line + QStringLiteral(" }");
}

// One reading of one page; each step of the order in which a page is read
// is one method. Reading stops at the first terminal error unless it inspects.
class PageReader
{
public:
    PageReader(const QByteArray &page, const PageReadingContext &context)
        : m_page(page)
        , m_context(context)
    {
        m_result.status = context.status;
        m_result.archiveURLS = context.archiveURLS;
    }

    PageReading read()
    {
        logApplication();
        XmlLimits limits;
        limits.maxBytes = kMaxUpdatePageBytes;
        const KMResult<XmlDocument> document = XmlDocument::parse(m_page, limits);
        if (!document.ok()) {
            error(QStringLiteral("XML: ") + document.error().domain);
            return m_result;
        }
        log(QStringLiteral("--- HTML"));
        const XmlNode *root = document.value().root();
        if (!root) {
            error(QStringLiteral("HTML: Missing 'head' element"));
            return m_result;
        }
        if (readHeads(*root) && checkFormat() && checkProduct() && checkSignature(*root) && walkBodies(*root)) {
            closeScan();
        }
        return m_result;
    }

private:
    void log(const QString &line) { m_result.steps.append({PageStep::Kind::log, line, {}}); }

    void error(const QString &message)
    {
        m_result.steps.append({PageStep::Kind::error, message, {}});
        m_result.errorMessage = message;
        m_result.status = NIMBLiteStatus::error;
    }

    // An error that ends the reading unless it inspects; false when it ends it.
    bool errorGoOnIfInspecting(const QString &message)
    {
        error(message);
        return m_context.inspect;
    }

    void logApplication()
    {
        log(QStringLiteral("--- Application Information"));
        log(QStringLiteral("build: %1; Linux: %2; processor: %3; %4")
                .arg(m_context.appVersion)
                .arg(m_context.osVersion.toString(), m_context.architecture, m_context.bundleIdentifier));
        log(QStringLiteral("--- XML"));
    }

    // Every head child of the root, its children in order.
    bool readHeads(const XmlNode &root)
    {
        for (const XmlNode &head : root.children()) {
            if (!head.isElement() || head.name() != QLatin1String("head")) {
                continue;
            }
            for (const XmlNode &item : head.children()) {
                if (item.isElement() && !readHeadItem(item)) {
                    return false;
                }
            }
        }
        return true;
    }

    bool readHeadItem(const XmlNode &item)
    {
        if (item.name() == QLatin1String("title")) {
            if (m_context.inspect) {
                log(QStringLiteral("Title: ") + item.textContent());
            }
        } else if (item.name() == QLatin1String("base")) {
            m_result.baseURL = item.attribute(QStringLiteral("href"));
            if (m_context.inspect) {
                log(QStringLiteral("baseURL: \"") + m_result.baseURL.value_or(QStringLiteral("?")) + QLatin1Char('"'));
            }
        } else if (item.name() == QLatin1String("meta")) {
            return readMeta(item.attribute(QStringLiteral("name")).value_or(QString()),
                            item.attribute(QStringLiteral("content")));
        }
        return true;
    }

    bool readMeta(const QString &name, const std::optional<QString> &content)
    {
        if (name == QLatin1String("NIMBFormat")) {
            m_result.dataFormat = content ? parseDecimalInteger(*content) : std::nullopt;
            if (!m_result.dataFormat) {
                return errorGoOnIfInspecting(QStringLiteral("NIMBFormat is invalid."));
            }
            if (m_context.inspect) {
                log(QStringLiteral("NIMBFormat ") + QString::number(*m_result.dataFormat));
            }
        } else if (name == QLatin1String("NIMBProductIdentifier")) {
            m_productMatches = content && *content == m_context.bundleIdentifier;
            if (!content) {
                return errorGoOnIfInspecting(QStringLiteral("NIMBProductIdentifier is invalid"));
            }
            if (m_context.inspect) {
                log(QStringLiteral("NIMBProductIdentifier: ") + *content);
            }
        } else if (name == QLatin1String("NIMBMaintenance") && content == QLatin1String("true")) {
            m_result.status = NIMBLiteStatus::maintenance;
            m_result.maintenanceMode = true;
            log(QStringLiteral("NIMBMaintenance: Page is in maintenance mode"));
            if (!m_context.inspect && !m_context.ignoreMaintenance) {
                // Check again at the next launch.
                m_result.steps.append({PageStep::Kind::checkAgainNow, {}, {}});
                return false;
            }
        }
        return true;
    }

    bool checkFormat()
    {
        const std::optional<int> format = m_result.dataFormat;
        if (!format) {
            return errorGoOnIfInspecting(QStringLiteral("NIMBFormat is missing"));
        }
        if (*format < 10) {
            return errorGoOnIfInspecting(QStringLiteral("The format of the update file is too old"));
        }
        if (*format > 10) {
            error(QStringLiteral("The format of the update file is too new, probably means a newer version."));
            if (!m_context.inspect) {
                m_result.status = NIMBLiteStatus::formatInvalid;
                m_result.steps.append({PageStep::Kind::markUpdateAvailable, {}, {}});
                return false;
            }
        }
        return true;
    }

    bool checkProduct()
    {
        if (m_productMatches) {
            return true;
        }
        return errorGoOnIfInspecting(QStringLiteral("NIMBProductIdentifier != \"") + m_context.bundleIdentifier
                                     + QLatin1Char('"'));
    }

    // The last signature meta of the page counts.
    bool checkSignature(const XmlNode &root)
    {
        const std::optional<QString> signature = signatureMetas(root).lastContent;
        if (!m_context.publicKey) {
            return errorGoOnIfInspecting(QStringLiteral("Signature invalid, public key is missing"));
        }
        if (!signature) {
            return errorGoOnIfInspecting(QStringLiteral("Signature not found"));
        }
        if (const auto failure = verifyPageSignature(m_page, *signature, *m_context.publicKey)) {
            return errorGoOnIfInspecting(QStringLiteral("Failed to validate ") + *failure);
        }
        return true;
    }

    bool walkBodies(const XmlNode &root)
    {
        bool sawBody = false;
        for (const XmlNode &body : root.children()) {
            if (!body.isElement() || body.name() != QLatin1String("body")) {
                continue;
            }
            sawBody = true;
            if (!choosing() && !m_context.inspect) {
                break;
            }
            scanGroups(body);
        }
        if (!sawBody) {
            error(QStringLiteral("HTML: Missing 'body' element"));
        }
        return sawBody;
    }

    // Outside inspection, groups are looked at only while no decision is made.
    [[nodiscard]] bool choosing() const { return m_result.status == NIMBLiteStatus::busy; }

    void scanGroups(const XmlNode &element)
    {
        for (const XmlNode &child : element.children()) {
            if (!child.isElement()) {
                continue;
            }
            if (!m_context.inspect && !choosing()) {
                return;
            }
            if (!isUpdateGroup(child)) {
                scanGroups(child);
            } else if (m_context.inspect) {
                inspectGroup(readUpdateGroup(child));
            } else {
                selectGroup(readUpdateGroup(child));
            }
        }
    }

    // The system and build rules; true when the group was passed over by them.
    bool rejectedForSystemOrBuild(const UpdateGroup &group)
    {
        if (group.hidden) {
            log(QStringLiteral("Reject: hidden"));
            return true;
        }
        if (!group.minOS) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" invalid minOS"));
            return true;
        }
        if (m_context.osVersion < *group.minOS) {
            log(QStringLiteral("Reject: Requires Linux ") + group.minOS->toString());
            m_rejectedForSystem = true;
            return true;
        }
        if (group.maxOS && m_context.osVersion > *group.maxOS) {
            log(QStringLiteral("Reject: incompatible with Linux ") + m_context.osVersion.toString());
            return true;
        }
        if (group.build == -1) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" invalid build"));
            return true;
        }
        if (m_context.ignoredBuild == group.build) {
            log(QStringLiteral("Reject: %1 is set to be ignored.").arg(group.build));
            return true;
        }
        if (group.build < m_context.appVersion) {
            log(QStringLiteral("Reject: %1 <  appVersion %2").arg(group.build).arg(m_context.appVersion));
            return true;
        }
        return false;
    }

    void selectGroup(const UpdateGroup &group)
    {
        log(versionLine(group, group.date));
        if (rejectedForSystemOrBuild(group)) {
            return;
        }
        if (group.build == m_context.appVersion) {
            log(QStringLiteral("Build %1 <  appVersion %2").arg(group.build).arg(m_context.appVersion));
            m_result.status = m_rejectedForSystem ? NIMBLiteStatus::noUpdateForThisMac : NIMBLiteStatus::upToDate;
            m_result.updateDetails.reset();
            return;
        }
        if (group.archives.isEmpty()) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" invalid NIMBArchive"));
            return;
        }
        for (const UpdateArchive &archive : group.archives) {
            if (!archive.url) {
                log(QStringLiteral("Error: Archive URL is invalid. Architecture: ")
                    + archive.architecture.value_or(QStringLiteral("?")));
                continue;
            }
            log(QStringLiteral("Update: ") + m_context.architecture + QLatin1Char(' ') + *archive.url);
            const QVariantMap update{{updateprefs::kGroupID, group.id},
                                     {updateprefs::kDisplayVersion, group.displayVersion},
                                     {updateprefs::kBuildNumber, group.build}};
            m_result.steps.append({PageStep::Kind::storeUpdate, {}, update});
            m_result.status = NIMBLiteStatus::updateAvailable;
            m_result.updateDetails = update;
            return;
        }
    }

    void inspectGroup(const UpdateGroup &group)
    {
        const bool dateValid = isValidBasicDate(group.date);
        const QString dateText = dateValid ? QLocale().toString(QDate::fromString(group.date, QStringLiteral("yyyyMMdd")),
                                                                QStringLiteral("MMM d, yyyy"))
                                           : group.date;
        log(versionLine(group, dateText));
        if (group.displayVersion.isEmpty()) {
            log(QStringLiteral("Error: Missing \"nimbgroupversion\""));
        }
        if (group.date == QLatin1String("?")) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" is missing date"));
        } else if (!dateValid) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" has an invalid date \"") + group.date
                  + QLatin1Char('"'));
        }
        if (group.archives.isEmpty()) {
            error(QStringLiteral("Group ") + group.id + QStringLiteral(" invalid NIMBArchive"));
        }
        for (const UpdateArchive &archive : group.archives) {
            inspectArchive(archive);
        }
    }

    void inspectArchive(const UpdateArchive &archive)
    {
        if (!archive.url) {
            log(QStringLiteral("Error: Archive URL is invalid. Architecture: ")
                + archive.architecture.value_or(QStringLiteral("?")));
            return;
        }
        QString url = *archive.url;
        if (!url.contains(QStringLiteral("://"))) {
            url = m_result.baseURL.value_or(QString()) + url;
        }
        if (!url.startsWith(QStringLiteral("https://"))) {
            log(QStringLiteral("Error: Not HTTPS! ") + url);
        }
        if (m_result.archiveURLS.contains(url)) {
            log(QStringLiteral("Error: Duplicate ") + url);
        }
        m_result.archiveURLS.append(url);
        log(QStringLiteral("Update: ") + m_context.architecture + QLatin1Char(' ') + url);
    }

    void closeScan()
    {
        if (m_context.inspect) {
            return;
        }
        if (choosing()) {
            m_result.status = m_rejectedForSystem ? NIMBLiteStatus::noUpdateForThisMac
                                                  : NIMBLiteStatus::noUpdateAtThisTime;
        }
        QString line = QStringLiteral("Scan complete. Status: ") + statusName(m_result.status);
        if (m_result.updateDetails) {
            line += QLatin1Char(' ') + describeDictionary(*m_result.updateDetails);
        }
        log(line);
    }

    const QByteArray &m_page;
    const PageReadingContext &m_context;
    PageReading m_result;
    bool m_productMatches = false;
    bool m_rejectedForSystem = false;
};

} // namespace

PageReading readUpdatePage(const QByteArray &page, const PageReadingContext &context)
{
    return PageReader(page, context).read();
}

QString describeDictionary(const QVariantMap &map)
{
    QStringList entries;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant &value = it.value();
        const QString shown = value.typeId() == QMetaType::QString
                                  ? QLatin1Char('"') + value.toString() + QLatin1Char('"')
                                  : value.toString();
        entries.append(QLatin1Char('"') + it.key() + QStringLiteral("\": ") + shown);
    }
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace moraine
