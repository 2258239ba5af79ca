#include "backup/jsonreader.h"

#include <QStringDecoder>

namespace {

constexpr int kMaximumDepth = 256;

void appendUtf8(QByteArray &out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        out.append(char(0xC0 | (codePoint >> 6)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.append(char(0xE0 | (codePoint >> 12)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    } else {
        out.append(char(0xF0 | (codePoint >> 18)));
        out.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
        out.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        out.append(char(0x80 | (codePoint & 0x3F)));
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

const JsonNode *JsonNode::member(const QString &key) const
{
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->first == key) {
            return &it->second;
        }
    }
    return nullptr;
}

std::optional<JsonNode> JsonReader::parse(QByteArrayView bytes, QString *error)
{
    JsonReader reader(bytes);
    JsonNode root;
    reader.skipSpace();
    bool ok = reader.parseValue(root, 0);
    if (ok) {
        reader.skipSpace();
        if (!reader.atEnd()) {
            ok = reader.fail(QStringLiteral("unexpected text after the end of the data"));
        }
    }
    if (!ok) {
        if (error) {
            *error = reader.m_error;
        }
        return std::nullopt;
    }
    return root;
}

bool JsonReader::fail(const QString &what)
{
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("invalid JSON at byte %1: %2").arg(m_pos).arg(what);
    }
    return false;
}

void JsonReader::skipSpace()
{
    while (!atEnd()) {
        const char c = peek();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return;
        }
        ++m_pos;
    }
}

bool JsonReader::parseLiteral(const char *word)
{
    const QByteArrayView expected(word);
    if (m_bytes.sliced(m_pos).startsWith(expected)) {
        m_pos += expected.size();
        return true;
    }
    return fail(QStringLiteral("unknown word"));
}

bool JsonReader::parseValue(JsonNode &out, int depth)
{
    if (depth > kMaximumDepth) {
        return fail(QStringLiteral("nested too deeply"));
    }
    if (atEnd()) {
        return fail(QStringLiteral("the data ends where a value is expected"));
    }
    switch (peek()) {
    case '{':
        out.type = JsonNode::Type::Object;
        return parseObject(out, depth);
    case '[':
        out.type = JsonNode::Type::Array;
        return parseArray(out, depth);
    case '"':
        out.type = JsonNode::Type::String;
        return parseString(out.string);
    case 't':
        out.type = JsonNode::Type::Bool;
        out.boolean = true;
        return parseLiteral("true");
    case 'f':
        out.type = JsonNode::Type::Bool;
        out.boolean = false;
        return parseLiteral("false");
    case 'n':
        out.type = JsonNode::Type::Null;
        return parseLiteral("null");
    default:
        out.type = JsonNode::Type::Number;
        return parseNumber(out.number);
    }
}

bool JsonReader::parseObject(JsonNode &out, int depth)
{
    ++m_pos; // "{"
    skipSpace();
    if (!atEnd() && peek() == '}') {
        ++m_pos;
        return true;
    }
    for (;;) {
        skipSpace();
        if (atEnd() || peek() != '"') {
            return fail(QStringLiteral("a key is expected"));
        }
        QString key;
        if (!parseString(key)) {
            return false;
        }
        skipSpace();
        if (atEnd() || peek() != ':') {
            return fail(QStringLiteral("\":\" is expected"));
        }
        ++m_pos;
        skipSpace();
        JsonNode value;
        if (!parseValue(value, depth + 1)) {
            return false;
        }
        out.members.emplace_back(std::move(key), std::move(value));
        const std::optional<bool> more = nextInList('}', QStringLiteral("the data ends inside an object"),
                                                    QStringLiteral("\",\" or \"}\" is expected"));
        if (!more) {
            return false;
        }
        if (!*more) {
            return true;
        }
    }
}

bool JsonReader::parseArray(JsonNode &out, int depth)
{
    ++m_pos; // "["
    skipSpace();
    if (!atEnd() && peek() == ']') {
        ++m_pos;
        return true;
    }
    for (;;) {
        skipSpace();
        JsonNode value;
        if (!parseValue(value, depth + 1)) {
            return false;
        }
        out.items.push_back(std::move(value));
        const std::optional<bool> more = nextInList(']', QStringLiteral("the data ends inside an array"),
                                                    QStringLiteral("\",\" or \"]\" is expected"));
        if (!more) {
            return false;
        }
        if (!*more) {
            return true;
        }
    }
}

std::optional<bool> JsonReader::nextInList(char close, const QString &endsInside, const QString &expected)
{
    skipSpace();
    if (atEnd()) {
        fail(endsInside);
        return std::nullopt;
    }
    const char c = peek();
    if (c == ',' || c == close) {
        ++m_pos;
        return c == ',';
    }
    fail(expected);
    return std::nullopt;
}

bool JsonReader::parseString(QString &out)
{
    ++m_pos; // opening quote
    QByteArray utf8;
    for (;;) {
        if (atEnd()) {
            return fail(QStringLiteral("the data ends inside a string"));
        }
        const char c = peek();
        ++m_pos;
        if (c == '"') {
            break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return fail(QStringLiteral("control character inside a string"));
        }
        if (c != '\\') {
            utf8.append(c);
        } else if (!parseEscape(utf8)) {
            return false;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(utf8);
    if (decoder.hasError()) {
        return fail(QStringLiteral("a string is not valid UTF-8"));
    }
    return true;
}

bool JsonReader::parseEscape(QByteArray &utf8)
{
    if (atEnd()) {
        return fail(QStringLiteral("the data ends inside an escape"));
    }
    const char escape = peek();
    ++m_pos;
    switch (escape) {
    case '"': utf8.append('"'); return true;
    case '\\': utf8.append('\\'); return true;
    case '/': utf8.append('/'); return true;
    case 'b': utf8.append('\b'); return true;
    case 'f': utf8.append('\f'); return true;
    case 'n': utf8.append('\n'); return true;
    case 'r': utf8.append('\r'); return true;
    case 't': utf8.append('\t'); return true;
    case 'u': return parseUnicodeEscape(utf8);
    default: return fail(QStringLiteral("unknown escape"));
    }
}

bool JsonReader::parseUnicodeEscape(QByteArray &utf8)
{
    char32_t unit = 0;
    if (!readHexUnit(unit)) {
        return false;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return fail(QStringLiteral("unpaired surrogate"));
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (m_pos + 2 > m_bytes.size() || m_bytes[m_pos] != '\\' || m_bytes[m_pos + 1] != 'u') {
            return fail(QStringLiteral("unpaired surrogate"));
        }
        m_pos += 2;
        char32_t low = 0;
        if (!readHexUnit(low)) {
            return false;
        }
        if (low < 0xDC00 || low > 0xDFFF) {
            return fail(QStringLiteral("unpaired surrogate"));
        }
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(utf8, unit);
    return true;
}

bool JsonReader::readHexUnit(char32_t &unit)
{
    if (m_pos + 4 > m_bytes.size()) {
        return fail(QStringLiteral("the data ends inside a \\u escape"));
    }
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexValue(m_bytes[m_pos + i]);
        if (digit < 0) {
            return fail(QStringLiteral("bad \\u escape"));
        }
        unit = unit * 16 + char32_t(digit);
    }
    m_pos += 4;
    return true;
}

bool JsonReader::parseNumber(QByteArray &out)
{
    const qsizetype start = m_pos;
    if (!atEnd() && peek() == '-') {
        ++m_pos;
    }
    if (atEnd() || !isDigit(peek())) {
        return fail(QStringLiteral("a value is expected"));
    }
    if (peek() == '0') {
        ++m_pos;
    } else {
        while (!atEnd() && isDigit(peek())) {
            ++m_pos;
        }
    }
    if (!atEnd() && peek() == '.') {
        ++m_pos;
        if (atEnd() || !isDigit(peek())) {
            return fail(QStringLiteral("digits are expected after \".\""));
        }
        while (!atEnd() && isDigit(peek())) {
            ++m_pos;
        }
    }
    if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
        ++m_pos;
        if (!atEnd() && (peek() == '+' || peek() == '-')) {
            ++m_pos;
        }
        if (atEnd() || !isDigit(peek())) {
            return fail(QStringLiteral("digits are expected in the exponent"));
        }
        while (!atEnd() && isDigit(peek())) {
            ++m_pos;
        }
    }
    out = m_bytes.sliced(start, m_pos - start).toByteArray();
    return true;
}

std::optional<quint64> JsonReader::wholeUnsigned(const QByteArray &number)
{
    qsizetype pos = 0;
    const bool negative = number.startsWith('-');
    if (negative) {
        ++pos;
    }
    QByteArray digits;
    qint64 exponent = 0;
    while (pos < number.size() && isDigit(number[pos])) {
        digits.append(number[pos++]);
    }
    if (pos < number.size() && number[pos] == '.') {
        ++pos;
        while (pos < number.size() && isDigit(number[pos])) {
            digits.append(number[pos++]);
            --exponent;
        }
    }
    if (pos < number.size() && (number[pos] == 'e' || number[pos] == 'E')) {
        ++pos;
        bool minus = false;
        if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) {
            minus = number[pos++] == '-';
        }
        qint64 written = 0;
        while (pos < number.size() && isDigit(number[pos])) {
            written = std::min<qint64>(written * 10 + (number[pos++] - '0'), 1'000'000);
        }
        exponent += minus ? -written : written;
    }
    if (pos != number.size() || digits.isEmpty()) {
        return std::nullopt;
    }
    // Normalise to digits × 10^exponent without leading or trailing zeros.
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == '0') {
        ++first;
    }
    digits = digits.mid(first);
    while (!digits.isEmpty() && digits.endsWith('0')) {
        digits.chop(1);
        ++exponent;
    }
    if (digits.isEmpty()) {
        return quint64(0); // zero, also "-0"
    }
    if (negative || exponent < 0 || digits.size() + exponent > 20) {
        return std::nullopt;
    }
    quint64 value = 0;
    for (const char digit : digits) {
        if (value > (std::numeric_limits<quint64>::max() - quint64(digit - '0')) / 10) {
            return std::nullopt;
        }
        value = value * 10 + quint64(digit - '0');
    }
    for (qint64 i = 0; i < exponent; ++i) {
        if (value > std::numeric_limits<quint64>::max() / 10) {
            return std::nullopt;
        }
        value *= 10;
    }
    return value;
}
