// The Restore window driven through its QML: browse into a backed-up
// source, pick a file, choose a folder, run; the job restores it there.
#include "apptesting.h"
#include "runtesting.h"

#include "ui/restoremodel.h"

#include <QTest>

namespace {

using namespace Qt::Literals::StringLiterals;

TEST(RestoreWindow, PickingAFileChoosingAFolderAndRunningRestoresItThere)
{
    LoopVolume volume(LoopVolume::Kind::Ext4, u"STICK"_s);
    SKIP_WITHOUT(volume);
    SourceTree source;
    const QString docs = source.filePath(u"docs"_s);
    source.write(u"docs/letter.txt"_s, "dear ann");
    source.write(u"docs/other.txt"_s, "not this one");
    AppFixture fixture;
    const BackupScript script = scriptFor(volume.mountPath(), {docs});
    ASSERT_EQ(runJob(script).errors, 0u);
    fixture.storeSet(script);
    fixture.table.mount(fakeStick(script.volumeUUID, u"STICK"_s, volume.mountPath()));
    fixture.settings->setAutoBackupOnConnect(false);
    QQuickWindow *main = fixture.launch();
    ASSERT_NE(main, nullptr);
    VelloryApp &app = *fixture.app;
    ASSERT_TRUE(AppFixture::item(main, u"restoreItem"_s)->isEnabled());

    AppFixture::trigger(main, u"restoreItem"_s);
    QQuickWindow *window = app.router().window(u"restore"_s);
    ASSERT_NE(window, nullptr);
    auto *model = qobject_cast<RestoreModel *>(AppFixture::find(window, u"restoreModel"_s));
    ASSERT_NE(model, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !model->busy() && model->rowCount() == 1; }));
    EXPECT_EQ(model->computer(), platform::computerName());
    EXPECT_FALSE(AppFixture::item(window, u"restoreButton"_s)->isEnabled()) << "nothing picked";

    AppFixture::click(AppFixture::item(window, u"row:"_s + docs));
    ASSERT_TRUE(waitUntil([&] { return !model->busy() && model->rowCount() == 2; }));
    EXPECT_EQ(model->folder(), docs);
    QQuickItem *pick = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (pick = AppFixture::item(window, u"pick:"_s + docs + u"/letter.txt"_s)); }));
    AppFixture::click(pick);

    QTemporaryDir target;
    AppFixture::click(AppFixture::item(window, u"chosenFolderButton"_s));
    AppFixture::item(window, u"targetField"_s)->forceActiveFocus();
    for (const QChar c : target.path()) {
        QTest::keyClick(window, c.toLatin1());
    }
    QTest::keyClick(window, Qt::Key_Return);
    QQuickItem *run = AppFixture::item(window, u"restoreButton"_s);
    ASSERT_TRUE(run->isEnabled());
    AppFixture::click(run);

    ASSERT_EQ(app.controller()->threads()->count(), 1);
    const std::shared_ptr<BackupThread> job = app.controller()->threads()->jobAt(0);
    EXPECT_EQ(job->log().constFirst(), u"Restore Initialized from STICK"_s);
    ASSERT_TRUE(waitUntil([&] { return job->status() == BackupThreadStatusValue::completed; }, 30000));
    EXPECT_EQ(job->errorCount(), 0u);
    EXPECT_EQ(treeOf(target.path()), QStringList{u"letter.txt"_s});
    EXPECT_EQ(contentOf(target.filePath(u"letter.txt"_s)), "dear ann");
}

} // namespace
