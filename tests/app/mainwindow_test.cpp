// The main window: what its panels show and do for each state of the
// destination and the sources, and, at its smallest, no text cut off,
// outside the window or lying over other text.
#include "apptesting.h"

#include "app/desktopstyle.h"
#include "ui/itemchooser.h"
#include "ui/sourcepathlistmodel.h"

#include <QGuiApplication>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");
const QString kStickPath = QStringLiteral("/media/ann/STICK");

struct ShownText
{
    QQuickItem *item;
    QString text;
    QRectF rect; // where the glyphs are, in the window
};

// The part of the text item covered by glyphs, by its alignment, in the window.
QRectF glyphRect(QQuickItem *text)
{
    const QSizeF box = text->size();
    const QSizeF content(std::min(text->property("contentWidth").toReal(), box.width()),
                         std::min(text->property("contentHeight").toReal(), box.height()));
    const int hAlign = text->property("effectiveHorizontalAlignment").toInt();
    const int vAlign = text->property("verticalAlignment").toInt();
    const qreal x = hAlign & Qt::AlignHCenter ? (box.width() - content.width()) / 2
        : hAlign & Qt::AlignRight              ? box.width() - content.width()
                                               : 0;
    const qreal y = vAlign & Qt::AlignVCenter ? (box.height() - content.height()) / 2
        : vAlign & Qt::AlignBottom             ? box.height() - content.height()
                                               : 0;
    return text->mapRectToScene(QRectF(QPointF(x, y), content));
}

// The texts shown under `item`: not hidden by a parent, not transparent, not blank.
void collect(QQuickItem *item, std::vector<ShownText> &texts)
{
    if (!item->isVisible() || item->opacity() <= 0.01) {
        return;
    }
    const QString text = item->property("text").toString();
    if ((item->inherits("QQuickText") || item->inherits("QQuickTextEdit")) && !text.trimmed().isEmpty()) {
        texts.push_back({item, text, glyphRect(item)});
    }
    for (QQuickItem *child : item->childItems()) {
        collect(child, texts);
    }
}

std::string describe(const ShownText &shown)
{
    return "\"" + shown.text.left(60).toStdString() + "\" (" + shown.item->objectName().toStdString() + ")";
}

constexpr qreal kSlack = 1.0;

// The contrast ratio of two colours (1 to 21), as accessibility guides measure it.
double contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const auto [dim, bright] = std::minmax({luminance(a), luminance(b)});
    return (bright + 0.05) / (dim + 0.05);
}

// Every text whole: inside the window, not clipped, not elided.
void expectWholeText(QQuickWindow *window, const std::vector<ShownText> &texts)
{
    const QRectF windowRect(0, 0, window->width(), window->height());
    for (const ShownText &shown : texts) {
        SCOPED_TRACE(describe(shown));
        EXPECT_TRUE(windowRect.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(shown.rect))
            << "at " << shown.rect.x() << "," << shown.rect.y() << " " << shown.rect.width() << "x"
            << shown.rect.height();
        QRectF seen = shown.rect;
        for (QQuickItem *it = shown.item->parentItem(); it; it = it->parentItem()) {
            seen = it->clip() ? seen.intersected(it->mapRectToScene(QRectF(QPointF(), it->size()))) : seen;
        }
        EXPECT_GE(seen.width() + kSlack, shown.rect.width());
        EXPECT_GE(seen.height() + kSlack, shown.rect.height());
        // Not cut short: nothing elided, nothing wider than its box.
        EXPECT_FALSE(shown.item->property("truncated").toBool());
        if (shown.item->property("wrapMode").toInt() == 0) {
            EXPECT_LE(shown.item->property("implicitWidth").toReal(), shown.item->width() + kSlack);
        }
    }
}

void expectTidyText(QQuickWindow *window)
{
    std::vector<ShownText> texts;
    collect(window->contentItem(), texts);
    ASSERT_FALSE(texts.empty());
    expectWholeText(window, texts);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const QRectF overlap = texts[i].rect.intersected(texts[j].rect);
            EXPECT_FALSE(overlap.width() > 1.5 && overlap.height() > 1.5)
                << describe(texts[i]) << " lies over " << describe(texts[j]);
        }
    }
}

