#include "updatetestsupport.h"

#include "Moraine/update/pagesignature.h"
#include "Moraine/update/updatepreferences.h"

#include <QDateTime>
#include <QVariantMap>

#include <gtest/gtest.h>

using moraine::NIMBLite;
using moraine::NIMBLiteStatus;
namespace prefs = moraine::updateprefs;

namespace {

const QByteArray kArchive120 = "<a class=\"NIMBArchive x86\" href=\"https://downloads.example/v120.tar.gz\">get</a>";

// A group of build 120 for systems from `minOS`.
QByteArray group120(const QByteArray &minOS = "5.0", const QByteArray &extraAttributes = {})
{
    return groupElement("g120", "120", minOS, "2.1", kArchive120, extraAttributes);
}

} // namespace

using UpdatePage = UpdateTest;

// Each page ends the check in its status with its log lines; only an update
// is stored, and only an update or a newer format sets the update flag.
TEST_F(UpdatePage, EachPageEndsInItsStatusAndStoresOnlyAnUpdate)
{
    using S = NIMBLiteStatus;
    struct Row
    {
        const char *what;
        QByteArray page;
        NIMBLiteStatus status;
        QStringList lines;     // logged exactly
        QString error = {};    // part of the error message
        QStringList absent = {}; // in no log line
        QString build = QStringLiteral("100");
        QString kernel = QStringLiteral("6.1.0-18-amd64");
        int ignoredBuild = 0;
        bool ignoreMaintenance = false;
    };
    const QByteArray downloads = signPage(fixture(QStringLiteral("downloads-page.xhtml")));
    const QByteArray g100 = groupElement("g100", "100", "5.0", "2.0", kArchive120);
    QByteArray hidden = groupElement("hiddenOne", "130", "5.0", "2.3", kArchive120);
    hidden.replace("release NIMBGroup", "NIMBGroup hidden");
    // NIMBGroupX is no group, but a group inside it is found.
    hidden += "<div class=\"NIMBGroupX\" build=\"125\" minOS=\"5.0\">"
              + groupElement("inner", "99", "5.0", "1.9", kArchive120) + "</div>";
    const QString v120 = QStringLiteral("Update: x86 https://downloads.example/v120.tar.gz");
    const auto bounded = [](const char *maxOS) { return signPage(pageTemplate(group120("10.9", QByteArray(" maxOS=\"") + maxOS + "\""))); };
    const QString scanError = QStringLiteral("Scan complete. Status: error");
    const QString tooNew = QStringLiteral("Error: The format of the update file is too new, probably means a newer version.");
    const auto changed = [](const QByteArray &from, const QByteArray &to) { return pageTemplate(group120()).replace(from, to); };
    QByteArray noBody = pageTemplate("");
    noBody.remove(noBody.indexOf("<body>"), noBody.indexOf("</body>") + 7 - noBody.indexOf("<body>"));
    const QString wrongProduct = QStringLiteral("NIMBProductIdentifier != \"com.brindlewick.vellory2\"");
    const QByteArray maintenance = fixture(QStringLiteral("maintenance-page.xhtml")); // its signature is bogus
    QByteArray signedMaintenance = maintenance;
    signedMaintenance.replace("content=\"QUJD\"", "content=\"NIMBSignaturePlaceHolder\"");
    // Two signature metas: the program checks the last one.
    const QByteArray secondMeta = "<meta name=\"NIMBSignature\" content=\"NIMBSignaturePlaceHolder\"/>";
    QByteArray signedSecond = pageTemplate(group120(), "10", secondMeta);
    signedSecond.replace(signedSecond.indexOf(moraine::kSignaturePlaceholder), 24, "QUJD");
    const QByteArray junkSecond = signPage(pageTemplate(group120(), "10", "<meta name=\"NIMBSignature\" content=\"QUJD\"/>"));
    const QString b100 = QStringLiteral("100");
    const QString k61 = QStringLiteral("6.1.0-18-amd64");

    const Row rows[] = {
        // The running build against the groups of the downloads page.
        {"newest build for this system", downloads, S::noUpdateForThisMac, {QStringLiteral("Build 120 <  appVersion 120")}, {}, {}, QStringLiteral("120")},
        // The group for a later system is passed over; the first archive of build 120 is taken.
        {"between the groups", downloads, S::updateAvailable,
         {QStringLiteral("Reject: Requires Linux 99.0"), QStringLiteral("Update: x86 https://downloads.brindlewick.example/vellory2-2.2.0-x86_64.tar.gz"),
          QStringLiteral("Scan complete. Status: updateAvailable [\"buildNumber\": 120, \"displayVersion\": \"2.2.0\", \"groupID\": \"v220\"]")},
         {}, {}, QStringLiteral("110")},
        {"newer than every group", downloads, S::noUpdateForThisMac, {QStringLiteral("Reject: 100 <  appVersion 140")}, {}, {}, QStringLiteral("140")},
        {"ignored build, then the running one", signPage(pageTemplate(groupElement("g110", "110", "5.0", "2.1.0", kArchive120) + g100)),
         S::upToDate, {QStringLiteral("Reject: 110 is set to be ignored.")}, {}, {}, QStringLiteral("100"), QStringLiteral("6.1.0"), 110},
        // A bad group ends the walk with its error.
        {"no minOS", signPage(pageTemplate(groupElement("noMin", "120", QByteArray(), "2.1", kArchive120) + g100)), S::error,
         {scanError}, QStringLiteral("Group noMin invalid minOS"), {QStringLiteral("Build 100 <  appVersion 100")}},
        {"no build", signPage(pageTemplate(groupElement("noBuild", QByteArray(), "5.0", "2.1", kArchive120) + g100)), S::error,
         {scanError}, QStringLiteral("Group noBuild invalid build"), {QStringLiteral("Build 100 <  appVersion 100")}},
        {"no archives", signPage(pageTemplate(groupElement("bare", "120", "5.0", "2.1", "<p>soon</p>") + g100)), S::error,
         {scanError}, QStringLiteral("Group bare invalid NIMBArchive"), {QStringLiteral("Build 100 <  appVersion 100")}},
        // System versions compare as versions (10.10 is after 10.9), both bounds inclusive.
        {"10.8 is before 10.9", signPage(pageTemplate(group120("10.9"))), S::noUpdateForThisMac,
         {QStringLiteral("--- Version 2.1; 20250101 (120) { minOS 10.9 }"), QStringLiteral("Reject: Requires Linux 10.9")},
         {}, {}, QStringLiteral("100"), QStringLiteral("10.8.0")},
        {"equal to maxOS", bounded("10.10"), S::updateAvailable,
         {QStringLiteral("--- Version 2.1; 20250101 (120) { minOS 10.9, maxOS 10.10 }")}, {}, {}, QStringLiteral("100"), QStringLiteral("10.10.0")},
        {"equal to minOS and maxOS", bounded("10.9"), S::updateAvailable, {v120}, {}, {}, QStringLiteral("100"), QStringLiteral("10.9.4")},
        {"after maxOS", bounded("10.10"), S::noUpdateAtThisTime,
         {QStringLiteral("Reject: incompatible with Linux 10.11")}, {}, {}, QStringLiteral("100"), QStringLiteral("10.11.0")},
        // Hidden groups and look-alike class tokens are not offered.
        {"hidden", signPage(pageTemplate(hidden)), S::noUpdateAtThisTime,
         {QStringLiteral("Reject: hidden"), QStringLiteral("Reject: 99 <  appVersion 100")}, {}, {QStringLiteral("(125)")}},
        // A blank archive is passed over; architectures are not compared.
        {"blank archive first", signPage(pageTemplate(groupElement("g120", "120", "5.0", "2.1",
             "<a class=\"NIMBArchive x86 ub\" href=\"  \">none</a><a class=\"NIMBArchive ass\" href=\"https://downloads.example/arm.tar.gz\">arm</a>"))),
         S::updateAvailable, {QStringLiteral("Error: Archive URL is invalid. Architecture: ub"), QStringLiteral("Update: x86 https://downloads.example/arm.tar.gz")}},
        {"only blank archives", signPage(pageTemplate(groupElement("g120", "120", "5.0", "2.1", "<a class=\"NIMBArchive\" href=\"\"/>"))),
         S::noUpdateAtThisTime, {QStringLiteral("Error: Archive URL is invalid. Architecture: ?")}},
        // Page formats other than 10; the last of repeated metas counts.
        {"format 9", signPage(pageTemplate(group120(), "9")), S::error, {}, QStringLiteral("The format of the update file is too old")},
        {"format 10.0", signPage(pageTemplate(group120(), "10.0")), S::error, {}, QStringLiteral("NIMBFormat is invalid."), {QStringLiteral("NIMBFormat is missing")}},
        {"format 11", signPage(pageTemplate(group120(), "11")), S::formatInvalid, {tooNew}, {}, {QStringLiteral("--- Version")}},
        {"format 9 then 10", signPage(pageTemplate(group120(), "9", "<meta name=\"NIMBFormat\" content=\"10\"/>")), S::updateAvailable, {v120}},
        // Maintenance stops before the signature unless ignored; a signed page then completes in it.
        {"maintenance", maintenance, S::maintenance, {QStringLiteral("NIMBMaintenance: Page is in maintenance mode")}, {}, {QStringLiteral("Error: ")}},
        {"maintenance ignored", maintenance, S::error, {}, QStringLiteral("Failed to validate "), {}, b100, k61, 0, true},
        {"signed maintenance ignored", signPage(signedMaintenance), S::maintenance, {QStringLiteral("Scan complete. Status: maintenance")}, {}, {}, b100, k61, 0, true},
        // Product, signature and document problems.
        {"no product", signPage(changed("<meta name=\"NIMBProductIdentifier\" content=\"com.brindlewick.vellory2\"/>", "")), S::error, {}, wrongProduct},
        {"other product", signPage(changed("com.brindlewick.vellory2", "com.brindlewick.other")), S::error, {}, wrongProduct},
        {"no signature", changed("<meta name=\"NIMBSignature\" content=\"NIMBSignaturePlaceHolder\"/>", ""), S::error, {}, QStringLiteral("Signature not found")},
        {"the second of two signature metas signed", signPage(signedSecond), S::updateAvailable, {v120}},
        {"the first of two signature metas signed", junkSecond, S::error, {}, QStringLiteral("Failed to validate ")},
        {"stranger's signature", signPage(pageTemplate(group120()), otherKey()), S::error, {}, QStringLiteral("Failed to validate SecKeyVerifySignature: ")},
        {"no body", signPage(noBody), S::error, {}, QStringLiteral("HTML: Missing 'body' element")},
        {"entity expansion", fixture(QStringLiteral("billion-laughs.xml")), S::error, {}, QStringLiteral("XML: "), {QStringLiteral("--- HTML")}},
        {"too large", signPage(pageTemplate("<p>" + QByteArray(3 * 1024 * 1024, 'x') + "</p>")), S::error, {},
         QStringLiteral("XML: the document is larger than 2097152 bytes"), {QStringLiteral("--- HTML")}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        clearUpdatePreferences();
        if (row.ignoredBuild) {
            platform::preferences()->setValue(prefs::kIgnoreVersionInfo, QVariantMap{{prefs::kBuildNumber, row.ignoredBuild}});
        }
        platform::preferences()->setValue(prefs::kIgnoreMaintenance, row.ignoreMaintenance);
        const auto check = ran([&](NIMBLite &c) { c.processHTML(row.page, std::nullopt); }, row.build, row.kernel);
        EXPECT_EQ(check->status(), row.status);
        for (const QString &line : row.lines) {
            EXPECT_TRUE(logHas(*check, line));
        }
        EXPECT_TRUE(check->errorMessage().value_or(QString()).contains(row.error)) << check->errorMessage().value_or(QString()).toStdString();
        for (const QString &text : row.absent) {
            EXPECT_FALSE(check->log().join(QLatin1Char('\n')).contains(text)) << text.toStdString();
        }
        const QVariantMap stored = pref(prefs::kCurrentUpdateInfo).toMap();
        EXPECT_EQ(check->updateDetails().value_or(QVariantMap()), stored);
        EXPECT_EQ(stored.value(prefs::kBuildNumber).typeId(), row.status == S::updateAvailable ? QMetaType::Int : QMetaType::UnknownType);
        if (row.status == S::maintenance) {
            EXPECT_TRUE(check->maintenanceMode());
            EXPECT_LE(std::abs(QDateTime::currentDateTimeUtc().secsTo(pref(prefs::kNextUpdateCheck).toDateTime())), 2)
                << "the next check is due at once";
        }
        EXPECT_EQ(pref(prefs::kCurrentUpdateInfo).isValid(), row.status == S::updateAvailable);
        EXPECT_EQ(pref(prefs::kUpdateAvailable).toBool(), row.status == S::updateAvailable || row.status == S::formatInvalid);
    }
    services.setPublicKey(std::nullopt);
    const QByteArray page = signPage(pageTemplate(group120()));
    EXPECT_EQ(ran([&](NIMBLite &c) { c.processHTML(page, std::nullopt); })->errorMessage(),
              QStringLiteral("Signature invalid, public key is missing"));
}
