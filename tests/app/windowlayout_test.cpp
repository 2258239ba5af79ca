// The main window at its smallest: no text cut off, outside the window or
// lying over other text, whatever the panels show.
#include "apptesting.h"

#include "app/desktopstyle.h"
#include "platform/preferences.h"

#include <QGuiApplication>
#include <QTest>

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

// The contrast ratio of two colours (1 to 21), as accessibility guides
// measure it.
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
        // Inside the window and not hidden by a clipping parent.
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

// Opens each menu in turn (the menu bar's and the panels' context menus)
// and checks that no item's text is cut.
void expectWholeMenus(QQuickWindow *window, const QStringList &contextMenus)
{
    QList<QObject *> menus = AppFixture::menus(window);
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
        QQuickItem *control = AppFixture::item(window, name);
        EXPECT_TRUE(control) << name.toStdString();
        QObject *label = control ? control->property("contentItem").value<QObject *>() : nullptr;
        return label ? label->property("color").value<QColor>() : QColor();
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
    EXPECT_NE(textColour(QStringLiteral("autoEjectSwitch")), textColour(QStringLiteral("autoBackupSwitch")));
    EXPECT_EQ(textColour(QStringLiteral("autoEjectSwitch")), palette.color(QPalette::Disabled, QPalette::Text));

    QObject *offSwitch = AppFixture::find(window, QStringLiteral("autoBackupSwitch"));
    QObject *track = AppFixture::find(offSwitch, QStringLiteral("switchTrack"));
    QObject *knob = AppFixture::find(offSwitch, QStringLiteral("switchKnob"));
    ASSERT_TRUE(track && knob && !offSwitch->property("checked").toBool());
    EXPECT_GE(contrast(track->property("color").value<QColor>(), knob->property("color").value<QColor>()), 2.5);

    const QColor tipBase = AppFixture::evaluate(window, QStringLiteral("palette.toolTipBase")).value<QColor>();
    const QColor tipText = AppFixture::evaluate(window, QStringLiteral("palette.toolTipText")).value<QColor>();
    EXPECT_EQ(tipBase.lightnessF() < 0.5, dark) << tipBase.name().toStdString();
    EXPECT_GE(contrast(tipBase, tipText), 4.5);
}

} // namespace

// Without a destination, with it disconnected (and automatic backup off, in
// the light and the dark palette) and with it connected.
TEST(MainWindowLayout, EveryStateFitsTheSmallestWindowWithEveryMenuWholeAndDisabledControlsLookDisabled)
{
    enum class Destination { None, Disconnected, Connected };
    const QPalette light = QGuiApplication::palette();
    const std::pair<Destination, bool> cases[] = {
        {Destination::None, false}, {Destination::Disconnected, false}, {Destination::Disconnected, true},
        {Destination::Connected, false}};
    for (const auto &[destination, dark] : cases) {
        SCOPED_TRACE(std::to_string(int(destination)) + (dark ? " dark" : " light"));
        const QPalette palette = dark ? DesktopStyle::darkPalette() : light;
        QGuiApplication::setPalette(palette);
        AppFixture f;
        BackupScript script;
        if (destination != Destination::None) {
            script = setWithDestination(kUuid, QStringLiteral("STICK"), kStickPath, 64'000'000'000);
        }
        if (destination == Destination::Disconnected) {
            platform::preferences()->setValue(QStringLiteral("autoBackupOnConnect"), false);
        }
        if (destination == Destination::Connected) {
            script.sourcePaths = {QStringLiteral("/home/ann/Documents"), QStringLiteral("/home/ann/Pictures"),
                                  QStringLiteral("/home/ann/Notes.txt"), QStringLiteral("/home/ann/Music")};
            script.lastBackup = QStringLiteral("3/9/24, 2:30 PM");
            f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), kStickPath, 64'000'000'000, 21'000'000'000));
        }
        f.storeSet(script);
        QQuickWindow *window = f.launch();
        ASSERT_TRUE(window);
        window->resize(window->minimumSize());
        QTest::qWait(400); // animations settle
        // The content is exactly its minimum; menu bar and toolbar come on top.
        EXPECT_EQ(AppFixture::item(window, QStringLiteral("contentView"))->size(), QSizeF(800, 450));
        expectTidyText(window);
        if (destination == Destination::Disconnected) {
            expectDisabledControlsLookDisabled(window, palette, dark);
        }
        if (destination != Destination::Connected) {
            continue;
        }
        ASSERT_TRUE(AppFixture::item(window, QStringLiteral("backupButton"))->isVisible());
        // The hairlines under the two panels' headers meet.
        auto lineY = [window](const char *header) {
            QObject *line = AppFixture::find(AppFixture::find(window, QString::fromLatin1(header)),
                                             QStringLiteral("panelHeaderLine"));
            return line ? qobject_cast<QQuickItem *>(line)->mapToScene(QPointF(0, 0)).y() : -1;
        };
        EXPECT_EQ(lineY("sourceHeader"), lineY("volumeHeader"));
        // A cell makes its menu on first use.
        QMetaObject::invokeMethod(AppFixture::find(window, QStringLiteral("cell:/home/ann/Notes.txt")), "ensureMenu");
        expectWholeMenus(window, {QStringLiteral("volumeMenu"), QStringLiteral("cellMenu")});
    }
    QGuiApplication::setPalette(light);
}