// No item's text cut in any menu: the menu bar's and `contextMenus`.
void expectWholeMenus(QQuickWindow *window, const QStringList &contextMenus)
{
    QList<QObject *> menus;
    QObject *bar = window->property("menuBar").value<QObject *>();
    for (int i = 0; bar && i < bar->property("count").toInt(); ++i) {
        menus.append(AppFixture::evaluate(bar, QStringLiteral("menuAt(%1)").arg(i)).value<QObject *>());
    }
    for (const QString &name : contextMenus) {
        menus.append(AppFixture::find(window, name));
    }
    ASSERT_GE(menus.size(), 2);
    for (QObject *menu : menus) {
        ASSERT_TRUE(menu);
        SCOPED_TRACE(menu->objectName().toStdString());
        QMetaObject::invokeMethod(menu, "open");
        ASSERT_TRUE(waitUntil([menu] { return menu->property("opened").toBool(); }));
        std::vector<ShownText> texts;
        collect(menu->property("contentItem").value<QQuickItem *>(), texts);
        EXPECT_GE(texts.size(), 1U);
        expectWholeText(window, texts);
        QMetaObject::invokeMethod(menu, "close");
        ASSERT_TRUE(waitUntil([menu] { return !menu->property("visible").toBool(); }));
    }
}

// A disabled " Backup Now ", "Eject" and "Auto Eject on Completion" are drawn
// in the palette's disabled text colour, unlike their enabled neighbours; an
// off switch's knob stands out from its track; tooltips follow the palette.
void expectDisabledControlsLookDisabled(QQuickWindow *window, const QPalette &palette, bool dark)
{
    auto textColour = [window](const QString &name) {
        QObject *control = AppFixture::find(window, name);
        EXPECT_TRUE(control) << name.toStdString();
        return AppFixture::evaluate(control, QStringLiteral("contentItem.color")).value<QColor>();
    };
    const QColor enabledButton = textColour(QStringLiteral("selectButton"));
    EXPECT_EQ(enabledButton, palette.color(QPalette::Active, QPalette::ButtonText));
    for (const QString name : {QStringLiteral("backupButton"), QStringLiteral("ejectButton")}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_FALSE(AppFixture::item(window, name)->isEnabled());
        EXPECT_NE(textColour(name), enabledButton);
        EXPECT_EQ(textColour(name), palette.color(QPalette::Disabled, QPalette::ButtonText));
    }
    ASSERT_FALSE(AppFixture::item(window, QStringLiteral("autoEjectSwitch"))->isEnabled());
    EXPECT_EQ(textColour(QStringLiteral("autoEjectSwitch")), palette.color(QPalette::Disabled, QPalette::Text));

    QObject *offSwitch = AppFixture::find(window, QStringLiteral("autoBackupSwitch"));
    QObject *track = AppFixture::find(offSwitch, QStringLiteral("switchTrack"));
    QObject *knob = AppFixture::find(offSwitch, QStringLiteral("switchKnob"));
    ASSERT_TRUE(track && knob && !offSwitch->property("checked").toBool());
    EXPECT_GE(contrast(track->property("color").value<QColor>(), knob->property("color").value<QColor>()), 2.5);

    const auto colour = [window](const char *role) {
        return AppFixture::evaluate(window, QStringLiteral("palette.") + QLatin1StringView(role)).value<QColor>();
    };
    EXPECT_EQ(colour("toolTipBase").lightnessF() < 0.5, dark) << colour("toolTipBase").name().toStdString();
    // Text reads at 4.5:1 on every background the windows draw it on, tooltips
    // included; the desktop's highlight is made darker or lighter until it does.
    for (const auto &[back, front] : {std::pair{"toolTipBase", "toolTipText"}, {"highlight", "highlightedText"},
                                      {"base", "text"}, {"window", "windowText"}, {"button", "buttonText"}}) {
        EXPECT_GE(contrast(colour(back), colour(front)), 4.5) << back;
    }
    // A source with the keyboard focus shows a ring that stands out (3:1).
    QQuickItem *ring = AppFixture::item(window, QStringLiteral("cellFocusRing"));
    ASSERT_TRUE(ring && ring->parentItem());
    ring->parentItem()->forceActiveFocus(Qt::TabFocusReason);
    EXPECT_TRUE(ring->isVisible());
    const QColor ringColour = ring->property("border").value<QObject *>()->property("color").value<QColor>();
    EXPECT_GE(contrast(ringColour, colour("base")), 3.0);
    EXPECT_GE(contrast(ringColour, colour("window")), 3.0);
}

// Drops `urls` on the panel named `panel`; whether it took them.
bool drop(QQuickWindow *window, const QString &panel, const QList<QUrl> &urls)
{
    QVariant accepted;
    EXPECT_TRUE(QMetaObject::invokeMethod(AppFixture::find(window, panel), "dropUrls", Q_RETURN_ARG(QVariant, accepted),
                                          Q_ARG(QVariant, QVariant::fromValue(urls))));
    QTest::qWait(50);
    return accepted.toBool();
}

