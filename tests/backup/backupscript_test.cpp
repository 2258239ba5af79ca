#include "backup/backupscript.h"
#include "backup/jsonreader.h"

#include <QMap>
#include <functional>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QRegularExpression kUuidForm(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));

// A stored set written by hand: key -> raw JSON value text.
QMap<QString, QByteArray> validMembers()
{
    return {
        {QStringLiteral("scriptName"), "\"Work\""},
        {QStringLiteral("scriptUUID"), "\"6F1C1E43-0C4B-4E44-9E1D-6C3A1F0E2B7A\""},
        {QStringLiteral("sourcePaths"), "[\"\\/home\\/ann\\/Notes\",\"/home/ann/Photos 2024\"]"},
        {QStringLiteral("volumeCapacity"), "31914983424"},
        {QStringLiteral("volumeDescription"), "\"SanDisk Cruzer, USB\""},
        {QStringLiteral("volumeName"), "\"STICK\""},
        {QStringLiteral("volumeUUID"), "\"4A3B-1C2D\""},
        {QStringLiteral("volumePath"), "\"\\/media\\/ann\\/STICK\""},
        {QStringLiteral("lastBackup"), "\"3\\/4\\/26, 10:15\""},
    };
}

QByteArray objectOf(const QMap<QString, QByteArray> &members)
{
    QByteArray out("{");
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        if (out.size() > 1) {
            out.append(',');
        }
        out.append('"').append(it.key().toUtf8()).append("\":").append(it.value());
    }
    return out.append('}');
}

BackupScript sampleScript()
{
    BackupScript script;
    script.scriptName = QStringLiteral("Ann's \"set\" \\ tab\there");
    script.sourcePaths = {QStringLiteral("/home/ann/Notes"), QStringLiteral("/home/ann/Fotos/Ärger ✓"),
                          QStringLiteral("/tmp/line\nbreak")};
    script.volumeCapacity = 18446744073709551615ULL;
    script.volumeDescription = QStringLiteral("Generic Flash Disk, USB");
    script.volumeName = QStringLiteral("STICK");
    script.volumeUUID = QStringLiteral("4A3B-1C2D");
    script.volumePath = QStringLiteral("/media/ann/STICK");
    script.lastBackup = QStringLiteral("06/12/2026, 08:15");
    return script;
}

} // namespace

TEST(BackupScript, NewSetHasDefaultsAndAFreshUpperCaseUuid)
{
    const BackupScript first;
    const BackupScript second;
    EXPECT_EQ(first.scriptName, QStringLiteral("Untitled"));
    EXPECT_TRUE(kUuidForm.match(first.scriptUUID).hasMatch()) << first.scriptUUID.toStdString();
    EXPECT_NE(first.scriptUUID, second.scriptUUID);
    EXPECT_TRUE(first.sourcePaths.isEmpty());
    EXPECT_EQ(first.volumeCapacity, 0u);
    EXPECT_TRUE(first.volumeDescription.isEmpty());
    EXPECT_TRUE(first.volumeName.isEmpty());
    EXPECT_TRUE(first.volumeUUID.isEmpty());
    EXPECT_TRUE(first.volumePath.isEmpty());
    EXPECT_EQ(first.lastBackup, QStringLiteral("Never"));
}

TEST(BackupScript, ClearVolumeForgetsTheDestinationButKeepsIdentityAndSources)
{
    BackupScript script = sampleScript();
    const BackupScript before = script;
    script.clearVolume();
    EXPECT_EQ(script.scriptName, before.scriptName);
    EXPECT_EQ(script.scriptUUID, before.scriptUUID);
    EXPECT_EQ(script.sourcePaths, before.sourcePaths);
    EXPECT_EQ(script.volumeCapacity, 0u);
    EXPECT_TRUE(script.volumeDescription.isEmpty());
    EXPECT_TRUE(script.volumeName.isEmpty());
    EXPECT_TRUE(script.volumeUUID.isEmpty());
    EXPECT_TRUE(script.volumePath.isEmpty());
    EXPECT_EQ(script.lastBackup, QStringLiteral("Never"));
}

