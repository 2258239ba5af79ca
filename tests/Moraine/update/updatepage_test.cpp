#include "updatetestsupport.h"

#include "Moraine/update/nimblite.h"
#include "Moraine/update/updatepreferences.h"
#include "platform/preferences.h"

#include <QDateTime>
#include <QVariantMap>

#include <gtest/gtest.h>

using moraine::NIMBLite;
using moraine::NIMBLiteStatus;
namespace prefs = moraine::updateprefs;

namespace {

const QByteArray kArchive120 = "<a class=\"NIMBArchive x86\" href=\"https://downloads.example/v120.tar.gz\">get</a>";

} // namespace

// Processing a page handed in directly, as a tool or a test does.
class UpdatePage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clearUpdatePreferences();
        NIMBLite::setPublicKey(publisherKey().publicKey);
    }
    void TearDown() override
    {
        NIMBLite::setPublicKey(std::nullopt);
        clearUpdatePreferences();
    }

    // Runs the page through a fresh check of a program with this build on this kernel.
    std::unique_ptr<NIMBLite> process(const QByteArray &page, const QString &build = QStringLiteral("100"),
                                      const QString &kernel = QStringLiteral("6.1.0-18-amd64"), bool inspect = false)
    {
        auto check = std::make_unique<NIMBLite>(facts(build, kernel));
        check->setMap(inspect);
        CompletionCounter completions(*check);
        check->processHTML(page, std::nullopt);
        EXPECT_TRUE(completions.waitForCompletion());
        completions.settle();
        EXPECT_EQ(completions.count(), 1) << "a check ends with exactly one completion";
        return check;
    }

    static QVariant pref(const QString &key) { return platform::preferences()->value(key); }
};

