#include "Moraine/update/xmlnode.h"

#include <algorithm>

namespace moraine {

XmlNode XmlNode::element(const QString &name)
{
    XmlNode node;
    node.m_kind = Kind::Element;
    node.m_name = name;
    return node;
}

XmlNode XmlNode::text(const QString &text)
{
    XmlNode node;
    node.m_kind = Kind::Text;
    node.m_text = text;
    return node;
}

std::optional<QString> XmlNode::attribute(const QString &name) const
{
    for (const Attribute &attribute : m_attributes) {
        if (attribute.name == name) {
            return attribute.value;
        }
    }
    return std::nullopt;
}

void XmlNode::setAttribute(const QString &name, const QString &value)
{
    for (Attribute &attribute : m_attributes) {
        if (attribute.name == name) {
            attribute.value = value;
            return;
        }
    }
    m_attributes.append({name, value});
}

void XmlNode::appendChild(XmlNode child)
{
    m_children.push_back(std::move(child));
}

QString XmlNode::textContent() const
{
    QString out;
    appendTextTo(out);
    return out;
}

void XmlNode::appendTextTo(QString &out) const
{
    if (m_kind == Kind::Text) {
        out += m_text;
        return;
    }
    for (const XmlNode &child : m_children) {
        child.appendTextTo(out);
    }
}

QStringList XmlNode::classTokens() const
{
    return attribute(QStringLiteral("class")).value_or(QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool XmlNode::hasClassToken(const QString &token) const
{
    return classTokens().contains(token);
}

qsizetype XmlNode::metaIndex(const QString &name) const
{
    for (size_t i = 0; i < m_children.size(); ++i) {
        const XmlNode &child = m_children[i];
        if (child.isElement() && child.name() == QLatin1String("meta")
            && child.attribute(QStringLiteral("name")) == name) {
            return static_cast<qsizetype>(i);
        }
    }
    return -1;
}

std::optional<QString> XmlNode::metaContent(const QString &name) const
{
    const qsizetype index = metaIndex(name);
    if (index < 0) {
        return std::nullopt;
    }
    return m_children[static_cast<size_t>(index)].attribute(QStringLiteral("content"));
}

bool XmlNode::removeMeta(const QString &name)
{
    const qsizetype index = metaIndex(name);
    if (index < 0) {
        return false;
    }
    m_children.erase(m_children.begin() + index);
    return true;
}

void XmlNode::insertMeta(const QString &name, const QString &content, qsizetype index)
{
    XmlNode meta = element(QStringLiteral("meta"));
    meta.m_attributes = {{QStringLiteral("name"), name}, {QStringLiteral("content"), content}};
    const auto at = std::clamp<qsizetype>(index, 0, static_cast<qsizetype>(m_children.size()));
    m_children.insert(m_children.begin() + at, std::move(meta));
}

} // namespace moraine
