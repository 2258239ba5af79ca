#pragma once

#include "Moraine/update/osversion.h"
#include "Moraine/update/xmlnode.h"

#include <QList>
#include <QString>

#include <optional>

namespace moraine {

/// One download of an update group.
struct UpdateArchive
{
    std::optional<QString> architecture; // "ass", "x86" or "ub"
    std::optional<QString> url;          // trimmed href; nothing when blank
};

/// An update group of the page as read from its element; the rules that pick
/// the update live in NIMBLite.
struct UpdateGroup
{
    QString id = QStringLiteral("?");
    QString date = QStringLiteral("?");
    int build = -1;                   // -1: absent or not a decimal integer
    std::optional<OsVersion> minOS;   // nothing: absent or not a number
    std::optional<OsVersion> maxOS;   // nothing: no upper bound
    bool hidden = false;
    QString displayVersion;           // empty without a nimbgroupversion element
    QList<UpdateArchive> archives;    // document order
};

/// Whether the element is an update group (class token "NIMBGroup").
[[nodiscard]] bool isUpdateGroup(const XmlNode &element);

/// Reads a group element: its attributes, then its display version and archives.
[[nodiscard]] UpdateGroup readUpdateGroup(const XmlNode &group);

/// Walks a group's descendants: a "nimbgroupversion" element sets the display
/// version (the last one counts), a "NIMBArchive" element adds an archive;
/// neither is searched further.
void scanGroupContents(const XmlNode &node, QString &version, QList<UpdateArchive> &archives);

/// A decimal integer ("+" or "-" sign allowed, nothing else); nothing when
/// the text is not one or does not fit an int.
[[nodiscard]] std::optional<int> parseDecimalInteger(const QString &text);

/// An ISO 8601 basic calendar date (yyyyMMdd) that names a real day.
[[nodiscard]] bool isValidBasicDate(const QString &text);

} // namespace moraine
