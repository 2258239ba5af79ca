#include "platform/buildinfo.h"

#include "velloryconfig.h"

namespace platform::buildinfo {

QString applicationName() { return QStringLiteral(VELLORY_APP_NAME); }
QString organizationName() { return QStringLiteral(VELLORY_ORGANIZATION); }
QString shortVersion() { return QStringLiteral(VELLORY_VERSION); }
QString buildNumber() { return QStringLiteral(VELLORY_BUILD_NUMBER); }
QString bundleIdentifier() { return QStringLiteral(VELLORY_BUNDLE_ID); }
QString makerWebsite() { return QStringLiteral(VELLORY_MAKER_WEBSITE); }
QString newsPage() { return QStringLiteral(VELLORY_NEWS_PAGE); }
QString productPage() { return QStringLiteral(VELLORY_PRODUCT_PAGE); }
QString updatePageUrl() { return QStringLiteral(VELLORY_UPDATE_PAGE); }
QString supportEmail() { return QStringLiteral(VELLORY_SUPPORT_EMAIL); }
QString shareFacebookHost() { return QStringLiteral(VELLORY_SHARE_FACEBOOK); }
QString shareThreadsHost() { return QStringLiteral(VELLORY_SHARE_THREADS); }
QString shareXHost() { return QStringLiteral(VELLORY_SHARE_X); }

QString versionText(const QString &program)
{
    return QStringLiteral("%1 %2\n%3 build %4, by %5 <%6>")
        .arg(program, shortVersion(), applicationName(), buildNumber(), organizationName(), makerWebsite());
}

} // namespace platform::buildinfo
