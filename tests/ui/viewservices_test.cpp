// The C++ behind the views: image URLs and their providers, the row changes
// of the source list, the log feed, the item dialog and the desktop helpers.
#include "controllertesting.h"
#include "runtesting.h"

#include "backup/backupthread.h"
#include "ui/icondrawing.h"
#include "backup/iconsource.h"
#include "ui/backuplogmodel.h"
#include "ui/controllerimageprovider.h"
#include "ui/desktopfiles.h"
#include "ui/fileiconprovider.h"
#include "ui/icontheme.h"
#include "ui/itemchooser.h"
#include "ui/sourcepathlistmodel.h"
#include "ui/themeiconprovider.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <malloc.h>

Q_IMPORT_QML_PLUGIN(VelloryPlugin)

namespace {

// Records what the engine asked for, then answers as the real provider.
class RecordingFileIconProvider : public FileIconProvider
{
public:
    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override
    {
        ids.append(id);
        return FileIconProvider::requestImage(id, size, requestedSize);
    }
    QStringList ids;
};

} // namespace

// Every path survives the trip through an image URL of the engine; icons
// come from the theme by kind, at the size asked for.
TEST(FileIconProvider, EveryPathSurvivesTheImageUrlAndIconsComeFromTheThemeByKind)
{
    useIconThemeFallback();
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    auto *recording = new RecordingFileIconProvider;
    engine.addImageProvider(QStringLiteral("fileicon"), recording);
    for (const QString &path : {QStringLiteral("/home/ann/Ünïcødé ?#&+ %20 name"), QStringLiteral("/home/ann/100% done?.txt"),
                                QStringLiteral("/home/ann/a#b/c?d=e&f"), QStringLiteral("/srv/日本語/ファイル")}) {
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Vellory\nImage { property string path; sourceSize: Qt.size(32, 32); "
                          "source: DesktopFiles.fileIconSource(path, 32) }",
                          QUrl());
        std::unique_ptr<QObject> image(component.createWithInitialProperties({{QStringLiteral("path"), path}}));
        ASSERT_TRUE(image && !recording->ids.isEmpty()) << component.errorString().toStdString();
        const auto request = FileIconProvider::decodeId(recording->ids.last());
        ASSERT_TRUE(request) << recording->ids.last().toStdString();
        EXPECT_EQ(request->path, path);
        EXPECT_EQ(request->size, 32);
    }
    EXPECT_FALSE(FileIconProvider::decodeId(QStringLiteral("%2Fhome?size=0")));
    EXPECT_FALSE(FileIconProvider::decodeId(QStringLiteral("%2Fhome")));

    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile(dir.path() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));
    EXPECT_EQ(FileIconProvider::iconNamesForPath(folder).value(0), QStringLiteral("folder"));
    EXPECT_TRUE(FileIconProvider::iconNamesForPath(dir.path() + QStringLiteral("/notes.txt"))
                    .contains(QStringLiteral("text-plain")));
    EXPECT_TRUE(FileIconProvider::iconNamesForPath(dir.path() + QStringLiteral("/gone.pdf")).isEmpty());
    EXPECT_TRUE(FileIconProvider::iconNamesForPath(QDir::homePath()).startsWith(QStringLiteral("user-home")));
    FileIconProvider provider;
    for (const int pixels : {32, 100}) {
        QSize size;
        const QImage image = provider.requestImage(FileIconProvider::source(folder, pixels).mid(17), &size,
                                                   QSize(pixels, pixels));
        EXPECT_EQ(std::max(image.width(), image.height()), pixels);
        EXPECT_EQ(size, image.size());
    }
    // A missing item still gets a picture (the unknown-item icon).
    EXPECT_FALSE(FileIconProvider::iconImage(dir.path() + QStringLiteral("/gone"), 32).isNull());
}