TEST_F(UpdatePage, GroupWalkOnBuild100RejectsTheNewerSystemAndRecordsBuild120)
{
    const auto check = process(signPage(fixture(QStringLiteral("downloads-page.xhtml"))));
    EXPECT_EQ(check->status(), NIMBLiteStatus::updateAvailable);
    EXPECT_TRUE(logHas(*check, QStringLiteral("build: 100; macOS: 6.1; processor: x86; com.brindlewick.vellory2")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("--- Version 2.3.0; 20250601 (130) { minOS 99.0 }")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Reject: Requires macOS 99.0")));
    // The trimmed URL of the first archive is logged; the machine's code stands before it.
    EXPECT_TRUE(logHas(*check, QStringLiteral("Update: x86 https://downloads.brindlewick.example/vellory2-2.2.0-x86_64.tar.gz")));
    EXPECT_EQ(check->log().last(),
              QStringLiteral("Scan complete. Status: updateAvailable [\"buildNumber\": 120, \"displayVersion\": "
                             "\"2.2.0\", \"groupID\": \"v220\"]"));

    const QVariantMap stored = pref(prefs::kCurrentUpdateInfo).toMap();
    EXPECT_EQ(stored.value(prefs::kGroupID).toString(), QStringLiteral("v220"));
    EXPECT_EQ(stored.value(prefs::kDisplayVersion).toString(), QStringLiteral("2.2.0"));
    EXPECT_EQ(stored.value(prefs::kBuildNumber).typeId(), QMetaType::Int);
    EXPECT_EQ(stored.value(prefs::kBuildNumber).toInt(), 120);
    EXPECT_TRUE(pref(prefs::kUpdateAvailable).toBool());
    EXPECT_EQ(check->updateDetails(), stored);
}

TEST_F(UpdatePage, OnTheNewestBuildForThisSystemItIsNoUpdateForThisMacNotUpToDate)
{
    const QByteArray page = signPage(fixture(QStringLiteral("downloads-page.xhtml")));
    const auto on120 = process(page, QStringLiteral("120"));
    EXPECT_EQ(on120->status(), NIMBLiteStatus::noUpdateForThisMac);
    EXPECT_TRUE(logHas(*on120, QStringLiteral("Build 120 <  appVersion 120")));
    EXPECT_FALSE(on120->updateDetails().has_value());
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid());

    // Build 110 sits between the groups: 120 is newer, so it is the update.
    EXPECT_EQ(process(page, QStringLiteral("110"))->status(), NIMBLiteStatus::updateAvailable);
    // Newer than everything: each group is rejected as older.
    const auto on140 = process(page, QStringLiteral("140"));
    EXPECT_EQ(on140->status(), NIMBLiteStatus::noUpdateForThisMac);
    EXPECT_TRUE(logHas(*on140, QStringLiteral("Reject: 100 <  appVersion 140")));
}

TEST_F(UpdatePage, AnIgnoredBuildIsPassedOverAndTheRunningBuildMeansUpToDate)
{
    platform::preferences()->setValue(prefs::kIgnoreVersionInfo,
                                      QVariantMap{{prefs::kGroupID, QStringLiteral("g110")},
                                                  {prefs::kDisplayVersion, QStringLiteral("2.1.0")},
                                                  {prefs::kBuildNumber, 110}});
    const QByteArray groups = groupElement("g110", "110", "5.0", "2.1.0", kArchive120)
                              + groupElement("g100", "100", "5.0", "2.0.0", kArchive120);
    const auto check = process(signPage(pageTemplate(groups)));
    EXPECT_EQ(check->status(), NIMBLiteStatus::upToDate);
    EXPECT_TRUE(logHas(*check, QStringLiteral("Reject: 110 is set to be ignored.")));
}

TEST_F(UpdatePage, AGroupWithoutMinOSOrBuildOrArchivesIsAnError)
{
    struct Case
    {
        QByteArray group;
        QString message;
    };
    const Case cases[] = {
        {groupElement("noMin", "120", QByteArray(), "2.1", kArchive120), QStringLiteral("Group noMin invalid minOS")},
        {groupElement("badMin", "120", "ten", "2.1", kArchive120), QStringLiteral("Group badMin invalid minOS")},
        {groupElement("noBuild", QByteArray(), "5.0", "2.1", kArchive120), QStringLiteral("Group noBuild invalid build")},
        {groupElement("bare", "120", "5.0", "2.1", "<p>soon</p>"), QStringLiteral("Group bare invalid NIMBArchive")},
    };
    for (const Case &c : cases) {
        const auto check = process(signPage(pageTemplate(c.group + groupElement("g100", "100", "5.0", "2.0", kArchive120))));
        EXPECT_EQ(check->status(), NIMBLiteStatus::error) << c.message.toStdString();
        EXPECT_EQ(check->errorMessage(), c.message);
        EXPECT_EQ(check->log().last(), QStringLiteral("Scan complete. Status: error"));
        EXPECT_FALSE(logHas(*check, QStringLiteral("Build 100 <  appVersion 100"))) << "the walk ends at the bad group";
    }
}

TEST_F(UpdatePage, SystemVersionsCompareAsVersionsAndBothBoundsInclusive)
{
    struct Row
    {
        const char *kernel;
        QByteArray maxOS;
        NIMBLiteStatus status;
        QString logLine;
    };
    // A group of build 120 for systems from 10.9 (up to maxOS when given), on build 100.
    const Row rows[] = {
        {"10.15.2", {}, NIMBLiteStatus::updateAvailable, QStringLiteral("Update: x86 https://downloads.example/v120.tar.gz")},
        {"10.8.0", {}, NIMBLiteStatus::noUpdateForThisMac, QStringLiteral("Reject: Requires macOS 10.9")},
        {"10.9.0-1-amd64", {}, NIMBLiteStatus::updateAvailable, QStringLiteral("--- Version 2.1; 20250101 (120) { minOS 10.9 }")},
        {"10.10.0", "10.10", NIMBLiteStatus::updateAvailable, QStringLiteral("--- Version 2.1; 20250101 (120) { minOS 10.9, maxOS 10.10 }")},
        {"10.9.4", "10.9", NIMBLiteStatus::updateAvailable, QStringLiteral("Update: x86 https://downloads.example/v120.tar.gz")},
        {"10.11.0", "10.10", NIMBLiteStatus::noUpdateAtThisTime, QStringLiteral("Reject: incompatible with macOS 10.11")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.kernel) + " maxOS " + row.maxOS.toStdString());
        const QByteArray bound = row.maxOS.isNull() ? QByteArray() : " maxOS=\"" + row.maxOS + "\"";
        const auto check = process(signPage(pageTemplate(groupElement("g120", "120", "10.9", "2.1", kArchive120, bound))),
                                   QStringLiteral("100"), QString::fromLatin1(row.kernel));
        EXPECT_EQ(check->status(), row.status);
        EXPECT_TRUE(logHas(*check, row.logLine));
    }
}