QStringList gridPaths(QQuickWindow *window)
{
    QQuickItem *grid = AppFixture::item(window, QStringLiteral("sourceGrid"));
    auto *model = grid ? qobject_cast<SourcePathListModel *>(grid->property("model").value<QObject *>()) : nullptr;
    return model ? model->paths() : QStringList();
}

void triggerCellItem(QQuickWindow *window, const QString &path, const QString &item)
{
    QObject *cell = AppFixture::find(window, QStringLiteral("cell:") + path);
    ASSERT_TRUE(cell) << path.toStdString();
    QMetaObject::invokeMethod(cell, "ensureMenu"); // the menu is made on first use
    AppFixture::trigger(cell, item);
}

} // namespace

// With a stored icon size, through every state: disconnected with both
// switches never written (in the light and the dark palette), connected, the
// volume removed and refused choices, every source removed, a volume dropped.
TEST(MainWindow, EveryStateFitsTheSmallestWindowAndThePanelsShowAndDoWhatTheDestinationAllows)
{
    const QPalette light = QGuiApplication::palette();
    AppFixture f;
    BackupScript script = setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath, 64'000'000'000);
    const QString notes = QStringLiteral("/home/ann/Notes.txt");
    script.sourcePaths = {QStringLiteral("/home/ann/Documents"), QStringLiteral("/home/ann/Pictures"), notes,
                          QStringLiteral("/home/ann/Music")};
    f.storeSet(script);
    f.settings->setIconSize(48);
    QQuickWindow *window = f.launch();
    ASSERT_TRUE(window);
    window->resize(window->minimumSize());
    QTest::qWait(400); // animations settle
    auto iconWidth = [window] { return AppFixture::item(window, QStringLiteral("cellIcon"))->width(); };
    auto text = [window](const QString &name) { return AppFixture::text(window, name); };
    EXPECT_EQ(iconWidth(), 48);
    EXPECT_EQ(text(QStringLiteral("volumeNameLabel")), QStringLiteral("STICK"));
    // Never written: both switches on; auto eject only with auto backup,
    // keeping what it had and writing nothing while greyed out.
    QQuickItem *autoEject = AppFixture::item(window, QStringLiteral("autoEjectSwitch"));
    EXPECT_TRUE(AppFixture::flag(window, QStringLiteral("autoBackupSwitch"), "checked") && autoEject->property("checked").toBool());
    AppFixture::click(window, QStringLiteral("autoBackupSwitch"));
    EXPECT_TRUE(autoEject->property("checked").toBool());
    EXPECT_TRUE(f.settings->autoEjectOnComplete());
    expectTidyText(window);
    expectDisabledControlsLookDisabled(window, light, false);
    QGuiApplication::setPalette(DesktopStyle::darkPalette());
    expectDisabledControlsLookDisabled(window, DesktopStyle::darkPalette(), true);
    QGuiApplication::setPalette(light);

    // The stick arrives (with auto backup off that only refreshes the
    // panel): both buttons come alive and the space is current.
    f.monitor.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath, 64'000'000'000, 16'000'000'000));
    ASSERT_TRUE(waitUntil([&] { return !f.app->controller()->isReadingVolumes(); }));
    QTest::qWait(50);
    EXPECT_NEAR(AppFixture::find(window, QStringLiteral("usageGauge"))->property("value").toReal(), 0.75, 1e-6);
    expectTidyText(window);
    // The hairlines under the two panels' headers meet.
    auto lineY = [window](const char *header) {
        QQuickItem *line = AppFixture::item(AppFixture::find(window, QString::fromLatin1(header)), QStringLiteral("panelHeaderLine"));
        return line ? line->mapToScene(QPointF(0, 0)).y() : qQNaN();
    };
    EXPECT_EQ(lineY("sourceHeader"), lineY("volumeHeader"));
    QMetaObject::invokeMethod(AppFixture::find(window, QStringLiteral("cell:") + notes), "ensureMenu");
    expectWholeMenus(window, {QStringLiteral("volumeMenu"), QStringLiteral("cellMenu")});

    // The icon-size choice is stored and shown; a cell's menu removes or
    // reveals its item; a drop adds its files, not a web address.
    AppFixture::click(window, QStringLiteral("smallIconsButton"));
    EXPECT_EQ(iconWidth(), 32);
    triggerCellItem(window, notes, QStringLiteral("removeItem"));
    triggerCellItem(window, QStringLiteral("/home/ann/Music"), QStringLiteral("showInFinderItem"));
    EXPECT_EQ(f.browser.revealed, QStringList{QStringLiteral("/home/ann/Music")});
    const QString odd = QStringLiteral("/home/ann/My Notes #1");
    drop(window, QStringLiteral("sourcePathView"),
         {QUrl::fromLocalFile(odd), QUrl(QStringLiteral("https://example.com/x"))});
    EXPECT_EQ(gridPaths(window), (QStringList{QStringLiteral("/home/ann/Documents"),
                                              QStringLiteral("/home/ann/Pictures"), QStringLiteral("/home/ann/Music"), odd}));
    QObject *cell = AppFixture::find(window, QStringLiteral("cell:") + odd);
    EXPECT_EQ(AppFixture::text(cell, QStringLiteral("cellName")), QStringLiteral("My Notes #1"));
    EXPECT_EQ(AppFixture::text(cell, QStringLiteral("cellFolder")), QStringLiteral("/home/ann"));

    // A double-click on " Backup Now " starts one backup; space taken by
    // others meanwhile shows once it has ended, before the 10 s refresh.
    // Auto eject comes back with auto backup and writes its choice.
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath, 64'000'000'000, 10'000'000'000));
    const QQuickItem *backupButton = AppFixture::item(window, QStringLiteral("backupButton"));
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       backupButton->mapToScene(QPointF(backupButton->width() / 2, backupButton->height() / 2)).toPoint());
    QTest::qWait(100);
    EXPECT_EQ(f.app->controller()->threads()->count(), 1);
    EXPECT_EQ(text(QStringLiteral("lastBackupLabel")),
              QStringLiteral("Last Backup: ") + QLocale().toString(f.now, QLocale::ShortFormat));
    EXPECT_TRUE(waitUntil([&] { return text(QStringLiteral("availableLabel")).startsWith(QStringLiteral("10.0 GB")); }, 3000))
        << text(QStringLiteral("availableLabel")).toStdString();
    AppFixture::click(window, QStringLiteral("ejectButton"));
    EXPECT_EQ(f.ejector.requests(), QStringList{kStickPath});
    AppFixture::click(window, QStringLiteral("autoBackupSwitch"));
    EXPECT_TRUE(autoEject->isEnabled());
    AppFixture::click(window, QStringLiteral("autoEjectSwitch"));
    EXPECT_FALSE(f.settings->autoEjectOnComplete());

    // "Remove Volume" forgets the destination and its last backup.
    AppFixture::trigger(window, QStringLiteral("removeVolumeItem"));
    QTest::qWait(50);
    EXPECT_TRUE(AppFixture::visible(window, QStringLiteral("volumePlaceholder")) && AppFixture::enabled(window, QStringLiteral("selectButton")));

    // A refusal is told in an alert titled with the item's name; closed with
    // Enter or Escape, the next click counts.
    QObject *alert = AppFixture::find(window, QStringLiteral("refusalAlert"));
    auto *chooser = qobject_cast<ItemChooser *>(AppFixture::find(window, QStringLiteral("sourceChooser")));
    ASSERT_TRUE(alert && chooser);
    window->requestActivate(); // the Backups window came up with the backup
    ASSERT_TRUE(waitUntil([&] { return window->isActive(); }));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        emit f.app->controller()->volumeRefused(QStringLiteral("Holiday Photos"), QStringLiteral("Not a volume."));
        ASSERT_TRUE(waitUntil([&] { return alert->property("opened").toBool(); }));
        EXPECT_EQ(text(QStringLiteral("refusalAlertTitle")), QStringLiteral("Unable to use \"Holiday Photos\""));
        EXPECT_EQ(text(QStringLiteral("refusalAlertMessage")), QStringLiteral("Not a volume."));
        QTest::keyClick(window, key);
        ASSERT_TRUE(waitUntil([&] { return !alert->property("visible").toBool(); }))
            << "key " << key << " left the alert open";
    }
    AppFixture::click(window, QStringLiteral("addButton"));
    EXPECT_TRUE(chooser->isOpen());
    if (chooser->dialog()) {
        chooser->dialog()->reject();
    }

    // Without a destination and without sources: both placeholders.
    for (const QString &path : gridPaths(window)) {
        triggerCellItem(window, path, QStringLiteral("removeItem"));
    }
    EXPECT_TRUE(waitUntil([&] { return AppFixture::visible(window, QStringLiteral("sourcePlaceholder")); }));
    EXPECT_FALSE(AppFixture::visible(window, QStringLiteral("sourceGrid")));
    QTest::qWait(400);
    expectTidyText(window);

    // A volume dropped on the panel is chosen, with no backup yet (the
    // stick is back after its eject).
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath));
    EXPECT_TRUE(drop(window, QStringLiteral("volumeView"), {QUrl::fromLocalFile(kStickPath)}));
    ASSERT_TRUE(waitUntil([&] { return AppFixture::visible(window, QStringLiteral("volumeDetails")); }));
    EXPECT_TRUE(AppFixture::enabled(window, QStringLiteral("backupButton")));
}