TEST(BackupScriptJson, WritesAllNineKeysCompactWithEverySlashEscaped)
{
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/My Docs")};
    const QByteArray json = encodeBackupScript(script);
    for (const char *key : {"scriptName", "scriptUUID", "sourcePaths", "volumeCapacity", "volumeDescription",
                            "volumeName", "volumeUUID", "volumePath", "lastBackup"}) {
        EXPECT_TRUE(json.contains(QByteArray("\"") + key + "\":")) << key;
    }
    EXPECT_TRUE(json.contains(R"("sourcePaths":["\/home\/ann\/My Docs"])")) << json.toStdString();
    EXPECT_TRUE(json.contains(R"("volumeCapacity":0)"));
    EXPECT_TRUE(json.contains(R"("volumePath":"")"));
    EXPECT_FALSE(json.contains('\n'));
    EXPECT_FALSE(json.contains("\": ")) << "no whitespace after a key";
    for (qsizetype i = 0; i < json.size(); ++i) {
        if (json[i] == '/') {
            ASSERT_GT(i, 0);
            EXPECT_EQ(json[i - 1], '\\') << "unescaped slash at " << i;
        }
    }
}

TEST(BackupScriptJson, RoundTripsEveryFieldIncludingTheFullCapacityRange)
{
    for (const quint64 capacity : {quint64(0), quint64(1), quint64(9007199254740993ULL), quint64(18446744073709551615ULL)}) {
        BackupScript script = sampleScript();
        script.volumeCapacity = capacity;
        const BackupScriptDecoding decoded = decodeBackupScript(encodeBackupScript(script));
        ASSERT_TRUE(decoded.script.has_value()) << decoded.error.toStdString();
        EXPECT_EQ(*decoded.script, script) << "capacity " << capacity;
    }
}

TEST(BackupScriptJson, ReadsPlainAndEscapedSlashesInAnyKeyOrderAndIgnoresOtherKeys)
{
    QMap<QString, QByteArray> members = validMembers();
    members.insert(QStringLiteral("aFutureKey"), "{\"nested\":[1,2,{\"x\":null}],\"b\":true}");
    const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members)); // keys sorted, not declared order
    ASSERT_TRUE(decoded.script.has_value()) << decoded.error.toStdString();
    EXPECT_EQ(decoded.script->sourcePaths,
              QStringList({QStringLiteral("/home/ann/Notes"), QStringLiteral("/home/ann/Photos 2024")}));
    EXPECT_EQ(decoded.script->volumeCapacity, 31914983424ULL);
    EXPECT_EQ(decoded.script->volumePath, QStringLiteral("/media/ann/STICK"));
    EXPECT_EQ(decoded.script->lastBackup, QStringLiteral("3/4/26, 10:15"));
}

TEST(BackupScriptJson, MissingOrNullOptionalKeysGiveAnEmptyPathAndNever)
{
    for (const QByteArray &absent : {QByteArray(), QByteArray("null")}) {
        QMap<QString, QByteArray> members = validMembers();
        if (absent.isEmpty()) {
            members.remove(QStringLiteral("volumePath"));
            members.remove(QStringLiteral("lastBackup"));
        } else {
            members[QStringLiteral("volumePath")] = absent;
            members[QStringLiteral("lastBackup")] = absent;
        }
        const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members));
        ASSERT_TRUE(decoded.script.has_value()) << decoded.error.toStdString();
        EXPECT_TRUE(decoded.script->volumePath.isEmpty());
        EXPECT_EQ(decoded.script->lastBackup, QStringLiteral("Never"));
    }
}

TEST(BackupScriptJson, EachMissingRequiredKeyFailsTheWholeDecoding)
{
    for (const QString key : {QStringLiteral("scriptName"), QStringLiteral("scriptUUID"), QStringLiteral("sourcePaths"),
                              QStringLiteral("volumeCapacity"), QStringLiteral("volumeDescription"),
                              QStringLiteral("volumeName"), QStringLiteral("volumeUUID")}) {
        QMap<QString, QByteArray> members = validMembers();
        members.remove(key);
        const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members));
        EXPECT_FALSE(decoded.script.has_value()) << key.toStdString();
        EXPECT_TRUE(decoded.error.contains(key)) << decoded.error.toStdString();
    }
}