// Themed shapes are tinted in the colour of their address; the missing
// volume icon draws the disk faintly and the badge over it.
TEST(ThemeIcons, ShapesAreTintedInTheColourOfTheirAddressAndBadgesDrawnOverAFaintDisk)
{
    const auto request = ThemeIconProvider::decodeId(
        ThemeIconProvider::source(QStringLiteral("folder-symbolic"), 24, QColor(255, 0, 0)).mid(18));
    ASSERT_TRUE(request && request->color);
    EXPECT_EQ(request->name, QStringLiteral("folder-symbolic"));
    EXPECT_EQ(request->size, 24);
    EXPECT_EQ(*request->color, QColor(255, 0, 0));

    auto solid = [](QColor colour, int size) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        return image;
    };
    QImage shape = solid(Qt::transparent, 4);
    shape.setPixelColor(1, 1, QColor(0, 0, 0, 255));
    const QImage tinted = ThemeIconProvider::tinted(shape, QColor(0, 0, 255));
    EXPECT_EQ(tinted.pixelColor(1, 1), QColor(0, 0, 255));
    EXPECT_EQ(tinted.pixelColor(0, 0).alpha(), 0);

    const QImage icon = icondrawing::drawBadged(solid(Qt::red, 300), 0.25, solid(Qt::white, 10), 0.5)
                            .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(150, 150));
    // The disk at a quarter of its opacity outside the badge; the badge at
    // half its opacity over it in the centre.
    for (const QPoint outside : {QPoint(0, 0), QPoint(149, 149), QPoint(75, 40)}) {
        const QColor pixel = icon.pixelColor(outside);
        EXPECT_NEAR(pixel.alpha(), 64, 2) << outside.x() << "," << outside.y();
        EXPECT_TRUE(pixel.red() == 255 && pixel.green() == 0) << outside.x() << "," << outside.y();
    }
    const QColor centre = icon.pixelColor(75, 75);
    EXPECT_NEAR(centre.alpha(), 159, 3); // 0.5 + 0.25 × 0.5
    EXPECT_GT(centre.green(), 150);
    // Without a badge the disk alone.
    EXPECT_EQ(icondrawing::drawBadged(solid(Qt::red, 32), 0.25, QImage(), 0.5).pixelColor(75, 75).green(), 0);
}

// A drawn theme icon does not keep the theme's full-size picture, though Qt
// keeps every icon it hands out. The pictures here are 16 MiB each, more
// than Qt's pixmap cache takes, so only the icon could hold them.
TEST(ThemeIcons, DrawingAnIconLetsTheThemesFullSizePictureGo)
{
    QTemporaryDir dir;
    const QString theme = dir.path() + QStringLiteral("/Large");
    ASSERT_TRUE(QDir().mkpath(theme + QStringLiteral("/2048x2048/places")));
    writeFile(theme + QStringLiteral("/index.theme"), "[Icon Theme]\nName=Large\nDirectories=2048x2048/places\n\n"
                                                      "[2048x2048/places]\nSize=2048\nType=Fixed\n");
    QImage picture(2048, 2048, QImage::Format_ARGB32);
    picture.fill(Qt::green);
    for (const char *name : {"large-one", "large-two", "large-three"}) {
        ASSERT_TRUE(picture.save(theme + QStringLiteral("/2048x2048/places/%1.png").arg(QLatin1String(name))));
    }
    picture = QImage();

    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths(searchPaths + QStringList{dir.path()});
    QIcon::setThemeName(QStringLiteral("Large"));
    const auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long long>(info.uordblks + info.hblkhd);
    };
    const long long before = heapInUse();
    const QImage one = drawThemeIcon(QStringLiteral("large-one"), 64);
    const QImage two = ThemeIconProvider::themedImage({QStringLiteral("large-two")}, 64);
    const QImage three = icondrawing::themedImage({QStringLiteral("large-three")});
    const long long grown = heapInUse() - before;
    QIcon::setThemeName(themeName);
    QIcon::setThemeSearchPaths(searchPaths);

    EXPECT_EQ(one.size(), QSize(64, 64));
    EXPECT_EQ(one.pixelColor(32, 32), QColor(Qt::green));
    EXPECT_EQ(two.size(), QSize(64, 64));
    EXPECT_EQ(three.size(), QSize(icondrawing::kImageSize, icondrawing::kImageSize));
    // The three drawings themselves take 0.3 MiB.
    EXPECT_LT(grown, 4LL << 20) << grown / 1024 << " KiB still held";
}

