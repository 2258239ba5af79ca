// Every text a person reads goes through Qt's translation: under a pseudo
// translation that changes every string it is given, no English is left in
// any window, menu, alert or notification. And German and French translate
// every text the sources hold.
#include "apptesting.h"
#include "runtesting.h"

#include "app/backupnotifications.h"
#include "app/statusicon.h"

#include "Moraine/kitalert.h"

#include <QCoreApplication>
#include <QFile>
#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>

namespace {

// The pseudo translation: every text asked for, of the application or of
// Qt, comes back marked, with its placeholders kept.
class PseudoTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (!sourceText || !*sourceText) {
            return {};
        }
        asked.insert({QString::fromUtf8(context), QString::fromUtf8(sourceText)});
        return QStringLiteral("\u27e6") + QString::fromUtf8(sourceText) + QStringLiteral("\u27e7");
    }
    [[nodiscard]] bool isEmpty() const override { return false; }

    mutable std::set<std::pair<QString, QString>> asked;
};

// A .ts file's messages: (context, source) -> translation, and those left
// unfinished or empty.
struct Catalogue
{
    std::map<std::pair<QString, QString>, QString> translations;
    QStringList unfinished;
    bool read = false;
};

Catalogue readTs(const QString &path)
{
    Catalogue catalogue;
    QFile file(path);
    file.open(QIODevice::ReadOnly); // a file that cannot be read is an error of the reader
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText();
            catalogue.translations[{context, source}] = text;
            if (type == QLatin1String("unfinished") || text.isEmpty()) {
                catalogue.unfinished.append(context + QStringLiteral(": ") + source);
            }
        }
    }
    catalogue.read = !xml.hasError();
    return catalogue;
}

// The placeholders (%1, %2 ...) and access-key marks of a text.
QStringList marks(const QString &text)
{
    static const QRegularExpression mark(QStringLiteral("%\\d|&(?=[^& ])"));
    QStringList found;
    for (auto it = mark.globalMatch(text); it.hasNext();) {
        found.append(it.next().captured());
    }
    found.sort();
    return found;
}

// Data the windows show as it is: names of files and volumes, paths, the
// log's lines, the product's and the maker's names.
const QStringList kDataObjects{QStringLiteral("cellName"), QStringLiteral("cellFolder"),
                               QStringLiteral("volumeNameLabel"), QStringLiteral("volumeDescriptionLabel"),
                               QStringLiteral("aboutName"), QStringLiteral("nextCheck"), QStringLiteral("logLines"),
                               QStringLiteral("logList")};
const QStringList kNames{QStringLiteral("Vellory 2"), QStringLiteral("Vellory"), QStringLiteral("Brindlewick")};

// English left in `text` once the marked parts are taken out: two or more
// Latin letters in a row.
bool hasUntranslatedWords(const QString &text)
{
    // Innermost first: a translated sentence may hold translated values.
    static const QRegularExpression marked(QStringLiteral("\u27e6[^\u27e6\u27e7]*\u27e7"));
    static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}"));
    // A quoted name (a volume's, a file's) is the person's data.
    static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\""));
    QString rest = text;
    rest.remove(quoted);
    for (qsizetype before = -1; before != rest.size();) {
        before = rest.size();
        rest.remove(marked);
    }
    return words.match(rest).hasMatch();
}

// Texts under `object` that are not translated: its own and those of its
// children, popups and menus included.
void collectEnglish(QObject *object, QStringList &english, QSet<QObject *> &seen)
{
    // A source's cell shows its name and path, its tooltip the whole path.
    if (!object || seen.contains(object) || kDataObjects.contains(object->objectName())
        || object->objectName().startsWith(QLatin1String("cell:"))) {
        return;
    }
    seen.insert(object);
    for (const char *property : {"text", "title", "displayText", "placeholderText"}) {
        const QVariant value = object->property(property);
        if (value.typeId() != QMetaType::QString) {
            continue;
        }
        const QString text = value.toString();
        if (!text.trimmed().isEmpty() && !kNames.contains(text) && hasUntranslatedWords(text)) {
            english.append(QStringLiteral("%1 %2 (%3): \"%4\"")
                               .arg(QString::fromLatin1(object->metaObject()->className()), QString::fromLatin1(property),
                                    object->objectName(), text));
        }
    }
    QList<QObject *> children = object->children();
    if (auto *item = qobject_cast<QQuickItem *>(object)) {
        const QList<QQuickItem *> items = item->childItems();
        children.append(QList<QObject *>(items.cbegin(), items.cend()));
    }
    for (const char *property : {"contentItem", "menuBar", "header", "footer", "popup", "background"}) {
        if (auto *child = object->property(property).value<QObject *>()) {
            children.append(child);
        }
    }
    for (QObject *child : children) {
        collectEnglish(child, english, seen);
    }
}

QStringList englishIn(QQuickWindow *window)
{
    if (!window) {
        return {QStringLiteral("<no window>")};
    }
    QStringList english;
    QSet<QObject *> seen;
    collectEnglish(window, english, seen);
    // Menus of the menu bar are made once and kept; open and read each.
    if (QObject *bar = window->property("menuBar").value<QObject *>()) {
        for (int i = 0; i < bar->property("count").toInt(); ++i) {
            collectEnglish(AppFixture::evaluate(bar, QStringLiteral("menuAt(%1)").arg(i)).value<QObject *>(), english, seen);
        }
    }
    return english;
}

} // namespace