TEST(BackupScriptJson, WrongTypesFailTheWholeDecoding)
{
    const QList<QPair<QString, QByteArray>> wrong = {
        {QStringLiteral("scriptName"), "5"},
        {QStringLiteral("scriptUUID"), "null"},
        {QStringLiteral("sourcePaths"), "\"/home\""},
        {QStringLiteral("sourcePaths"), "[\"/home\",3]"},
        {QStringLiteral("sourcePaths"), "null"},
        {QStringLiteral("volumeCapacity"), "\"12\""},
        {QStringLiteral("volumeCapacity"), "true"},
        {QStringLiteral("volumeCapacity"), "null"},
        {QStringLiteral("volumeDescription"), "[]"},
        {QStringLiteral("volumeName"), "{}"},
        {QStringLiteral("volumeUUID"), "false"},
        {QStringLiteral("volumePath"), "7"},
        {QStringLiteral("lastBackup"), "[\"Never\"]"},
    };
    for (const auto &[key, value] : wrong) {
        QMap<QString, QByteArray> members = validMembers();
        members[key] = value;
        EXPECT_FALSE(decodeBackupScript(objectOf(members)).script.has_value())
            << key.toStdString() << " = " << value.toStdString();
    }
}

TEST(BackupScriptJson, CapacityMustBeAWholeNumberThatFitsSixtyFourBits)
{
    const QList<QPair<QByteArray, std::optional<quint64>>> cases = {
        {"-1", std::nullopt},
        {"-0", 0},
        {"1.5", std::nullopt},
        {"0.5", std::nullopt},
        {"1e-2", std::nullopt},
        {"12.0", 12},
        {"1e3", 1000},
        {"1.5E1", 15},
        {"18446744073709551615", 18446744073709551615ULL},
        {"18446744073709551616", std::nullopt},
        {"1e20", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"1e999999999", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        QMap<QString, QByteArray> members = validMembers();
        members[QStringLiteral("volumeCapacity")] = text;
        const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members));
        ASSERT_EQ(decoded.script.has_value(), expected.has_value()) << text.toStdString();
        if (expected) {
            EXPECT_EQ(decoded.script->volumeCapacity, *expected) << text.toStdString();
        }
    }
}

TEST(BackupScriptJson, EveryTruncationOfAValidFileFailsCleanly)
{
    const QByteArray json = encodeBackupScript(sampleScript());
    ASSERT_TRUE(decodeBackupScript(json).script.has_value());
    for (qsizetype length = 0; length < json.size(); ++length) {
        const BackupScriptDecoding decoded = decodeBackupScript(json.left(length));
        EXPECT_FALSE(decoded.script.has_value()) << "prefix of " << length << " bytes";
        EXPECT_FALSE(decoded.error.isEmpty());
    }
}

TEST(BackupScriptJson, CorruptedBytesNeverCrashTheReader)
{
    const QByteArray json = encodeBackupScript(sampleScript());
    for (qsizetype i = 0; i < json.size(); ++i) {
        for (const char replacement : {'\0', '"', '\\', '{', ']', '\xff', 'u', '-'}) {
            QByteArray broken = json;
            broken[i] = replacement;
            (void)decodeBackupScript(broken); // must return, whatever it decides
        }
    }
    SUCCEED();
}

