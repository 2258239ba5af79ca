// The source list panel: placeholders, adding by drop, removal from the cell
// menu, revealing, and the icon-size choice.
#include "viewtesting.h"

#include "platform/preferences.h"
#include "recordingurlopener.h"
#include "ui/sourcepathlistmodel.h"

#include <QDir>
#include <QQuickItem>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");

QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

void drop(QQuickItem *panel, const QList<QUrl> &urls)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(panel, "dropUrls", Q_ARG(QVariant, QVariant::fromValue(urls))));
}

// The paths of the grid's cells, in grid order.
QStringList gridPaths(const ViewFixture &f)
{
    auto *grid = f.item(QStringLiteral("sourceGrid"));
    if (!grid) {
        return {};
    }
    auto *model = qobject_cast<SourcePathListModel *>(grid->property("model").value<QObject *>());
    return model ? model->paths() : QStringList();
}

} // namespace

TEST(SourcePathView, AnEmptySetShowsBothPlaceholdersWithThePlusSymbolInline)
{
    ViewFixture f;
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("ContentView.qml")));

    QQuickItem *sourcePlaceholder = f.item(QStringLiteral("sourcePlaceholder"));
    QQuickItem *volumePlaceholder = f.item(QStringLiteral("volumePlaceholder"));
    ASSERT_TRUE(sourcePlaceholder && volumePlaceholder);
    EXPECT_TRUE(sourcePlaceholder->isVisible());
    EXPECT_TRUE(volumePlaceholder->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("sourceGrid"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("volumeDetails"))->isVisible());

    EXPECT_EQ(f.item(QStringLiteral("sourcePlaceholderLine1"))->property("text").toString(),
              QStringLiteral("Drag and drop files & folders here to back them up, "));
    const QString second = f.item(QStringLiteral("sourcePlaceholderLine2"))->property("text").toString();
    EXPECT_TRUE(second.startsWith(QStringLiteral("or click on the \"<img src=\"image://themeicon/list-add")))
        << second.toStdString();
    EXPECT_TRUE(second.endsWith(QStringLiteral("> Add...\" button above to select files or folders.")))
        << second.toStdString();

    EXPECT_EQ(f.item(QStringLiteral("volumePlaceholderLine1"))->property("text").toString(),
              QStringLiteral("Drag and drop a volume here, "));
    EXPECT_EQ(f.item(QStringLiteral("volumePlaceholderLine2"))->property("text").toString(),
              QStringLiteral("or click \"Select...\" to choose a destination volume"));
}

TEST(SourcePathView, DroppedItemsAreAddedInOrderAndAnExistingOneMovesToTheEnd)
{
    ViewFixture f;
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Notes"), QStringLiteral("/home/ann/Photos")};
    f.storeSet(script);
    f.start();
    QQuickItem *panel = f.load(QStringLiteral("SourcePathView.qml"));
    ASSERT_TRUE(panel);
    EXPECT_EQ(gridPaths(f), script.sourcePaths);

    // A web address in the drop is no file and is left out.
    QList<QUrl> urls = fileUrls({QStringLiteral("/home/ann/Music"), QStringLiteral("/home/ann/Notes")});
    urls.insert(1, QUrl(QStringLiteral("https://example.com/x")));
    drop(panel, urls);
    f.settle();

    const QStringList expected = {QStringLiteral("/home/ann/Photos"), QStringLiteral("/home/ann/Music"),
                                  QStringLiteral("/home/ann/Notes")};
    EXPECT_EQ(gridPaths(f), expected);
    EXPECT_EQ(f.stored().sourcePaths, expected);
    EXPECT_FALSE(f.item(QStringLiteral("sourcePlaceholder"))->isVisible());
    EXPECT_TRUE(f.item(QStringLiteral("sourceGrid"))->isVisible());

    // The cells show each item's name and parent folder.
    QQuickItem *notes = f.item(QStringLiteral("cell:/home/ann/Notes"));
    ASSERT_TRUE(notes);
    EXPECT_EQ(f.item(QStringLiteral("cellName"), notes)->property("text").toString(), QStringLiteral("Notes"));
    EXPECT_EQ(f.item(QStringLiteral("cellFolder"), notes)->property("text").toString(), QStringLiteral("/home/ann"));
}

