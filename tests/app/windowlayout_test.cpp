// The main window at its smallest: no text cut off, outside the window or
// lying over other text, whatever the panels show.
#include "apptesting.h"

#include <QQuickItem>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const QString kUuid = QStringLiteral("1A2B-3C4D");

struct ShownText
{
    QQuickItem *item;
    QString text;
    QRectF rect; // where the glyphs are, in the window
};

bool effectivelyVisible(const QQuickItem *item)
{
    for (const QQuickItem *it = item; it; it = it->parentItem()) {
        if (!it->isVisible() || it->opacity() <= 0.01) {
            return false;
        }
    }
    return true;
}

// The part of the text item covered by glyphs, by its alignment.
QRectF glyphRect(QQuickItem *text)
{
    const qreal width = text->width();
    const qreal height = text->height();
    const qreal contentWidth = std::min(text->property("contentWidth").toReal(), width);
    const qreal contentHeight = std::min(text->property("contentHeight").toReal(), height);
    const int hAlign = text->property("effectiveHorizontalAlignment").toInt();
    const int vAlign = text->property("verticalAlignment").toInt();
    qreal x = 0;
    if (hAlign & Qt::AlignHCenter) {
        x = (width - contentWidth) / 2;
    } else if (hAlign & Qt::AlignRight) {
        x = width - contentWidth;
    }
    qreal y = 0;
    if (vAlign & Qt::AlignVCenter) {
        y = (height - contentHeight) / 2;
    } else if (vAlign & Qt::AlignBottom) {
        y = height - contentHeight;
    }
    return text->mapRectToScene(QRectF(x, y, contentWidth, contentHeight));
}

// What the nearest clipping ancestors leave of `rect`.
QRectF visiblePart(QQuickItem *item, QRectF rect)
{
    for (QQuickItem *it = item->parentItem(); it; it = it->parentItem()) {
        if (it->clip()) {
            rect = rect.intersected(it->mapRectToScene(QRectF(0, 0, it->width(), it->height())));
        }
    }
    return rect;
}

void collect(QQuickItem *item, std::vector<ShownText> &texts)
{
    if (!effectivelyVisible(item)) {
        return;
    }
    const QByteArray type = item->metaObject()->className();
    if (item->inherits("QQuickText") || item->inherits("QQuickTextEdit")) {
        const QString text = item->property("text").toString();
        if (!text.trimmed().isEmpty()) {
            texts.push_back({item, text, glyphRect(item)});
        }
    }
    for (QQuickItem *child : item->childItems()) {
        collect(child, texts);
    }
}

std::string describe(const ShownText &shown)
{
    return "\"" + shown.text.left(60).toStdString() + "\" (" + shown.item->objectName().toStdString() + ")";
}

void expectTidyText(QQuickWindow *window)
{
    std::vector<ShownText> texts;
    collect(window->contentItem(), texts);
    ASSERT_FALSE(texts.empty());
    const QRectF windowRect(0, 0, window->width(), window->height());
    constexpr qreal kSlack = 1.0;

    for (const ShownText &shown : texts) {
        SCOPED_TRACE(describe(shown));
        // Inside the window and not hidden by a clipping parent.
        EXPECT_TRUE(windowRect.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(shown.rect))
            << "at " << shown.rect.x() << "," << shown.rect.y() << " " << shown.rect.width() << "x"
            << shown.rect.height();
        const QRectF seen = visiblePart(shown.item, shown.rect);
        EXPECT_GE(seen.width() + kSlack, shown.rect.width());
        EXPECT_GE(seen.height() + kSlack, shown.rect.height());
        // Not cut short: nothing elided, nothing wider than its box.
        EXPECT_FALSE(shown.item->property("truncated").toBool());
        if (shown.item->property("wrapMode").toInt() == 0) {
            EXPECT_LE(shown.item->property("implicitWidth").toReal(), shown.item->width() + kSlack);
        }
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const QRectF overlap = texts[i].rect.intersected(texts[j].rect);
            EXPECT_FALSE(overlap.width() > 1.5 && overlap.height() > 1.5)
                << describe(texts[i]) << " lies over " << describe(texts[j]);
        }
    }
}

QQuickWindow *launchAtMinimumSize(AppFixture &f)
{
    VelloryApp &app = f.start();
    if (!app.launch()) {
        return nullptr;
    }
    QQuickWindow *window = f.mainWindow();
    window->resize(window->minimumSize());
    QTest::qWaitForWindowExposed(window);
    QTest::qWait(400); // animations settle
    return window;
}

} // namespace

TEST(MainWindowLayout, AnEmptySetFitsTheSmallestWindow)
{
    AppFixture f;
    QQuickWindow *window = launchAtMinimumSize(f);
    ASSERT_TRUE(window);
    // The content is exactly its minimum; menu bar and toolbar come on top.
    QQuickItem *content = AppFixture::item(window, QStringLiteral("contentView"));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), QSizeF(800, 450));
    expectTidyText(window);
}

TEST(MainWindowLayout, AConnectedDestinationAndSomeSourcesFitTheSmallestWindow)
{
    AppFixture f;
    BackupScript script;
    script.sourcePaths = {QStringLiteral("/home/ann/Documents"), QStringLiteral("/home/ann/Pictures"),
                          QStringLiteral("/home/ann/Notes.txt"), QStringLiteral("/home/ann/Music")};
    script.volumeUUID = kUuid;
    script.volumeName = QStringLiteral("STICK");
    script.volumePath = QStringLiteral("/media/ann/STICK");
    script.volumeCapacity = 64'000'000'000;
    script.volumeDescription = QStringLiteral("Cruzer Blade, USB");
    script.lastBackup = QStringLiteral("3/9/24, 2:30 PM");
    f.storeSet(script);
    f.table.mount(fakeStick(kUuid, QStringLiteral("STICK"), QStringLiteral("/media/ann/STICK"), 64'000'000'000, 21'000'000'000));
    QQuickWindow *window = launchAtMinimumSize(f);
    ASSERT_TRUE(window);
    ASSERT_TRUE(AppFixture::item(window, QStringLiteral("backupButton"))->isVisible());
    expectTidyText(window);
}

TEST(MainWindowLayout, ADisconnectedDestinationFitsTheSmallestWindow)
{
    AppFixture f;
    BackupScript script;
    script.volumeUUID = kUuid;
    script.volumeName = QStringLiteral("STICK");
    script.volumePath = QStringLiteral("/media/ann/STICK");
    script.volumeCapacity = 64'000'000'000;
    script.volumeDescription = QStringLiteral("Cruzer Blade, USB");
    f.storeSet(script);
    QQuickWindow *window = launchAtMinimumSize(f);
    ASSERT_TRUE(window);
    expectTidyText(window);
}
