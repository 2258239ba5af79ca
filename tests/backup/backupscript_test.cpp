// The backup set: its JSON form, the merge of two programs' changes, and the
// store that keeps it in the user's data folder.
#include "backup/scriptstore.h"
#include "runtesting.h"

#include <QMap>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// A stored set written by hand: key -> raw JSON value text.
QMap<QString, QByteArray> validMembers()
{
    return {
        {u"scriptName"_s, "\"Work\""},
        {u"scriptUUID"_s, "\"6F1C1E43-0C4B-4E44-9E1D-6C3A1F0E2B7A\""},
        {u"sourcePaths"_s, "[\"\\/home\\/ann\\/Notes\",\"/home/ann/Photos 2024\"]"},
        {u"volumeCapacity"_s, "31914983424"},
        {u"volumeDescription"_s, "\"SanDisk Cruzer, USB\""},
        {u"volumeName"_s, "\"STICK\""},
        {u"volumeUUID"_s, "\"4A3B-1C2D\""},
        {u"volumePath"_s, "\"\\/media\\/ann\\/STICK\""},
        {u"lastBackup"_s, "\"3\\/4\\/26, 10:15\""},
    };
}

// The members as an object, keys sorted (not in the declared order);
// a null value text leaves the key out.
QByteArray objectOf(const QMap<QString, QByteArray> &members)
{
    QByteArray out("{");
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        if (!it.value().isNull()) {
            out.append(out.size() > 1 ? "," : "").append('"').append(it.key().toUtf8()).append("\":").append(it.value());
        }
    }
    return out.append('}');
}

std::optional<BackupScript> decodeWith(const QString &key, const QByteArray &value)
{
    QMap<QString, QByteArray> members = validMembers();
    members[key] = value;
    return decodeBackupScript(objectOf(members)).script;
}

BackupScript sampleScript()
{
    BackupScript script;
    script.scriptName = u"Ann's \"set\" \\ tab\there"_s;
    script.sourcePaths = {u"/home/ann/Notes"_s, u"/home/ann/Fotos/Ärger ✓"_s, u"/tmp/line\nbreak"_s};
    script.volumeDescription = u"Generic Flash Disk, USB"_s;
    script.volumeName = u"STICK"_s;
    script.volumeUUID = u"4A3B-1C2D"_s;
    script.volumePath = u"/media/ann/STICK"_s;
    script.lastBackup = u"06/12/2026, 08:15"_s;
    return script;
}

} // namespace

TEST(BackupScriptJson, WritesCompactWithEverySlashEscapedAndRoundTrips)
{
    const BackupScript fresh;
    EXPECT_TRUE(QRegularExpression(u"^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"_s)
                    .match(fresh.scriptUUID).hasMatch()) << fresh.scriptUUID.toStdString();
    EXPECT_NE(fresh.scriptUUID, BackupScript().scriptUUID);
    // The key names: the round trip below with the reading tests' hand-written sets.
    const QByteArray json = encodeBackupScript(fresh);
    EXPECT_TRUE(json.contains(R"("volumeCapacity":0)"));
    EXPECT_FALSE(json.contains('\n') || json.contains("\": ")) << "no whitespace";
    const QString sample = QString::fromUtf8(encodeBackupScript(sampleScript()));
    EXPECT_FALSE(sample.contains(QRegularExpression(u"[^\\\\]/"_s))) << "an unescaped slash in " << sample.toStdString();
    for (const quint64 capacity : {quint64(0), quint64(1), quint64(9007199254740993ULL), quint64(18446744073709551615ULL)}) {
        BackupScript script = sampleScript();
        script.volumeCapacity = capacity;
        const BackupScriptDecoding decoded = decodeBackupScript(encodeBackupScript(script));
        ASSERT_TRUE(decoded.script.has_value()) << decoded.error.toStdString();
        EXPECT_EQ(*decoded.script, script) << "capacity " << capacity;
    }
}