TEST_F(UpdatePage, HiddenGroupsAndLookAlikeTokensAreNotOffered)
{
    QByteArray groups = groupElement("hiddenOne", "130", "5.0", "2.3", kArchive120);
    groups.replace("release NIMBGroup", "NIMBGroup hidden");
    // NIMBGroupX is no group, but a group inside it is found.
    groups += "<div class=\"NIMBGroupX\" build=\"125\" minOS=\"5.0\">"
              + groupElement("inner", "99", "5.0", "1.9", kArchive120) + "</div>";
    const auto check = process(signPage(pageTemplate(groups)));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Reject: hidden")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Reject: 99 <  appVersion 100")));
    for (const QString &line : check->log()) {
        EXPECT_FALSE(line.contains(QStringLiteral("(125)"))) << "NIMBGroupX was read as a group";
    }
    EXPECT_EQ(check->status(), NIMBLiteStatus::noUpdateAtThisTime);
}

TEST_F(UpdatePage, ABlankArchiveIsPassedOverAndArchitecturesAreNotCompared)
{
    const QByteArray archives = "<a class=\"NIMBArchive x86 ub\" href=\"  \">none</a>"
                                "<a class=\"NIMBArchive ass\" href=\"https://downloads.example/arm.tar.gz\">arm</a>";
    const auto check = process(signPage(pageTemplate(groupElement("g120", "120", "5.0", "2.1", archives))));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Archive URL is invalid. Architecture: ub")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Update: x86 https://downloads.example/arm.tar.gz")));
    EXPECT_EQ(check->status(), NIMBLiteStatus::updateAvailable);

    // Only blank archives: no update is recorded from that group.
    const auto blank = process(signPage(pageTemplate(groupElement("g120", "120", "5.0", "2.1", "<a class=\"NIMBArchive\" href=\"\"/>"))));
    EXPECT_TRUE(logHas(*blank, QStringLiteral("Error: Archive URL is invalid. Architecture: ?")));
    EXPECT_EQ(blank->status(), NIMBLiteStatus::noUpdateAtThisTime);
}

TEST_F(UpdatePage, FormatVersionsOtherThanTenAreRefused)
{
    const QByteArray groups = groupElement("g120", "120", "5.0", "2.1", kArchive120);

    const auto old = process(signPage(pageTemplate(groups, "9")));
    EXPECT_EQ(old->errorMessage(), QStringLiteral("The format of the update file is too old"));
    EXPECT_EQ(old->status(), NIMBLiteStatus::error);

    for (const char *malformed : {"10.0", "10&#10;"}) {
        const auto decimal = process(signPage(pageTemplate(groups, malformed)));
        EXPECT_EQ(decimal->errorMessage(), QStringLiteral("NIMBFormat is invalid.")) << malformed;
        EXPECT_FALSE(logHasPrefix(*decimal, QStringLiteral("Error: NIMBFormat is missing")));
        EXPECT_FALSE(pref(prefs::kUpdateAvailable).isValid());
    }

    const auto newer = process(signPage(pageTemplate(groups, "11")));
    EXPECT_TRUE(logHas(*newer, QStringLiteral("Error: The format of the update file is too new, probably means a newer version.")));
    EXPECT_EQ(newer->status(), NIMBLiteStatus::formatInvalid);
    EXPECT_TRUE(pref(prefs::kUpdateAvailable).toBool());
    EXPECT_FALSE(logHasPrefix(*newer, QStringLiteral("--- Version"))) << "no group is read from a newer format";

    // The last of repeated metas counts.
    const auto repeated = process(signPage(pageTemplate(groups, "9", "<meta name=\"NIMBFormat\" content=\"10\"/>")));
    EXPECT_EQ(repeated->status(), NIMBLiteStatus::updateAvailable);
    EXPECT_EQ(repeated->dataFormat(), 10);
}