TEST(BackupScriptJson, RefusesBrokenTextAndNonObjects)
{
    for (const QByteArray &input :
         {QByteArray(), QByteArray("   "), QByteArray("[]"), QByteArray("\"text\""), QByteArray("null"),
          QByteArray("{\"scriptName\":\"a\"} trailing"), QByteArray("{\"a\":1,}"), QByteArray("{'a':1}")}) {
        EXPECT_FALSE(decodeBackupScript(input).script.has_value()) << input.toStdString();
    }
    // A name that is not UTF-8, a lone surrogate and a raw control character.
    QMap<QString, QByteArray> members = validMembers();
    members[QStringLiteral("scriptName")] = "\"caf\xe9\"";
    EXPECT_FALSE(decodeBackupScript(objectOf(members)).script.has_value());
    members[QStringLiteral("scriptName")] = "\"\\ud800\"";
    EXPECT_FALSE(decodeBackupScript(objectOf(members)).script.has_value());
    members[QStringLiteral("scriptName")] = "\"a\tb\"";
    EXPECT_FALSE(decodeBackupScript(objectOf(members)).script.has_value());
    members[QStringLiteral("scriptName")] = "\"\\u00e9\\ud83d\\ude00\"";
    const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members));
    ASSERT_TRUE(decoded.script.has_value());
    EXPECT_EQ(decoded.script->scriptName, QString::fromUtf8("é😀"));
}

TEST(BackupScriptJson, DeepNestingInAnUnknownKeyFailsWithoutExhaustingTheStack)
{
    QMap<QString, QByteArray> members = validMembers();
    members[QStringLiteral("zz")] = QByteArray(200000, '[') + QByteArray(200000, ']');
    EXPECT_FALSE(decodeBackupScript(objectOf(members)).script.has_value());
    members[QStringLiteral("zz")] = QByteArray(100, '[') + QByteArray(100, ']');
    EXPECT_TRUE(decodeBackupScript(objectOf(members)).script.has_value());
}

namespace {

// Our change and the other program's change to a set that both read as
// `base`: each part the one side changed survives.
TEST(MergeBackupScripts, KeepsEachSidesOwnChanges)
{
    BackupScript base;
    base.sourcePaths = {QStringLiteral("/a"), QStringLiteral("/b")};
    base.volumeUUID = QStringLiteral("U-1");
    base.volumeName = QStringLiteral("STICK");
    base.volumePath = QStringLiteral("/media/STICK");

    struct Case
    {
        const char *what;
        std::function<void(BackupScript &)> ours;
        std::function<void(BackupScript &)> theirs;
        std::function<void(BackupScript &)> expected; // applied to base
    };
    auto none = [](BackupScript &) {};
    const Case cases[] = {
        {"theirs only", none, [](BackupScript &s) { s.sourcePaths.append(QStringLiteral("/c")); },
         [](BackupScript &s) { s.sourcePaths.append(QStringLiteral("/c")); }},
        {"both add a source",
         [](BackupScript &s) { s.sourcePaths.append(QStringLiteral("/mine")); },
         [](BackupScript &s) { s.sourcePaths.append(QStringLiteral("/theirs")); },
         [](BackupScript &s) { s.sourcePaths << QStringLiteral("/theirs") << QStringLiteral("/mine"); }},
        {"we remove, they add",
         [](BackupScript &s) { s.sourcePaths.removeAll(QStringLiteral("/a")); },
         [](BackupScript &s) { s.sourcePaths.append(QStringLiteral("/c")); },
         [](BackupScript &s) { s.sourcePaths = {QStringLiteral("/b"), QStringLiteral("/c")}; }},
        {"we stamp a backup, they clear the volume",
         [](BackupScript &s) { s.lastBackup = QStringLiteral("today"); },
         [](BackupScript &s) { s.volumeUUID.clear(); s.volumeName.clear(); s.volumePath.clear(); },
         [](BackupScript &s) { s.lastBackup = QStringLiteral("today"); s.volumeUUID.clear(); s.volumeName.clear(); s.volumePath.clear(); }},
        {"the volume moves as a whole",
         [](BackupScript &s) { s.volumePath = QStringLiteral("/media/STICK1"); },
         [](BackupScript &s) { s.volumeUUID = QStringLiteral("U-2"); s.volumeName = QStringLiteral("OTHER"); },
         [](BackupScript &s) { s.volumePath = QStringLiteral("/media/STICK1"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BackupScript ours = base, theirs = base, expected = base;
        c.ours(ours);
        c.theirs(theirs);
        c.expected(expected);
        EXPECT_EQ(mergeBackupScripts(base, ours, theirs), expected);
    }
}

} // namespace
