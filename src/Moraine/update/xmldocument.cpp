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

} // namespace

std::optional<XmlDocument> XmlDocument::parse(const QByteArray &bytes, QString *error, const XmlLimits &limits)
{
    auto fail = [error](const QString &description) -> std::optional<XmlDocument> {
        if (error) {
            *error = description;
        }
        return std::nullopt;
    };
    if (bytes.size() > limits.maxBytes) {
        return fail(QStringLiteral("the document is larger than %1 bytes").arg(limits.maxBytes));
    }

    if (mostAttributesOnATag(bytes, limits.maxAttributes) > limits.maxAttributes) {
        return fail(QStringLiteral("an element has more than %1 attributes").arg(limits.maxAttributes));
    }

    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(true);
    reader.setEntityExpansionLimit(static_cast<int>(limits.maxEntityExpansion));

    XmlDocument document;
    // Open elements, innermost last; each points into its parent's children.
    std::vector<XmlNode *> open;
    qsizetype nodes = 0;

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty() || !reader.notationDeclarations().isEmpty()
                || reader.text().contains(QLatin1Char('['))) {
                return fail(located(
                    QStringLiteral("a document type declaration with an internal subset or entity declarations is not accepted"),
                    reader));
            }
            break;
        case QXmlStreamReader::StartElement: {
            if (static_cast<int>(open.size()) >= limits.maxDepth) {
                return fail(located(QStringLiteral("elements are nested deeper than %1 levels").arg(limits.maxDepth),
                                    reader));
            }
            if (++nodes > limits.maxNodes) {
                return fail(located(QStringLiteral("the document has more than %1 nodes").arg(limits.maxNodes), reader));
            }
            XmlNode element = XmlNode::element(reader.qualifiedName().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes) {
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            }
            if (open.empty()) {
                document.m_root = std::move(element);
                open.push_back(&*document.m_root);
            } else {
                XmlNode *parent = open.back();
                parent->appendChild(std::move(element));
                open.push_back(&parent->children().back());
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty()) {
                open.pop_back();
            }
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty()) {
                XmlNode *parent = open.back();
                auto &children = parent->children();
                // Adjacent runs (text, CDATA, character references) form one text node.
                if (!children.empty() && !children.back().isElement()) {
                    children.back().appendText(reader.text());
                } else {
                    if (++nodes > limits.maxNodes) {
                        return fail(
                            located(QStringLiteral("the document has more than %1 nodes").arg(limits.maxNodes), reader));
                    }
                    parent->appendChild(XmlNode::text(reader.text().toString()));
                }
            }
            break;
        default:
            // Comments, processing instructions and unresolved references carry
            // nothing the page is read for.
            break;
        }
    }
    if (reader.hasError()) {
        return fail(located(reader.errorString(), reader));
    }
    return document;
}

} // namespace moraine
