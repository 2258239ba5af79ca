#include "backup/scriptstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class ScriptStoreTest : public ::testing::Test
{
protected:
    ScriptStore store() const
    {
        return ScriptStore(m_dir.path() + u"/data"_s, [this](const QString &line) { m_lines.append(line); });
    }
    QString file() const { return m_dir.path() + u"/data/com.brindlewick.vellory2/BackupScript.json"_s; }
    void write(const QString &path, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    QByteArray read() const
    {
        QFile in(file());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
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

TEST_F(ScriptStoreTest, FirstStartGivesANewSetAndWritesNoFileAndASaveRoundTrips)
{
    EXPECT_EQ(store().filePath(), file());
    EXPECT_TRUE(QFileInfo(QFileInfo(file()).path()).isDir()) << "folder made on demand";
    expectNewSet(store().load());
    EXPECT_FALSE(QFile::exists(file()));

    m_lines.clear();
    BackupScript script;
    script.sourcePaths = {u"/home/ann/Notes"_s};
    script.volumeUUID = u"4A3B-1C2D"_s;
    script.volumePath = u"/media/ann/STICK"_s;
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(read(), encodeBackupScript(script));
    EXPECT_EQ(store().load(), script);
    // Saving again replaces the whole content and leaves no stray file.
    script.sourcePaths.clear();
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(store().load(), script);
    EXPECT_EQ(QDir(QFileInfo(file()).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_TRUE(m_lines.isEmpty()) << m_lines.join(u'\n').toStdString();
}

TEST_F(ScriptStoreTest, AnInvalidOrUnreadableFileLoadsANewSetAndStaysUntilTheNextSave)
{
    const QByteArray invalid = R"({"scriptName":"Work","scriptUUID":"X","sourcePaths":[],"volumeCapacity":0,"volumeDescription":"","volumeName":""})";
    write(file(), invalid);
    const BackupScript loaded = store().load();
    expectNewSet(loaded);
    EXPECT_TRUE(m_lines.first().contains(u"volumeUUID"_s)) << m_lines.first().toStdString();
    EXPECT_EQ(read(), invalid) << "a file that fails to load is left alone";
    ASSERT_TRUE(store().save(loaded));
    EXPECT_EQ(store().load(), loaded);

    m_lines.clear();
    QFile::remove(file());
    QDir().mkpath(file()); // a folder where the file should be
    expectNewSet(store().load());
}

TEST_F(ScriptStoreTest, AnUnwritableLocationReportsFolderAndSaveFailuresAndKeepsGoing)
{
    write(m_dir.path() + u"/data"_s, "a file where the data folder should be");
    EXPECT_EQ(store().filePath(), file()) << "the location is returned all the same";
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(u"scriptFileURL() "_s)) << m_lines.first().toStdString();
    m_lines.clear();
    EXPECT_FALSE(store().save(BackupScript()));
    ASSERT_EQ(m_lines.size(), 2);
    EXPECT_TRUE(m_lines.at(0).startsWith(u"scriptFileURL() "_s));
    EXPECT_TRUE(m_lines.at(1).startsWith(u"scriptSave() "_s)) << m_lines.at(1).toStdString();
}