TEST(BackupScriptJson, ReadsPlainAndEscapedSlashesAndIgnoresOtherKeysAndAbsentOptionalOnes)
{
    QMap<QString, QByteArray> members = validMembers();
    members.insert(u"aFutureKey"_s, "{\"nested\":[1,2,{\"x\":null}],\"b\":true}");
    std::optional<BackupScript> decoded = decodeBackupScript(objectOf(members)).script;
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->sourcePaths, QStringList({u"/home/ann/Notes"_s, u"/home/ann/Photos 2024"_s}));
    EXPECT_EQ(decoded->volumeCapacity, 31914983424ULL);
    EXPECT_EQ(decoded->volumePath, u"/media/ann/STICK"_s);
    EXPECT_EQ(decoded->lastBackup, u"3/4/26, 10:15"_s);
    for (const QByteArray &absent : {QByteArray(), QByteArray("null")}) {
        members = validMembers();
        members[u"volumePath"_s] = members[u"lastBackup"_s] = absent;
        decoded = decodeBackupScript(objectOf(members)).script;
        ASSERT_TRUE(decoded.has_value());
        EXPECT_TRUE(decoded->volumePath.isEmpty());
        EXPECT_EQ(decoded->lastBackup, u"Never"_s);
    }
    decoded = decodeWith(u"scriptName"_s, "\"\\u00e9\\ud83d\\ude00\"");
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->scriptName, QString::fromUtf8("é😀"));
}

