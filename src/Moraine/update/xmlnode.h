#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace moraine {

/// One node of a parsed page: an element with its attributes (in document
/// order) and children, or a run of text.
class XmlNode
{
public:
    enum class Kind { Element, Text };

    struct Attribute
    {
        QString name;
        QString value;
    };

    [[nodiscard]] static XmlNode element(const QString &name);
    [[nodiscard]] static XmlNode text(const QString &text);

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] bool isElement() const { return m_kind == Kind::Element; }
    /// The element's qualified name; empty for text.
    [[nodiscard]] const QString &name() const { return m_name; }
    /// The text of a text node.
    [[nodiscard]] const QString &text() const { return m_text; }
    /// Extends a text node in place.
    void appendText(QStringView more) { m_text += more; }

    [[nodiscard]] const QList<Attribute> &attributes() const { return m_attributes; }
    [[nodiscard]] std::optional<QString> attribute(const QString &name) const;
    /// Replaces the value of an existing attribute or appends a new one.
    void setAttribute(const QString &name, const QString &value);

    [[nodiscard]] const std::vector<XmlNode> &children() const { return m_children; }
    std::vector<XmlNode> &children() { return m_children; }
    void appendChild(XmlNode child);

    /// All text below this node, in document order.
    [[nodiscard]] QString textContent() const;
    /// The class attribute split on blanks, empty pieces dropped.
    [[nodiscard]] QStringList classTokens() const;
    /// Whether `token` is one whole word of the class attribute.
    [[nodiscard]] bool hasClassToken(const QString &token) const;

    /// The `content` of the first child `meta` whose `name` is `name`.
    [[nodiscard]] std::optional<QString> metaContent(const QString &name) const;
    /// Removes the first such child; returns whether one was removed.
    bool removeMeta(const QString &name);
    /// Inserts `<meta name=".." content=".."/>` among the children at `index`
    /// (clamped to the end).
    void insertMeta(const QString &name, const QString &content, qsizetype index);

private:
    [[nodiscard]] qsizetype metaIndex(const QString &name) const;
    void appendTextTo(QString &out) const;

    Kind m_kind = Kind::Element;
    QString m_name;
    QString m_text;
    QList<Attribute> m_attributes;
    std::vector<XmlNode> m_children;
};

} // namespace moraine
