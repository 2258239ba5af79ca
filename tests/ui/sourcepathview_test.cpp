// The source list panel (adding by drop, removal and revealing from the cell
// menu, the icon-size choice) and the row changes of its model.
#include "viewtesting.h"

#include "recordingurlopener.h"
#include "ui/sourcepathlistmodel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QUrl>

namespace {

// The paths of the grid's cells, in grid order.
QStringList gridPaths(const ViewFixture &f)
{
    QQuickItem *grid = f.item(QStringLiteral("sourceGrid"));
    auto *model = grid ? qobject_cast<SourcePathListModel *>(grid->property("model").value<QObject *>()) : nullptr;
    return model ? model->paths() : QStringList();
}

void triggerCellItem(const ViewFixture &f, const QString &path, const QString &item)
{
    QObject *cell = f.find(QStringLiteral("cell:") + path);
    ASSERT_TRUE(cell) << path.toStdString();
    QMetaObject::invokeMethod(cell, "ensureMenu"); // the menu is made on first use
    QObject *entry = f.find(item, cell);
    ASSERT_TRUE(entry) << item.toStdString();
    QMetaObject::invokeMethod(entry, "triggered");
}

} // namespace

// In one narrow column: the icon-size choice is stored, survives a restart
// of the view and sets the column width; "Remove" takes every occurrence,
// "Show in Files" reveals the item and drops add in order.
TEST(SourcePathView, TheIconSizeChoiceIsKeptRemoveTakesEveryOccurrenceAndDropsAddInOrder)
{
    RecordingUrlOpener opener;
    ViewFixture f;
    const QString notes = QStringLiteral("/home/ann/Notes"), music = QStringLiteral("/home/ann/Music");
    const QString odd = QStringLiteral("/home/ann/My Notes #1");
    BackupScript script;
    script.sourcePaths = {notes, odd, notes};
    f.storeSet(script);
    f.start();
    const QSize narrow(300, 450);
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, narrow));
    auto columnWidth = [&f] { return f.item(QStringLiteral("sourceGrid"))->property("cellWidth").toReal(); };
    auto iconWidth = [&f] { return f.item(QStringLiteral("cellIcon"))->width(); };
    EXPECT_EQ(iconWidth(), 100);
    EXPECT_TRUE(f.item(QStringLiteral("largeIconsButton"))->property("checked").toBool());
    const qreal large = columnWidth();

    ViewFixture::click(f.item(QStringLiteral("smallIconsButton")));
    EXPECT_EQ(platform::preferences()->value(QStringLiteral("iconSize")).toInt(), 32);
    f.unload();
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, narrow));
    EXPECT_EQ(iconWidth(), 32);
    EXPECT_TRUE(f.item(QStringLiteral("smallIconsButton"))->property("checked").toBool());
    const qreal small = columnWidth();
    ViewFixture::click(f.item(QStringLiteral("mediumIconsButton")));
    EXPECT_EQ(platform::preferences()->value(QStringLiteral("iconSize")).toInt(), 64);
    EXPECT_TRUE(small < columnWidth() && columnWidth() < large) << small << " " << columnWidth() << " " << large;
    // A stored size other than 32 or 64 gets the large columns.
    platform::preferences()->setValue(QStringLiteral("iconSize"), 48);
    ASSERT_TRUE(f.load(QStringLiteral("SourcePathView.qml"), {}, narrow));
    EXPECT_EQ(iconWidth(), 48);
    EXPECT_EQ(columnWidth(), large);

    triggerCellItem(f, notes, QStringLiteral("removeItem"));
    EXPECT_EQ(gridPaths(f), QStringList{odd});
    EXPECT_EQ(f.stored().sourcePaths, QStringList{odd});
    EXPECT_TRUE(waitUntil([&] { return !f.find(QStringLiteral("cell:") + notes); }));
    triggerCellItem(f, odd, QStringLiteral("showInFinderItem"));
    EXPECT_EQ(opener.revealed, QStringList{odd});

    // A web address in the drop is no file and is left out; an item already
    // there moves to the end.
    const QList<QUrl> urls = {QUrl::fromLocalFile(music), QUrl(QStringLiteral("https://example.com/x")),
                              QUrl::fromLocalFile(odd)};
    ASSERT_TRUE(QMetaObject::invokeMethod(f.view, "dropUrls", Q_ARG(QVariant, QVariant::fromValue(urls))));
    f.settle();
    EXPECT_EQ(gridPaths(f), (QStringList{music, odd}));
    EXPECT_EQ(f.stored().sourcePaths, (QStringList{music, odd}));
    EXPECT_EQ(f.text(QStringLiteral("cellName"), f.find(QStringLiteral("cell:") + odd)), QStringLiteral("My Notes #1"));
    EXPECT_EQ(f.text(QStringLiteral("cellFolder"), f.find(QStringLiteral("cell:") + odd)), QStringLiteral("/home/ann"));

    triggerCellItem(f, music, QStringLiteral("removeItem"));
    triggerCellItem(f, odd, QStringLiteral("removeItem"));
    EXPECT_TRUE(f.stored().sourcePaths.isEmpty());
    EXPECT_TRUE(f.item(QStringLiteral("sourcePlaceholder"))->isVisible());
    EXPECT_FALSE(f.item(QStringLiteral("sourceGrid"))->isVisible());
}
TEST(SourcePathListModel, EachKindOfChangeTakesTheFewestRowChangesAndEndsWithTheNewList)
{
    QStringList many = {QStringLiteral("a"), QStringLiteral("b")};
    for (int i = 0; i < 3000; ++i) {
        many.append(QStringLiteral("x%1").arg(i));
    }
    struct Case {
        const char *what;
        QStringList from;
        QStringList to;
        int removals;
        int insertions;
    };
    const QList<Case> cases = {
        {"a large drop at the end", {"a", "b"}, many, 0, 1},
        {"moved to the end", {"a", "b", "c"}, {"b", "c", "a"}, 1, 1},
        {"moved to the front", {"a", "b", "c"}, {"c", "a", "b"}, 1, 1},
        {"a run removed", {"a", "b", "c", "d"}, {"a", "d"}, 1, 0},
        {"two runs removed", {"a", "b", "c", "d", "e"}, {"a", "c", "e"}, 2, 0},
        {"every copy removed", {"a", "b", "a", "c"}, {"b", "c"}, 2, 0},
        {"everything replaced", {"a", "b"}, {"c"}, 1, 1},
        {"a large list emptied", many, {}, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SourcePathListModel model;
        model.setPaths(c.from);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.setPaths(c.to);
        EXPECT_EQ(model.paths(), c.to);
        EXPECT_EQ(removed.size(), c.removals);
        EXPECT_EQ(inserted.size(), c.insertions);
        EXPECT_EQ(resets.size(), 0);
    }

    // Any change ends with exactly the new list, row by row.
    SourcePathListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QRandomGenerator random(20240309);
    for (int round = 0; round < 300; ++round) {
        QStringList next;
        for (int i = random.bounded(9); i > 0; --i) {
            next.append(QStringLiteral("/p%1").arg(random.bounded(5)));
        }
        model.setPaths(next);
        ASSERT_EQ(model.rowCount(), next.size()) << round;
        for (int row = 0; row < next.size(); ++row) {
            ASSERT_EQ(model.data(model.index(row), SourcePathListModel::PathRole).toString(), next.at(row));
        }
    }
}
