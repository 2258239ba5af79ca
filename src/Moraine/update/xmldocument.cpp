#include "Moraine/update/xmldocument.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <vector>

namespace moraine {

namespace {

QString located(const QString &description, const QXmlStreamReader &reader)
{
    return QStringLiteral("%1 (line %2, column %3)")
        .arg(description)
        .arg(reader.lineNumber())
        .arg(reader.columnNumber());
}

// The largest number of attributes on one tag, counted as '=' signs outside
// quoted values between '<' and '>'; comments, CDATA sections, processing
// instructions and declarations are skipped whole. One pass, no allocation.
// Stops counting once `bound` is passed.
int mostAttributesOnATag(const QByteArray &bytes, int bound)
{
    const qsizetype size = bytes.size();
    int most = 0;
    qsizetype i = 0;
    auto skipPast = [&bytes, &i, size](const char *end, qsizetype from) {
        const qsizetype found = bytes.indexOf(end, from);
        i = found < 0 ? size : found + qsizetype(std::strlen(end));
    };
    while (i < size) {
        if (bytes.at(i) != '<') {
            ++i;
            continue;
        }
        const QByteArrayView rest = QByteArrayView(bytes).sliced(i);
        if (rest.startsWith("<!--")) {
            skipPast("-->", i + 4);
            continue;
        }
        if (rest.startsWith("<![CDATA[")) {
            skipPast("]]>", i + 9);
            continue;
        }
        if (rest.startsWith("<?")) {
            skipPast("?>", i + 2);
            continue;
        }
        if (rest.startsWith("<!")) {
            skipPast(">", i + 2);
            continue;
        }
        int count = 0;
        char quote = 0;
        for (++i; i < size; ++i) {
            const char c = bytes.at(i);
            if (quote) {
                if (c == quote) {
                    quote = 0;
                }
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++count;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
        most = std::max(most, count);
        if (most > bound) {
            return most;
        }
    }
    return most;
}

// Builds the tree from the reader's tokens within the limits; the first
// problem ends the build.
class TreeBuilder
{
public:
    TreeBuilder(QXmlStreamReader &reader, const XmlLimits &limits)
        : m_reader(reader)
        , m_limits(limits)
    {
    }

    /// Reads every token; the problem that stopped it, if any.
    std::optional<QString> build()
    {
        while (!m_reader.atEnd()) {
            if (auto problem = take(m_reader.readNext())) {
                return problem;
            }
        }
        if (m_reader.hasError()) {
            return located(m_reader.errorString(), m_reader);
        }
        return std::nullopt;
    }

    std::optional<XmlNode> takeRoot() { return std::move(m_root); }

private:
    std::optional<QString> take(QXmlStreamReader::TokenType token)
    {
        switch (token) {
        case QXmlStreamReader::DTD:
            return checkDocumentType();
        case QXmlStreamReader::StartElement:
            return openElement();
        case QXmlStreamReader::EndElement:
            if (!m_open.empty()) {
                m_open.pop_back();
            }
            return std::nullopt;
        case QXmlStreamReader::Characters:
            return addText();
        default:
            // Comments, processing instructions and unresolved references carry
            // nothing the page is read for.
            return std::nullopt;
        }
    }

    std::optional<QString> checkDocumentType()
    {
        if (!m_reader.entityDeclarations().isEmpty() || !m_reader.notationDeclarations().isEmpty()
            || m_reader.text().contains(QLatin1Char('['))) {
            return located(
                QStringLiteral("a document type declaration with an internal subset or entity declarations is not accepted"),
                m_reader);
        }
        return std::nullopt;
    }

    std::optional<QString> countNode()
    {
        if (++m_nodes > m_limits.maxNodes) {
            return located(QStringLiteral("the document has more than %1 nodes").arg(m_limits.maxNodes), m_reader);
        }
        return std::nullopt;
    }

    std::optional<QString> openElement()
    {
        if (static_cast<int>(m_open.size()) >= m_limits.maxDepth) {
            return located(QStringLiteral("elements are nested deeper than %1 levels").arg(m_limits.maxDepth), m_reader);
        }
        if (auto problem = countNode()) {
            return problem;
        }
        XmlNode element = XmlNode::element(m_reader.qualifiedName().toString());
        const QXmlStreamAttributes attributes = m_reader.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
        }
        if (m_open.empty()) {
            m_root = std::move(element);
            m_open.push_back(&*m_root);
        } else {
            XmlNode *parent = m_open.back();
            parent->appendChild(std::move(element));
            m_open.push_back(&parent->children().back());
        }
        return std::nullopt;
    }

    std::optional<QString> addText()
    {
        if (m_open.empty()) {
            return std::nullopt;
        }
        XmlNode *parent = m_open.back();
        auto &children = parent->children();
        // Adjacent runs (text, CDATA, character references) form one text node.
        if (!children.empty() && !children.back().isElement()) {
            children.back().appendText(m_reader.text());
            return std::nullopt;
        }
        if (auto problem = countNode()) {
            return problem;
        }
        parent->appendChild(XmlNode::text(m_reader.text().toString()));
        return std::nullopt;
    }

    QXmlStreamReader &m_reader;
    const XmlLimits &m_limits;
    std::optional<XmlNode> m_root;
    // Open elements, innermost last; each points into its parent's children.
    std::vector<XmlNode *> m_open;
    qsizetype m_nodes = 0;
};

} // namespace

KMResult<XmlDocument> XmlDocument::parse(const QByteArray &bytes, const XmlLimits &limits)
{
    auto fail = [](const QString &description) { return KMError{description, -1}; };
    if (bytes.size() > limits.maxBytes) {
        return fail(QStringLiteral("the document is larger than %1 bytes").arg(limits.maxBytes));
    }
    if (mostAttributesOnATag(bytes, limits.maxAttributes) > limits.maxAttributes) {
        return fail(QStringLiteral("an element has more than %1 attributes").arg(limits.maxAttributes));
    }

    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(true);
    reader.setEntityExpansionLimit(static_cast<int>(limits.maxEntityExpansion));
    TreeBuilder builder(reader, limits);
    if (const std::optional<QString> problem = builder.build()) {
        return fail(*problem);
    }
    XmlDocument document;
    document.m_root = builder.takeRoot();
    return document;
}

} // namespace moraine
