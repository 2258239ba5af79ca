#pragma once

#include "Moraine/kmresult.h"
#include "Moraine/update/xmlnode.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace moraine {

/// Bounds that keep a hostile page from exhausting memory or stack.
struct XmlLimits
{
    qsizetype maxBytes = 2 * 1024 * 1024;
    int maxDepth = 256;
    qsizetype maxNodes = 200'000;
    qint64 maxEntityExpansion = 1024;
    /// Per element. The reader checks every attribute against the ones
    /// before it, so an unbounded count costs quadratic time.
    int maxAttributes = 128;
};

/// A well-formed XML document read from untrusted bytes. The reader refuses
/// a document type declaration with an internal subset or any entity or
/// notation declaration (so no custom entity is ever expanded and nothing
/// external is fetched), and stops at the limits; an element with too many
/// attributes is refused by a linear pass before the reader sees it.
class XmlDocument
{
public:
    /// The document, or the reader's description of why there is none.
    [[nodiscard]] static KMResult<XmlDocument> parse(const QByteArray &bytes, const XmlLimits &limits = {});

    /// The root element; absent only for a document without one.
    [[nodiscard]] const XmlNode *root() const { return m_root ? &*m_root : nullptr; }
    XmlNode *root() { return m_root ? &*m_root : nullptr; }

private:
    std::optional<XmlNode> m_root;
};

} // namespace moraine