TEST(ControllerImageProvider, AJobIconIsTheJobsOwnAndAnUnlistedIdGetsThePlaceholders)
{
    useIconThemeFallback();
    ControllerFixture f;
    f.start();
    // The placeholder job shows the application's icon.
    QPixmap red(16, 16);
    red.fill(Qt::red);
    QGuiApplication::setWindowIcon(QIcon(red));
    auto job = BackupThread::create(BackupScript(), ThemeIconSource().missingVolumeIcon());
    f.controller->threads()->prepend(job);

    ControllerImageProvider provider(f.controller.get());
    const auto request = [&provider](const QString &source, QSize size = QSize()) {
        return provider.requestImage(source.mid(QStringLiteral("image://vellory/").size()), nullptr, size);
    };
    const QImage placeholder = request(ControllerImageProvider::jobIconSource(QStringLiteral("gone")), QSize(48, 48));
    EXPECT_EQ(placeholder.size(), QSize(48, 48));
    EXPECT_EQ(placeholder.pixelColor(24, 24), QColor(Qt::red));
    EXPECT_EQ(request(ControllerImageProvider::jobIconSource(job->id())), icondrawing::draw(job->icon()));
    QGuiApplication::setWindowIcon(QIcon());

    // Unknown pictures never come back null (the view would complain), nor
    // does the fixture's volume icon, which names no themed picture.
    EXPECT_FALSE(provider.requestImage(QStringLiteral("nonsense"), nullptr, QSize()).isNull());
    EXPECT_FALSE(request(f.controller->volumeIconSource()).isNull());
}

