#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

/// One parsed JSON value. Numbers keep their text, so that no integer loses
/// precision on the way (a double holds only 53 bits).
struct JsonNode
{
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    QByteArray number;   // the number's text as written
    QString string;
    std::vector<JsonNode> items;
    std::vector<std::pair<QString, JsonNode>> members;

    /// The member named `key` (the last one when repeated), or nullptr.
    [[nodiscard]] const JsonNode *member(const QString &key) const;
};

/// A strict JSON parser (RFC 8259) over bytes. Broken, truncated or too
/// deeply nested input gives no value and a description, never a crash.
class JsonReader
{
public:
    [[nodiscard]] static std::optional<JsonNode> parse(QByteArrayView bytes, QString *error = nullptr);

    /// The exact value of a number's text when it is a whole number from 0 to
    /// 2^64 - 1 ("1e3" and "12.0" are whole; "-1", "0.5" and 2^64 are not).
    [[nodiscard]] static std::optional<quint64> wholeUnsigned(const QByteArray &number);

private:
    explicit JsonReader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool parseValue(JsonNode &out, int depth);
    bool parseObject(JsonNode &out, int depth);
    bool parseArray(JsonNode &out, int depth);
    /// After a member or item: true at ",", false at `close`, nothing (and
    /// the error set) on anything else.
    std::optional<bool> nextInList(char close, const QString &endsInside, const QString &expected);
    bool parseString(QString &out);
    bool parseEscape(QByteArray &utf8);
    bool parseUnicodeEscape(QByteArray &utf8);
    bool readHexUnit(char32_t &unit);
    bool parseNumber(QByteArray &out);
    bool parseLiteral(const char *word);
    void skipSpace();
    bool fail(const QString &what);
    [[nodiscard]] bool atEnd() const { return m_pos >= m_bytes.size(); }
    [[nodiscard]] char peek() const { return m_bytes[m_pos]; }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    QString m_error;
};