TEST_F(UpdatePage, MaintenanceStopsBeforeTheSignatureUnlessIgnored)
{
    const QByteArray page = fixture(QStringLiteral("maintenance-page.xhtml")); // its signature is bogus
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const auto check = process(page);
    EXPECT_EQ(check->status(), NIMBLiteStatus::maintenance);
    EXPECT_TRUE(check->maintenanceMode());
    EXPECT_TRUE(logHas(*check, QStringLiteral("NIMBMaintenance: Page is in maintenance mode")));
    EXPECT_FALSE(logHasPrefix(*check, QStringLiteral("Error: ")));
    const QDateTime next = pref(prefs::kNextUpdateCheck).toDateTime();
    EXPECT_GE(next.secsTo(before), -2) << "the next check is due at once";
    EXPECT_LE(next.secsTo(before), 2);

    platform::preferences()->setValue(prefs::kIgnoreMaintenance, true);
    const auto ignored = process(page);
    EXPECT_EQ(ignored->status(), NIMBLiteStatus::error);
    EXPECT_TRUE(ignored->errorMessage()->startsWith(QStringLiteral("Failed to validate ")));

    // Ignored maintenance on a correctly signed page: the scan completes, still in maintenance.
    QByteArray signable = page;
    signable.replace("content=\"QUJD\"", "content=\"NIMBSignaturePlaceHolder\"");
    const auto signedMaintenance = process(signPage(signable));
    EXPECT_EQ(signedMaintenance->status(), NIMBLiteStatus::maintenance);
    EXPECT_EQ(signedMaintenance->log().last(), QStringLiteral("Scan complete. Status: maintenance"));
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid()) << "no update is recorded during maintenance";
}

TEST_F(UpdatePage, ProductSignatureAndDocumentProblemsEndTheCheckWithTheirError)
{
    const QByteArray groups = groupElement("g120", "120", "5.0", "2.1", kArchive120);
    const auto changed = [&](const QByteArray &from, const QByteArray &to) {
        return pageTemplate(groups).replace(from, to);
    };
    QByteArray tampered = signPage(pageTemplate(groups));
    tampered.replace("build=\"120\"", "build=\"121\"");
    QByteArray noBody = pageTemplate("");
    noBody.remove(noBody.indexOf("<body>"), noBody.indexOf("</body>") + 7 - noBody.indexOf("<body>"));
    const QString wrongProduct = QStringLiteral("NIMBProductIdentifier != \"com.brindlewick.vellory2\"");
    const std::pair<QByteArray, QString> rows[] = {
        {signPage(changed("<meta name=\"NIMBProductIdentifier\" content=\"com.brindlewick.vellory2\"/>", "")), wrongProduct},
        {signPage(changed("com.brindlewick.vellory2", "com.brindlewick.other")), wrongProduct},
        {changed("<meta name=\"NIMBSignature\" content=\"NIMBSignaturePlaceHolder\"/>", ""), QStringLiteral("Signature not found")},
        {signPage(pageTemplate(groups), otherKey().privateKey), QStringLiteral("Failed to validate SecKeyVerifySignature: ")},
        {tampered, QStringLiteral("Failed to validate ")},
        {signPage(fixture(QStringLiteral("unclosed-br.xhtml"))), QStringLiteral("XML: ")},
        {signPage(noBody), QStringLiteral("HTML: Missing 'body' element")},
        {fixture(QStringLiteral("billion-laughs.xml")), QStringLiteral("XML: ")},
        {fixture(QStringLiteral("external-entity.xml")), QStringLiteral("XML: ")},
        {"<html><head/><body>" + QByteArray("<div>").repeated(5000) + QByteArray("</div>").repeated(5000) + "</body></html>",
         QStringLiteral("nested deeper")},
        {signPage(pageTemplate("<p>" + QByteArray(3 * 1024 * 1024, 'x') + "</p>")),
         QStringLiteral("XML: the document is larger than")},
    };
    for (const auto &[page, error] : rows) {
        const auto check = process(page);
        EXPECT_EQ(check->status(), NIMBLiteStatus::error) << error.toStdString();
        EXPECT_TRUE(check->errorMessage().value_or(QString()).contains(error))
            << check->errorMessage().value_or(QString()).toStdString();
        if (error.startsWith(QStringLiteral("XML: "))) {
            EXPECT_FALSE(logHas(*check, QStringLiteral("--- HTML"))) << "read on after a broken document";
        }
        EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid());
    }
    NIMBLite::setPublicKey(std::nullopt);
    EXPECT_EQ(process(signPage(pageTemplate(groups)))->errorMessage(),
              QStringLiteral("Signature invalid, public key is missing"));
}