TEST(SourcePathListModel, EachKindOfChangeTakesTheFewestRowChangesAndEndsWithTheNewList)
{
    struct Case {
        const char *what;
        QStringList from;
        QStringList to;
        int removals;
        int insertions;
    };
    const QList<Case> cases = {
        {"a drop at the end", {"a", "b"}, {"a", "b", "c", "d", "e"}, 0, 1},
        {"moved to the end", {"a", "b", "c"}, {"b", "c", "a"}, 1, 1},
        {"moved to the front", {"a", "b", "c"}, {"c", "a", "b"}, 1, 1},
        {"a run removed", {"a", "b", "c", "d"}, {"a", "d"}, 1, 0},
        {"two runs removed", {"a", "b", "c", "d", "e"}, {"a", "c", "e"}, 2, 0},
        {"every copy removed", {"a", "b", "a", "c"}, {"b", "c"}, 2, 0},
        {"everything replaced", {"a", "b"}, {"c"}, 1, 1},
        {"a list emptied", {"a", "b", "c"}, {}, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SourcePathListModel model;
        model.setPaths(c.from);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.setPaths(c.to);
        EXPECT_EQ(removed.size(), c.removals);
        EXPECT_EQ(inserted.size(), c.insertions);
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

TEST(BackupLogModel, TakesEachBatchOfNewLinesAsOneInsertionAndGivesTheTextBetweenTwoPositions)
{
    auto job = BackupThread::createPlaceholder(); // "Backup Initialized"
    BackupLogModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setJob(job.get());
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    for (int i = 0; i < 100; ++i) {
        job->appendLog(QStringLiteral("line %1").arg(i));
    }
    job->appendLog(QStringLiteral("the longest line of them all"));
    ASSERT_TRUE(waitUntil([&] { return model.count() == 102; }));
    // In batches, not a row at a time, and never the whole log again.
    EXPECT_LT(inserted.size(), 100);
    EXPECT_EQ(resets.size(), 0);
    const QStringList log = job->log();
    for (int row = 0; row < model.count(); ++row) {
        ASSERT_EQ(model.data(model.index(row), BackupLogModel::LineRole).toString(), log.at(row));
    }
    EXPECT_EQ(model.longestLine(), int(log.last().size()));

    // Out-of-range positions are clamped here too, not only by the selection.
    EXPECT_EQ(model.textBetween(-5, -5, 999, 999), log.join(QLatin1Char('\n')));
    EXPECT_EQ(model.lineLength(999), 0);

    // The selection: a press and a drag (either way), Shift extending it,
    // a line, everything; each line draws its own columns, and only the rows
    // whose part changed are told.
    auto columns = [&model](int row) {
        return std::pair{model.data(model.index(row), BackupLogModel::SelectionStartRole).toInt(),
                         model.data(model.index(row), BackupLogModel::SelectionEndRole).toInt()};
    };
    QSignalSpy redrawn(&model, &QAbstractItemModel::dataChanged);
    model.press(0, 7);
    EXPECT_FALSE(model.hasSelection());
    model.dragTo(1, 3);
    EXPECT_EQ(model.selectedText(), QStringLiteral("Initialized\n") + log.at(1).left(3));
    EXPECT_EQ(columns(0), std::pair(7, 19)) << "the line break is selected too";
    EXPECT_EQ(columns(1), std::pair(0, 3));
    EXPECT_EQ(columns(2), std::pair(0, 0));
    model.press(0, 0, /*extend=*/true);
    EXPECT_EQ(model.selectedText(), QStringLiteral("Backup "));
    EXPECT_EQ(columns(1), std::pair(0, 0));
    ASSERT_FALSE(redrawn.isEmpty());
    EXPECT_EQ(redrawn.last().at(0).toModelIndex().row(), 0);
    EXPECT_EQ(redrawn.last().at(1).toModelIndex().row(), 1);
    model.selectLine(2);
    EXPECT_EQ(model.selectedText(), log.at(2));
    model.press(-5, -5);
    model.dragTo(999, 999);
    EXPECT_EQ(model.selectedText(), log.join(QLatin1Char('\n')));
    model.press(3, 1);
    model.selectAll();
    EXPECT_EQ(model.selectedText(), model.text()); // copied with the keyboard: VelloryApp

    model.setJob(nullptr);
    EXPECT_EQ(model.count(), 0);
}

TEST(FileOrFolderDialog, OpenOnAFolderChoosesItAndOnAFileChoosesTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/Photos")));
    ASSERT_TRUE(QFile(dir.path() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));
    for (const QString &path : {dir.path() + QStringLiteral("/Photos"), dir.path() + QStringLiteral("/notes.txt")}) {
        FileOrFolderDialog dialog(QString(), dir.path());
        dialog.selectFile(path);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.chosenPath(), path);
    }
    // A folder's path typed and Enter opens it instead.
    FileOrFolderDialog dialog(QString(), dir.path());
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    QTest::keyClicks(name, dir.path() + QStringLiteral("/Photos"));
    QTest::keyClick(name, Qt::Key_Return);

    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.chosenPath(), QString());
    EXPECT_EQ(dialog.directory().absolutePath(), dir.path() + QStringLiteral("/Photos"));
}
TEST(DesktopFiles, NamesFoldersDropsAndTheRemovableMediaFolder)
{
    EXPECT_EQ(DesktopFiles::fileName(QStringLiteral("/home/ann/Notes/")), QStringLiteral("Notes"));
    EXPECT_EQ(DesktopFiles::fileName(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(DesktopFiles::parentPath(QStringLiteral("/Notes")), QStringLiteral("/"));

    const QList<QUrl> urls = {QUrl(QStringLiteral("https://example.com/a")), QUrl::fromLocalFile(QStringLiteral("/b c")),
                              QUrl::fromLocalFile(QStringLiteral("/a/"))};
    EXPECT_EQ(DesktopFiles::localPaths(urls), (QStringList{QStringLiteral("/b c"), QStringLiteral("/a")}));

    // {user, the one folder that exists (any when empty), expected}; a user
    // name must not lead out of the folder.
    const std::tuple<QString, QString, QString> media[] = {
        {QStringLiteral("ann"), QStringLiteral("/media/ann"), QStringLiteral("/media/ann")},
        {QStringLiteral("ann"), QStringLiteral("/run/media/ann"), QStringLiteral("/run/media/ann")},
        {QStringLiteral("ann"), QStringLiteral("/nowhere"), QStringLiteral("/media")},
        {QStringLiteral(".."), QString(), QStringLiteral("/media")},
        {QString(), QString(), QStringLiteral("/media")},
    };
    for (const auto &[user, existing, expected] : media) {
        const QString found = DesktopFiles::removableMediaFolder(
            user, [existing = existing](const QString &folder) { return existing.isEmpty() || folder == existing; });
        EXPECT_EQ(found, expected) << user.toStdString() << " " << existing.toStdString();
    }
}