TEST(BackupScriptJson, AMissingRequiredKeyOrAWrongValueFailsTheWholeDecodingAndTheCapacityIsAWholeSixtyFourBitNumber)
{
    for (const QString key : {u"scriptName"_s, u"scriptUUID"_s, u"sourcePaths"_s, u"volumeCapacity"_s,
                              u"volumeDescription"_s, u"volumeName"_s, u"volumeUUID"_s}) {
        QMap<QString, QByteArray> members = validMembers();
        members[key] = QByteArray(); // left out
        const BackupScriptDecoding decoded = decodeBackupScript(objectOf(members));
        EXPECT_FALSE(decoded.script.has_value()) << key.toStdString();
        EXPECT_TRUE(decoded.error.contains(key)) << decoded.error.toStdString();
    }
    const std::pair<QString, QByteArray> wrong[] = {
        {u"scriptName"_s, "5"}, {u"scriptUUID"_s, "null"}, {u"sourcePaths"_s, "\"/home\""},
        {u"sourcePaths"_s, "[\"/home\",3]"}, {u"sourcePaths"_s, "null"}, {u"volumeCapacity"_s, "\"12\""},
        {u"volumeCapacity"_s, "true"}, {u"volumeCapacity"_s, "null"}, {u"volumeDescription"_s, "[]"},
        {u"volumeName"_s, "{}"}, {u"volumeUUID"_s, "false"}, {u"volumePath"_s, "7"}, {u"lastBackup"_s, "[\"Never\"]"},
        // Not UTF-8, a lone surrogate, a raw control character.
        {u"scriptName"_s, "\"caf\xe9\""}, {u"scriptName"_s, "\"\\ud800\""}, {u"scriptName"_s, "\"a\tb\""},
        // Nesting too deep for the reader's stack.
        {u"zz"_s, QByteArray(200000, '[') + QByteArray(200000, ']')},
    };
    for (const auto &[key, value] : wrong) {
        EXPECT_FALSE(decodeWith(key, value).has_value()) << key.toStdString() << " = " << value.left(20).toStdString();
    }
    EXPECT_TRUE(decodeWith(u"zz"_s, QByteArray(100, '[') + QByteArray(100, ']')).has_value());
    for (const QByteArray &input : {QByteArray(), QByteArray("   "), QByteArray("[]"), QByteArray("\"text\""),
                                    QByteArray("null"), QByteArray("{\"scriptName\":\"a\"} trailing"),
                                    QByteArray("{\"a\":1,}"), QByteArray("{'a':1}")}) {
        EXPECT_FALSE(decodeBackupScript(input).script.has_value()) << input.toStdString();
    }
    // The capacity is a whole number that fits 64 bits, in any JSON form.
    const std::pair<QByteArray, std::optional<quint64>> cases[] = {
        {"-1", std::nullopt}, {"-0", 0}, {"1.5", std::nullopt}, {"0.5", std::nullopt}, {"1e-2", std::nullopt},
        {"12.0", 12}, {"1e3", 1000}, {"1.5E1", 15}, {"18446744073709551615", 18446744073709551615ULL},
        {"18446744073709551616", std::nullopt}, {"1e20", std::nullopt}, {"99999999999999999999999", std::nullopt},
        {"1e999999999", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        const std::optional<BackupScript> decoded = decodeWith(u"volumeCapacity"_s, text);
        ASSERT_EQ(decoded.has_value(), expected.has_value()) << text.toStdString();
        EXPECT_EQ(expected.value_or(0), decoded ? decoded->volumeCapacity : 0) << text.toStdString();
    }
}

TEST(BackupScriptJson, EveryTruncationFailsCleanlyAndCorruptedBytesNeverCrashTheReader)
{
    const QByteArray json = encodeBackupScript(sampleScript());
    for (qsizetype length = 0; length < json.size(); ++length) {
        const BackupScriptDecoding decoded = decodeBackupScript(json.left(length));
        EXPECT_FALSE(decoded.script.has_value()) << "prefix of " << length << " bytes";
        EXPECT_FALSE(decoded.error.isEmpty());
    }
    for (qsizetype i = 0; i < json.size(); ++i) {
        for (const char replacement : {'\0', '"', '\\', '{', ']', '\xff', 'u', '-'}) {
            QByteArray broken = json;
            broken[i] = replacement;
            (void)decodeBackupScript(broken); // must return, whatever it decides
        }
    }
}

// Each part that only one side changed since `base` survives the merge;
// sources both sides add: BackupControllerSources.
TEST(MergeBackupScripts, KeepsEachSidesOwnChanges)
{
    BackupScript base;
    base.sourcePaths = {u"/a"_s, u"/b"_s};
    base.volumeUUID = u"U-1"_s;
    base.volumeName = u"STICK"_s;
    base.volumePath = u"/media/STICK"_s;
    using Edit = std::function<void(BackupScript &)>;
    auto clearVolume = [](BackupScript &s) { s.volumeUUID.clear(); s.volumeName.clear(); s.volumePath.clear(); };
    const std::tuple<const char *, Edit, Edit, Edit> cases[] = { // ours, theirs, expected (applied to base)
        {"we remove, they add", [](BackupScript &s) { s.sourcePaths.removeAll(u"/a"_s); },
         [](BackupScript &s) { s.sourcePaths << u"/c"_s; }, [](BackupScript &s) { s.sourcePaths = {u"/b"_s, u"/c"_s}; }},
        {"we stamp a backup, they clear the volume", [](BackupScript &s) { s.lastBackup = u"today"_s; }, clearVolume,
         [&](BackupScript &s) { s.lastBackup = u"today"_s; clearVolume(s); }},
        {"the volume moves as a whole", [](BackupScript &s) { s.volumePath = u"/media/STICK1"_s; },
         [](BackupScript &s) { s.volumeUUID = u"U-2"_s; s.volumeName = u"OTHER"_s; },
         [](BackupScript &s) { s.volumePath = u"/media/STICK1"_s; }},
    };
    for (const auto &[what, ours, theirs, expected] : cases) {
        SCOPED_TRACE(what);
        BackupScript mine = base, other = base, merged = base;
        ours(mine);
        theirs(other);
        expected(merged);
        EXPECT_EQ(mergeBackupScripts(base, mine, other), merged);
    }
}

namespace {

class ScriptStoreTest : public ::testing::Test
{
protected:
    ScriptStore store() const
    {
        return ScriptStore(m_dir.path() + u"/data"_s, [this](const QString &line) { m_lines.append(line); });
    }
    QString file() const { return m_dir.path() + u"/data/com.brindlewick.vellory2/BackupScript.json"_s; }
    // A new set was loaded, with one init() line saying why.
    void expectNewSet(const BackupScript &loaded) const
    {
        EXPECT_EQ(loaded.scriptName, u"Untitled"_s);
        EXPECT_EQ(loaded.lastBackup, u"Never"_s);
        ASSERT_EQ(m_lines.size(), 1);
        EXPECT_TRUE(m_lines.first().startsWith(u"init() "_s)) << m_lines.first().toStdString();
        EXPECT_GT(m_lines.first().size(), 7) << "the line carries a description";
    }

    QTemporaryDir m_dir;
    mutable QStringList m_lines;
};

} // namespace

TEST(ScriptStoreLocation, FollowsXdgDataHomeAndIgnoresARelativeValue)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/data-home");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), u"/srv/data-home"_s);
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), QDir::homePath() + u"/.local/share"_s);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), QDir::homePath() + u"/.local/share"_s);
    qputenv("XDG_DATA_HOME", saved);
}