TEST(SourcePathView, RemoveTakesEveryOccurrenceOutOfTheGridAndTheStore)
{
    ViewFixture f;
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Notes"), QStringLiteral("/home/ann/Photos"),
                          QStringLiteral("/home/ann/Notes")};
    f.storeSet(script);
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml")));
    ASSERT_EQ(gridPaths(f).size(), 3);

    QObject *cell = f.find(QStringLiteral("cell:/home/ann/Notes"));
    ASSERT_TRUE(cell);
    QMetaObject::invokeMethod(cell, "ensureMenu");
    QObject *remove = f.find(QStringLiteral("removeItem"), cell);
    ASSERT_TRUE(remove);
    EXPECT_EQ(remove->property("text").toString(), QStringLiteral("Remove"));
    QMetaObject::invokeMethod(remove, "triggered");

    EXPECT_EQ(gridPaths(f), QStringList{QStringLiteral("/home/ann/Photos")});
    EXPECT_EQ(f.stored().sourcePaths, QStringList{QStringLiteral("/home/ann/Photos")});
    // The removed cells animate out and are gone afterwards.
    EXPECT_TRUE(ViewFixture::waitFor([&] { return !f.find(QStringLiteral("cell:/home/ann/Notes")); }));

    // Removing the last one brings the placeholder back.
    QObject *photos = f.find(QStringLiteral("cell:/home/ann/Photos"));
    QMetaObject::invokeMethod(photos, "ensureMenu");
    QMetaObject::invokeMethod(f.find(QStringLiteral("removeItem"), photos), "triggered");
    EXPECT_TRUE(f.stored().sourcePaths.isEmpty());
    EXPECT_TRUE(f.item(QStringLiteral("sourcePlaceholder"))->isVisible());
}

TEST(SourcePathView, ShowInFinderRevealsTheItemInTheFileManager)
{
    RecordingUrlOpener opener;
    ViewFixture f;
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/My Notes #1")};
    f.storeSet(script);
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml")));

    QObject *cell = f.find(QStringLiteral("cell:/home/ann/My Notes #1"));
    QMetaObject::invokeMethod(cell, "ensureMenu");
    QObject *reveal = f.find(QStringLiteral("showInFinderItem"), cell);
    ASSERT_TRUE(reveal);
    EXPECT_EQ(reveal->property("text").toString(), QStringLiteral("Show In Finder"));
    QMetaObject::invokeMethod(reveal, "triggered");
    EXPECT_EQ(opener.revealed, QStringList{QStringLiteral("/home/ann/My Notes #1")});
    EXPECT_EQ(f.stored().sourcePaths, script.sourcePaths);
}

TEST(SourcePathView, TheIconSizeChoiceIsStoredAndSurvivesARestartOfTheView)
{
    ViewFixture f;
    QTemporaryDir home;
    const QString folder = home.path() + QStringLiteral("/Pictures");
    ASSERT_TRUE(QDir().mkpath(folder));
    BackupScript script;
    script.sourcePaths = {folder};
    f.storeSet(script);
    f.start();
    // One narrow column, so the column width shows its limit.
    const QSize narrow(300, 450);
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, narrow));
    QQuickItem *grid = f.item(QStringLiteral("sourceGrid"));
    EXPECT_EQ(f.item(QStringLiteral("cellIcon"))->width(), 100);
    EXPECT_LE(grid->property("cellWidth").toReal(), 250);
    EXPECT_GT(grid->property("cellWidth").toReal(), 178);
    EXPECT_TRUE(f.item(QStringLiteral("largeIconsButton"))->property("checked").toBool());

    ViewFixture::click(f.item(QStringLiteral("smallIconsButton")));
    EXPECT_EQ(platform::preferences()->value(QStringLiteral("iconSize")).toInt(), 32);
    EXPECT_EQ(f.item(QStringLiteral("cellIcon"))->width(), 32);

    f.unload();
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, narrow));
    grid = f.item(QStringLiteral("sourceGrid"));
    EXPECT_EQ(f.item(QStringLiteral("cellIcon"))->width(), 32);
    EXPECT_TRUE(f.item(QStringLiteral("smallIconsButton"))->property("checked").toBool());
    EXPECT_GE(grid->property("cellWidth").toReal(), 140);
    EXPECT_LE(grid->property("cellWidth").toReal(), 178);

    // Medium: 64-point icons in 140-190 point columns; the name in the callout style.
    ViewFixture::click(f.item(QStringLiteral("mediumIconsButton")));
    EXPECT_EQ(platform::preferences()->value(QStringLiteral("iconSize")).toInt(), 64);
    EXPECT_LE(grid->property("cellWidth").toReal(), 190);
    EXPECT_GT(grid->property("cellWidth").toReal(), 178);
}

TEST(SourcePathView, AStoredSizeOtherThan32Or64GetsTheLargeColumns)
{
    ViewFixture f;
    platform::preferences()->setValue(QStringLiteral("iconSize"), 48);
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Notes")};
    f.storeSet(script);
    f.start();
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, QSize(300, 450)));
    EXPECT_EQ(f.item(QStringLiteral("cellIcon"))->width(), 48);
    EXPECT_GT(f.item(QStringLiteral("sourceGrid"))->property("cellWidth").toReal(), 190);
}