TEST(Translation, PseudoLocaleLeavesNoEnglishAndGermanAndFrenchAreComplete)
{
    const Catalogue extracted = readTs(QStringLiteral(VELLORY_EXTRACTED_TS));
    ASSERT_TRUE(extracted.read) << VELLORY_EXTRACTED_TS;
    ASSERT_GT(extracted.translations.size(), 100U);
    QSet<QString> contexts;
    for (const auto &[key, text] : extracted.translations) {
        contexts.insert(key.first);
    }
    for (const char *language : {"de", "fr"}) {
        SCOPED_TRACE(language);
        const Catalogue catalogue =
            readTs(QStringLiteral(VELLORY_TRANSLATIONS_DIR "/vellory_%1.ts").arg(QString::fromLatin1(language)));
        ASSERT_TRUE(catalogue.read);
        EXPECT_TRUE(catalogue.unfinished.isEmpty()) << "unfinished: " << catalogue.unfinished.join(QStringLiteral("; ")).toStdString();
        QStringList missing;
        QStringList badMarks;
        for (const auto &[key, english] : extracted.translations) {
            const auto found = catalogue.translations.find(key);
            if (found == catalogue.translations.end()) {
                missing.append(key.first + QStringLiteral(": ") + key.second);
            } else if (marks(found->second) != marks(key.second)) {
                badMarks.append(key.second + QStringLiteral(" -> ") + found->second);
            }
        }
        EXPECT_TRUE(missing.isEmpty()) << "not translated (cmake --build build --target update_translations, then "
                                          "translate): "
                                       << missing.join(QStringLiteral("; ")).toStdString();
        EXPECT_TRUE(badMarks.isEmpty()) << "placeholders or access keys differ: " << badMarks.join(QStringLiteral("; ")).toStdString();
    }

    // The application under the pseudo translation, with two sources, a
    // connected destination and a finished backup; it goes before the
    // translator, which uninstalls itself.
    PseudoTranslator pseudo;
    QCoreApplication::installTranslator(&pseudo);
    AppFixture f;
    QTemporaryDir stick;
    QTemporaryDir home;
    const QString notes = home.filePath(QStringLiteral("Notes.txt"));
    writeFile(notes, "milk\n");
    BackupScript script = setWithDestination(QStringLiteral("1A2B-3C4D"), QStringLiteral("STICK"), stick.path());
    script.sourcePaths = {notes, home.path()};
    script.lastBackup = QStringLiteral("Never");
    f.storeSet(script);
    f.table.mount(fakeStick(QStringLiteral("1A2B-3C4D"), QStringLiteral("STICK"), stick.path()));
    QQuickWindow *main = f.launch();
    VelloryApp &app = *f.app;
    ASSERT_TRUE(waitUntil([&] { return !app.controller()->isReadingVolumes(); }));
    QStringList english = englishIn(main);

    app.controller()->startBackup();
    std::shared_ptr<BackupThread> job;
    ASSERT_TRUE(waitUntil([&] {
        job = app.controller()->threads()->jobAt(0);
        return job && !job->isRunning() && job->status() == BackupThreadStatusValue::completed;
    }));
    QTest::qWait(100);
    english += englishIn(app.router().window(QString::fromLatin1(WindowRouter::kBackupsWindow)));
    english += englishIn(app.router().openLogWindow(job->id()));
    app.commands()->showSettings();
    english += englishIn(app.router().window(QString::fromLatin1(AppCommands::kSettingsWindow)));
    app.setShowShareSheet(true);
    QTest::qWait(100);
    english += englishIn(main);
    app.setShowShareSheet(false);
    emit app.controller()->volumeRefused(QString(), QString());
    QTest::qWait(100);
    english += englishIn(main);

    // Texts made in C++: notifications, the status icon's menu, kit alerts.
    QStringList made{BackupNotifications::endedSummary(*job), BackupNotifications::endedBody(*job)};
    StatusIcon icon(*app.controller());
    for (const QAction *action : icon.menu().actions()) {
        made.append(action->text());
    }
    const moraine::KitAlertContent alert = moraine::makeKitAlert(
        QCoreApplication::translate("KitAlert", "Unable to check for update"), QString(), QString(), false, std::nullopt,
        QString());
    made << alert.title << alert.informativeText;
    for (const QString &text : made) {
        if (hasUntranslatedWords(text)) {
            english.append(QStringLiteral("made in C++: \"%1\"").arg(text));
        }
    }
    english.removeDuplicates();
    EXPECT_TRUE(english.isEmpty()) << "not translated:\n" << english.join(QLatin1Char('\n')).toStdString();

    // Every text asked for at run time is one lupdate finds in the sources:
    // a text made up at run time, or asked for in a context lupdate does not
    // see, would stay English.
    QStringList unknown;
    for (const auto &[context, source] : pseudo.asked) {
        if (contexts.contains(context) && !extracted.translations.count({context, source})) {
            unknown.append(context + QStringLiteral(": ") + source);
        }
    }
    EXPECT_TRUE(unknown.isEmpty()) << "translated at run time but unknown to lupdate: "
                                   << unknown.join(QStringLiteral("; ")).toStdString();
}