TEST_F(ScriptStoreTest, FirstStartOrAnInvalidOrUnreadableFileGivesANewSetWritingNoFileUntilASaveWhichRoundTrips)
{
    expectNewSet(store().load());
    EXPECT_FALSE(QFile::exists(file()));

    m_lines.clear();
    BackupScript script;
    script.sourcePaths = {u"/home/ann/Notes"_s};
    script.volumeUUID = u"4A3B-1C2D"_s;
    script.volumePath = u"/media/ann/STICK"_s;
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(contentOf(file()), encodeBackupScript(script));
    EXPECT_EQ(store().load(), script);
    // Saving again replaces the whole content and leaves no stray file.
    script.sourcePaths.clear();
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(store().load(), script);
    EXPECT_EQ(QDir(QFileInfo(file()).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_TRUE(m_lines.isEmpty()) << m_lines.join(u'\n').toStdString();

    // A file that does not load, or cannot be read, gives a new set too;
    // its bytes are kept aside once, under a name the line gives, and
    // survive the next save.
    const QByteArray invalid = R"({"scriptName":"Work","scriptUUID":"X","sourcePaths":[],"volumeCapacity":0,"volumeDescription":"","volumeName":""})";
    writeFile(file(), invalid);
    const BackupScript loaded = store().load();
    expectNewSet(loaded);
    EXPECT_TRUE(m_lines.first().contains(u"volumeUUID"_s)) << m_lines.first().toStdString();
    EXPECT_EQ(contentOf(file()), invalid) << "a file that fails to load is left alone";
    const QStringList kept = QDir(QFileInfo(file()).path()).entryList({u"BackupScript.json.damaged-*"_s});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(m_lines.first().endsWith(u"; its content is kept in "_s + QFileInfo(file()).path() + u'/' + kept.first()));
    (void)store().load();
    EXPECT_EQ(QDir(QFileInfo(file()).path()).entryList({u"BackupScript.json.damaged-*"_s}), kept) << "kept once";
    ASSERT_TRUE(store().save(loaded));
    EXPECT_EQ(store().load(), loaded);
    EXPECT_EQ(contentOf(QFileInfo(file()).path() + u'/' + kept.first()), invalid);

    m_lines.clear();
    QFile::remove(file());
    QDir().mkpath(file()); // a folder where the file should be
    expectNewSet(store().load());
}

TEST_F(ScriptStoreTest, AnUnwritableLocationReportsFolderAndSaveFailuresAndKeepsGoing)
{
    writeFile(m_dir.path() + u"/data"_s, "a file where the data folder should be");
    EXPECT_EQ(store().filePath(), file()) << "the location is returned all the same";
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(u"scriptFileURL() "_s)) << m_lines.first().toStdString();
    m_lines.clear();
    EXPECT_FALSE(store().save(BackupScript()));
    ASSERT_EQ(m_lines.size(), 2);
    EXPECT_TRUE(m_lines.at(1).startsWith(u"scriptSave() "_s)) << m_lines.at(1).toStdString();
}