TEST_F(UpdatePage, InspectionReportsTheWholePageAndStoresNothing)
{
    const QByteArray groups =
        groupElement("g120", "120", "5.0", "", "<a class=\"NIMBArchive x86\" href=\"files/a.tar.gz\"/>"
                                               "<a class=\"NIMBArchive ass\" href=\"http://plain.example/b.tar.gz\"/>")
        + groupElement("g110", "110", QByteArray(), "2.1", "<a class=\"NIMBArchive ub\" href=\"https://cdn.example/files/a.tar.gz\"/>")
        + groupElement("g100", "100", "5.0", "2.0", "");
    QByteArray page = pageTemplate(groups, "9", "<base href=\"https://cdn.example/\"/>");
    page.replace("date=\"20250101\" build=\"110\"", "date=\"2025-01-01\" build=\"110\"");
    page.replace("id=\"g100\" date=\"20250101\"", "id=\"g100\"");
    page.replace("release NIMBGroup\" id=\"g110\"", "NIMBGroup hidden\" id=\"g110\"");
    const auto check = process(signPage(page), QStringLiteral("100"), QStringLiteral("6.1.0"), true);

    EXPECT_TRUE(logHas(*check, QStringLiteral("Title: Vellory 2 downloads")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("baseURL: \"https://cdn.example/\"")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("NIMBFormat 9")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("NIMBProductIdentifier: com.brindlewick.vellory2")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: The format of the update file is too old")));
    // Processing went on after the format error: every group is visited.
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Missing \"nimbgroupversion\"")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Update: x86 https://cdn.example/files/a.tar.gz")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Not HTTPS! http://plain.example/b.tar.gz")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Duplicate https://cdn.example/files/a.tar.gz")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Group g110 has an invalid date \"2025-01-01\"")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Group g100 is missing date")));
    EXPECT_TRUE(logHas(*check, QStringLiteral("Error: Group g100 invalid NIMBArchive")));
    EXPECT_EQ(check->archiveURLS().size(), 3);
    EXPECT_FALSE(logHasPrefix(*check, QStringLiteral("Scan complete")));
    EXPECT_FALSE(logHasPrefix(*check, QStringLiteral("Reject: ")));
    EXPECT_FALSE(pref(prefs::kCurrentUpdateInfo).isValid());
}

TEST_F(UpdatePage, ProcessingWithASenderLeavesTheCompletionToItsCaller)
{
    NIMBLite check(facts());
    CompletionCounter completions(check);
    check.resetCheckState();
    check.processHTML(signPage(fixture(QStringLiteral("downloads-page.xhtml"))), QStringLiteral("validateOnlinePage"));
    completions.settle();
    EXPECT_EQ(completions.count(), 0);
    EXPECT_EQ(check.log().first(), QStringLiteral("--- processHTML(_:sender:)"));

    // A terminal error does end it, once, whoever else tries to finish.
    check.resetCheckState();
    check.processHTML("<html", QStringLiteral("validateOnlinePage"));
    check.finishCheck();
    ASSERT_TRUE(completions.waitForCompletion());
    completions.settle();
    EXPECT_EQ(completions.count(), 1);
}
