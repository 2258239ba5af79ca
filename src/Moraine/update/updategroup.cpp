#include "Moraine/update/updategroup.h"

#include <QDate>
#include <QRegularExpression>

namespace moraine {

namespace {

std::optional<UpdateArchive> readArchive(const XmlNode &element)
{
    if (!element.hasClassToken(QStringLiteral("NIMBArchive"))) {
        return std::nullopt;
    }
    UpdateArchive archive;
    for (const QString &token : element.classTokens()) {
        if (token == QLatin1String("ass") || token == QLatin1String("x86") || token == QLatin1String("ub")) {
            archive.architecture = token;
        }
    }
    QString href = element.attribute(QStringLiteral("href")).value_or(QString());
    qsizetype begin = 0;
    qsizetype end = href.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(href.at(begin))) {
        ++begin;
    }
    while (end > begin && blank(href.at(end - 1))) {
        --end;
    }
    if (end > begin) {
        archive.url = href.mid(begin, end - begin);
    }
    return archive;
}

} // namespace

bool isUpdateGroup(const XmlNode &element)
{
    return element.isElement() && element.hasClassToken(QStringLiteral("NIMBGroup"));
}

std::optional<int> parseDecimalInteger(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+\\z"));
    if (!pattern.match(text).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool isValidBasicDate(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{8}\\z"));
    return pattern.match(text).hasMatch() && QDate::fromString(text, QStringLiteral("yyyyMMdd")).isValid();
}

void scanGroupContents(const XmlNode &node, QString &version, QList<UpdateArchive> &archives)
{
    for (const XmlNode &child : node.children()) {
        if (!child.isElement()) {
            continue;
        }
        if (child.name() == QLatin1String("nimbgroupversion")) {
            version = child.textContent();
        } else if (auto archive = readArchive(child)) {
            archives.append(*archive);
        } else {
            scanGroupContents(child, version, archives);
        }
    }
}

UpdateGroup readUpdateGroup(const XmlNode &group)
{
    UpdateGroup result;
    result.date = group.attribute(QStringLiteral("date")).value_or(QStringLiteral("?"));
    result.id = group.attribute(QStringLiteral("id")).value_or(QStringLiteral("?"));
    if (auto minOS = group.attribute(QStringLiteral("minOS"))) {
        result.minOS = OsVersion::parse(*minOS);
    }
    if (auto maxOS = group.attribute(QStringLiteral("maxOS"))) {
        result.maxOS = OsVersion::parse(*maxOS);
    }
    result.build = parseDecimalInteger(group.attribute(QStringLiteral("build")).value_or(QString())).value_or(-1);
    result.hidden = group.hasClassToken(QStringLiteral("hidden"));
    scanGroupContents(group, result.displayVersion, result.archives);
    return result;
}

} // namespace moraine
