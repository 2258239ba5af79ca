#include "ui/enginetexts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

#include <vector>

namespace {

// The engine's sentences that reach a window, with %1, %2 ... where a value
// stands. A new sentence of the engine that people read belongs here.
const char *const kSentences[] = {
    // Job rows of the Backups window.
    QT_TRANSLATE_NOOP("EngineText", "Backing up to \"%1\""),
    QT_TRANSLATE_NOOP("EngineText", "Backing up to Demo volume"),
    QT_TRANSLATE_NOOP("EngineText", "Backup Process finished"),
    QT_TRANSLATE_NOOP("EngineText", "Backup Initialized"),
    QT_TRANSLATE_NOOP("EngineText", "Preparing..."),
    QT_TRANSLATE_NOOP("EngineText", "Scanning %1..."),
    QT_TRANSLATE_NOOP("EngineText", "Backing up \"%1\"..."),
    QT_TRANSLATE_NOOP("EngineText", "Items checked %1, %2 to copy, requires %3"),
    QT_TRANSLATE_NOOP("EngineText", "Items backed up %1, %2. Errors %3"),
    QT_TRANSLATE_NOOP("EngineText", "Volume not connected"),
    // The end of a backup that did not copy everything.
    QT_TRANSLATE_NOOP("EngineText", "The backup was cancelled before it finished."),
    QT_TRANSLATE_NOOP("EngineText", "The volume \"%1\" is full: %2 items (%3) were not copied."),
    QT_TRANSLATE_NOOP("EngineText", "The volume \"%1\" stopped accepting writes: %2 items were not copied."),
    QT_TRANSLATE_NOOP("EngineText", "The volume was not ejected: it stopped accepting writes."),
    // Job rows of a verify.
    QT_TRANSLATE_NOOP("EngineText", "Verifying \"%1\""),
    QT_TRANSLATE_NOOP("EngineText", "Verify Initialized on %1"),
    QT_TRANSLATE_NOOP("EngineText", "Verify Process finished"),
    QT_TRANSLATE_NOOP("EngineText", "Verifying %1 copies."),
    QT_TRANSLATE_NOOP("EngineText", "Verifying \"%1\"..."),
    QT_TRANSLATE_NOOP("EngineText", "Items checked %1, %2 to verify (%3), %4 due for backup"),
    QT_TRANSLATE_NOOP("EngineText", "Items verified %1, %2. Errors %3. Due for backup %4"),
    QT_TRANSLATE_NOOP("EngineText", "Recopying %1 copies that differ."),
    QT_TRANSLATE_NOOP("EngineText", "Recopied %1 of %2 copies."),
    QT_TRANSLATE_NOOP("EngineText", "The verify was cancelled before it finished."),
    // Job rows of a restore.
    QT_TRANSLATE_NOOP("EngineText", "Restoring from \"%1\""),
    QT_TRANSLATE_NOOP("EngineText", "Restore Initialized from %1"),
    QT_TRANSLATE_NOOP("EngineText", "Items checked %1, %2 to restore, requires %3"),
    QT_TRANSLATE_NOOP("EngineText", "Restoring %1 items."),
    QT_TRANSLATE_NOOP("EngineText", "Items restored %1, %2. Errors %3"),
    QT_TRANSLATE_NOOP("EngineText", "Restore Process finished"),
    // The volume panel.
    QT_TRANSLATE_NOOP("EngineText", "Never"),
    QT_TRANSLATE_NOOP("EngineText", "No volume selected"),
    QT_TRANSLATE_NOOP("EngineText", "Not connected"),
    QT_TRANSLATE_NOOP("EngineText", "%1 Capacity"),
    QT_TRANSLATE_NOOP("EngineText", "%1 Available"),
    QT_TRANSLATE_NOOP("EngineText", "Zero KB"),
    QT_TRANSLATE_NOOP("EngineText", "1 byte"),
    QT_TRANSLATE_NOOP("EngineText", "%1 bytes"),
    QT_TRANSLATE_NOOP("EngineText", "%1 KB"),
    QT_TRANSLATE_NOOP("EngineText", "%1 MB"),
    QT_TRANSLATE_NOOP("EngineText", "%1 GB"),
    QT_TRANSLATE_NOOP("EngineText", "%1 TB"),
    QT_TRANSLATE_NOOP("EngineText", "%1 PB"),
    QT_TRANSLATE_NOOP("EngineText", "%1 EB"),
    QT_TRANSLATE_NOOP("EngineText", "Untitled"),
    // Refusals of an offered volume: the alert's title, its fallbacks, the reasons.
    QT_TRANSLATE_NOOP("EngineText", "Unable to use \"%1\""),
    QT_TRANSLATE_NOOP("EngineText", "Unknown item"),
    QT_TRANSLATE_NOOP("EngineText", "Unknown reason"),
    QT_TRANSLATE_NOOP("EngineText", "Unknown name"),
    QT_TRANSLATE_NOOP("EngineText", "The item is not a volume. Please try again with a volume."),
    QT_TRANSLATE_NOOP("EngineText",
                      "The volume is not browsable, it can't be seen from the Finder. Please select a different volume."),
    QT_TRANSLATE_NOOP(
        "EngineText",
        "The volume is not browsable, it can't be seen from the file manager. Please select a different volume."),
    QT_TRANSLATE_NOOP("EngineText",
                      "You don't have permission to read from the volume. Please select a different volume."),
    QT_TRANSLATE_NOOP("EngineText", "You don't have permission to write to the volume. Either unlock this volume or "
                                    "select a different volume."),
    QT_TRANSLATE_NOOP("EngineText", "Unable to obtain the volume's identifier. Please select a different volume."),
    QT_TRANSLATE_NOOP("EngineText", "The item \"%1\" is not on this computer's file system."),
};

struct Sentence
{
    const char *source;
    QRegularExpression pattern;
};

// Each sentence as a pattern of the whole text, a value standing for any text.
std::vector<Sentence> makeSentences()
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    std::vector<Sentence> sentences;
    for (const char *source : kSentences) {
        const QString text = QString::fromUtf8(source);
        QString pattern = QStringLiteral("^");
        qsizetype at = 0;
        for (auto match = placeholder.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            pattern += QRegularExpression::escape(text.mid(at, found.capturedStart() - at));
            pattern += QStringLiteral("(.*?)");
            at = found.capturedEnd();
        }
        pattern += QRegularExpression::escape(text.mid(at)) + QStringLiteral("$");
        sentences.push_back({source, QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)});
    }
    return sentences;
}

// `text` with each %1 ... %9 replaced by its value in one pass, so a value
// that itself holds "%2" stays as it is, and a translation may reorder them.
QString withValues(const QString &text, const QStringList &values)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1).isDigit()) {
            const int index = text.at(i + 1).digitValue() - 1;
            if (index >= 0 && index < values.size()) {
                result += values.at(index);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

} // namespace

EngineTexts::EngineTexts(QObject *parent)
    : QObject(parent)
{
}

QString EngineTexts::translate(const QString &text)
{
    static const std::vector<Sentence> sentences = makeSentences();
    if (text.isEmpty()) {
        return text;
    }
    for (const Sentence &sentence : sentences) {
        const QRegularExpressionMatch match = sentence.pattern.match(text);
        if (!match.hasMatch()) {
            continue;
        }
        // Values are shorter than the text, so this ends; a size such as
        // "Zero KB" inside a sentence is translated too.
        QStringList values;
        for (int i = 1; i <= match.lastCapturedIndex(); ++i) {
            values.append(translate(match.captured(i)));
        }
        return withValues(QCoreApplication::translate("EngineText", sentence.source), values);
    }
    return text;
}
