#include "backup/scriptstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kFolder = QStringLiteral("/com.brindlewick.vellory2");

class ScriptStoreTest : public ::testing::Test
{
protected:
    ScriptStore store() const
    {
        return ScriptStore(m_dir.path() + QStringLiteral("/data"), [this](const QString &line) { m_lines.append(line); });
    }
    QString expectedFile() const { return m_dir.path() + QStringLiteral("/data") + kFolder + QStringLiteral("/BackupScript.json"); }

    QTemporaryDir m_dir;
    mutable QStringList m_lines;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(ScriptStoreTest, FileLivesInTheBundleIdentifierFolderOfTheDataDirectory)
{
    EXPECT_EQ(store().filePath(), expectedFile());
    EXPECT_EQ(store().fileUrl(), QUrl::fromLocalFile(expectedFile()));
    EXPECT_TRUE(QFileInfo(QFileInfo(expectedFile()).path()).isDir()) << "folder made on demand";
    EXPECT_TRUE(m_lines.isEmpty());
}

TEST(ScriptStoreLocation, FollowsXdgDataHomeAndIgnoresARelativeValue)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/data-home");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), QStringLiteral("/srv/data-home"));
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), QDir::homePath() + QStringLiteral("/.local/share"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(ScriptStore::defaultDataDirectory(), QDir::homePath() + QStringLiteral("/.local/share"));
    qputenv("XDG_DATA_HOME", saved);
}

TEST_F(ScriptStoreTest, FirstStartGivesANewSetAnInitLineAndWritesNoFile)
{
    const BackupScript loaded = store().load();
    EXPECT_EQ(loaded.scriptName, QStringLiteral("Untitled"));
    EXPECT_EQ(loaded.lastBackup, QStringLiteral("Never"));
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(QStringLiteral("init() "))) << m_lines.first().toStdString();
    EXPECT_GT(m_lines.first().size(), 7) << "the line carries a description";
    EXPECT_FALSE(QFile::exists(expectedFile()));
}

TEST_F(ScriptStoreTest, SaveThenLoadRoundTripsAndWritesTheEncodedForm)
{
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Notes")};
    script.volumeUUID = QStringLiteral("4A3B-1C2D");
    script.volumePath = QStringLiteral("/media/ann/STICK");
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(readFile(expectedFile()), encodeBackupScript(script));
    EXPECT_EQ(store().load(), script);
    EXPECT_TRUE(m_lines.isEmpty()) << m_lines.join(QLatin1Char('\n')).toStdString();
    // Saving again replaces the whole content and leaves no stray file.
    script.sourcePaths.clear();
    ASSERT_TRUE(store().save(script));
    EXPECT_EQ(store().load(), script);
    EXPECT_EQ(QDir(QFileInfo(expectedFile()).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(ScriptStoreTest, AnInvalidFileLoadsANewSetAndStaysUntilTheNextSave)
{
    const QByteArray invalid = R"({"scriptName":"Work","scriptUUID":"X","sourcePaths":[],"volumeCapacity":0,"volumeDescription":"","volumeName":""})";
    writeFile(expectedFile(), invalid);
    const BackupScript loaded = store().load();
    EXPECT_EQ(loaded.scriptName, QStringLiteral("Untitled"));
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(QStringLiteral("init() ")));
    EXPECT_TRUE(m_lines.first().contains(QStringLiteral("volumeUUID"))) << m_lines.first().toStdString();
    EXPECT_EQ(readFile(expectedFile()), invalid) << "a file that fails to load is left alone";
    ASSERT_TRUE(store().save(loaded));
    EXPECT_EQ(store().load(), loaded);
}

TEST_F(ScriptStoreTest, AnUnreadableFileLoadsANewSetWithAnInitLine)
{
    QDir().mkpath(expectedFile()); // a folder where the file should be
    const BackupScript loaded = store().load();
    EXPECT_EQ(loaded.scriptName, QStringLiteral("Untitled"));
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(QStringLiteral("init() ")));
}

TEST_F(ScriptStoreTest, AnUnwritableLocationReportsFolderAndSaveFailuresAndKeepsGoing)
{
    writeFile(m_dir.path() + QStringLiteral("/data"), "a file where the data folder should be");
    EXPECT_EQ(store().filePath(), expectedFile()) << "the location is returned all the same";
    ASSERT_EQ(m_lines.size(), 1);
    EXPECT_TRUE(m_lines.first().startsWith(QStringLiteral("scriptFileURL() "))) << m_lines.first().toStdString();

    m_lines.clear();
    EXPECT_FALSE(store().save(BackupScript()));
    ASSERT_EQ(m_lines.size(), 2);
    EXPECT_TRUE(m_lines.at(0).startsWith(QStringLiteral("scriptFileURL() ")));
    EXPECT_TRUE(m_lines.at(1).startsWith(QStringLiteral("scriptSave() "))) << m_lines.at(1).toStdString();
}
