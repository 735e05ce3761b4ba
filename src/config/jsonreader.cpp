#include "config/jsonreader.h"

#include <QStringList>

#include <algorithm>

namespace tavrel::configfile {

namespace {
// As deep as QJsonDocument reads.
constexpr int MaxDepth = 1024;
}  // namespace

const JsonMember* JsonValue::member(const QString& name) const
{
    const auto found = lastMember.constFind(name);
    return found == lastMember.cend() ? nullptr : &members[*found];
}

const JsonValue* JsonValue::value(const QString& name) const
{
    const JsonMember* found = member(name);
    return found ? &found->value : nullptr;
}

QStringList JsonValue::names() const
{
    QStringList names = lastMember.keys();
    names.sort();
    return names;
}

JsonValue JsonReader::read(QJsonParseError* error)
{
    JsonValue document;
    bool ok = false;
    if (m_text.startsWith("\xEF\xBB\xBF"))
        m_pos = 3;
    const char token = nextToken();
    if (token == '{' || token == '[') {
        --m_pos;
        document.line = lineHere();
        ++m_pos;
        ok = token == '{' ? readObject(document) : readArray(document);
    } else {
        fail(QJsonParseError::IllegalValue);
    }
    if (ok) {
        skipSpace();
        ok = atEnd() || fail(QJsonParseError::GarbageAtEnd);
    }
    m_steps += std::size_t(std::min(m_pos, m_text.size()));
    if (error) {
        error->error = ok ? QJsonParseError::NoError : m_error;
        error->offset = ok ? 0 : int(m_pos);
    }
    return ok ? document : JsonValue();
}

int JsonReader::lineHere()
{
    const qsizetype to = std::min(m_pos, m_text.size());
    if (to > m_lineAt) {
        m_line += int(std::count(m_text.cbegin() + m_lineAt, m_text.cbegin() + to, '\n'));
        m_lineAt = to;
    }
    return m_line;
}

bool JsonReader::fail(QJsonParseError::ParseError error)
{
    m_error = error;
    return false;
}

// Whether something other than space follows.
bool JsonReader::skipSpace()
{
    while (!atEnd() && (at() == ' ' || at() == '\t' || at() == '\n' || at() == '\r'))
        ++m_pos;
    return !atEnd();
}

// The next punctuation, taken; 0 (and taken as well) for anything else, and at the end.
char JsonReader::nextToken()
{
    if (!skipSpace())
        return 0;
    const char token = m_text[m_pos++];
    return QByteArrayView("[{:,]}\"").contains(token) ? token : char(0);
}

// After "{".
bool JsonReader::readObject(JsonValue& object)
{
    object.type = JsonValue::Type::Object;
    if (++m_depth > MaxDepth)
        return fail(QJsonParseError::DeepNesting);
    char token = nextToken();
    while (token == '"') {
        if (!readMember(object))
            return false;
        token = nextToken();
        if (token != ',')
            break;
        token = nextToken();
        if (token == '}')
            return fail(QJsonParseError::MissingObject);
    }
    if (token != '}')
        return fail(QJsonParseError::UnterminatedObject);
    --m_depth;
    return true;
}

// After the name's opening quote.
bool JsonReader::readMember(JsonValue& object)
{
    JsonMember member;
    --m_pos;
    member.line = lineHere();
    ++m_pos;
    if (!readString(member.name))
        return false;
    if (nextToken() != ':')
        return fail(QJsonParseError::MissingNameSeparator);
    if (!skipSpace())
        return fail(QJsonParseError::UnterminatedObject);
    if (!readValue(member.value))
        return false;
    ++m_steps;
    object.lastMember.insert(member.name, object.members.size());
    object.members.push_back(std::move(member));
    return true;
}

// After "[".
bool JsonReader::readArray(JsonValue& array)
{
    array.type = JsonValue::Type::Array;
    if (++m_depth > MaxDepth)
        return fail(QJsonParseError::DeepNesting);
    if (!skipSpace())
        return fail(QJsonParseError::UnterminatedArray);
    if (at() == ']') {
        nextToken();
    } else {
        for (;;) {
            if (!skipSpace())
                return fail(QJsonParseError::UnterminatedArray);
            array.elements.emplace_back();
            if (!readValue(array.elements.back()))
                return false;
            const char token = nextToken();
            if (token == ']')
                break;
            if (token != ',')
                return fail(skipSpace() ? QJsonParseError::MissingValueSeparator : QJsonParseError::UnterminatedArray);
        }
    }
    --m_depth;
    return true;
}

// At the value's first byte, which is there.
bool JsonReader::readValue(JsonValue& value)
{
    value.line = lineHere();
    switch (m_text[m_pos++]) {
    case 'n':
        return readWord("ull", value);
    case 't':
        value.boolean = true;
        return readWord("rue", value);
    case 'f':
        return readWord("alse", value);
    case '"':
        value.type = JsonValue::Type::String;
        return readString(value.string);
    case '[':
        return readArray(value);
    case '{':
        return readObject(value);
    case ',':
        // A value missing after a colon.
        return fail(QJsonParseError::IllegalValue);
    case ']':
    case '}':
        return fail(QJsonParseError::MissingObject);
    default:
        --m_pos;
        return readNumber(value);
    }
}

// The rest of null, true or false after its first letter; something must follow it.
bool JsonReader::readWord(const char* rest, JsonValue& value)
{
    const qsizetype length = qsizetype(qstrlen(rest));
    if (m_text.size() - m_pos < length + 1)
        return fail(QJsonParseError::IllegalValue);
    for (qsizetype i = 0; i < length; ++i)
        if (m_text[m_pos++] != rest[i])
            return fail(QJsonParseError::IllegalValue);
    value.type = rest[0] == 'u' ? JsonValue::Type::Null : JsonValue::Type::Bool;
    return true;
}

bool JsonReader::readNumber(JsonValue& value)
{
    const qsizetype start = m_pos;
    const auto digits = [this] {
        while (!atEnd() && at() >= '0' && at() <= '9')
            ++m_pos;
    };
    if (!atEnd() && at() == '-')
        ++m_pos;
    if (!atEnd() && at() == '0')
        ++m_pos;
    else
        digits();
    if (!atEnd() && at() == '.') {
        ++m_pos;
        digits();
    }
    if (!atEnd() && (at() == 'e' || at() == 'E')) {
        ++m_pos;
        if (!atEnd() && (at() == '-' || at() == '+'))
            ++m_pos;
        digits();
    }
    // A number ends before something else, since the document ends in a bracket.
    if (atEnd())
        return fail(QJsonParseError::TerminationByNumber);
    bool ok = false;
    const QByteArrayView number(m_text.constData() + start, m_pos - start);
    value.number = double(number.toLongLong(&ok));
    if (!ok)
        value.number = number.toDouble(&ok);
    if (!ok)
        return fail(QJsonParseError::IllegalNumber);
    value.type = JsonValue::Type::Number;
    return true;
}

// After the opening quote; leaves the position after the closing one.
bool JsonReader::readString(QString& text)
{
    const qsizetype start = m_pos;
    // The text as it is, up to an escape.
    while (!atEnd() && at() != '"' && at() != '\\') {
        char32_t ignored = 0;
        if (!readUtf8Char(ignored))
            return fail(QJsonParseError::IllegalUTF8String);
    }
    // At the closing quote, the first escape or the end: a text that ends there is cut off in the
    // string, since a document ends in a bracket.
    if (m_pos + 1 >= m_text.size()) {
        ++m_pos;
        return fail(QJsonParseError::UnterminatedString);
    }
    if (at() == '"') {
        text = QString::fromUtf8(m_text.constData() + start, m_pos - start);
        ++m_pos;
        return true;
    }
    text = QString::fromUtf8(m_text.constData() + start, m_pos - start);
    while (!atEnd() && at() != '"') {
        char32_t c = 0;
        if (at() == '\\') {
            if (!readEscape(c))
                return fail(QJsonParseError::IllegalEscapeSequence);
            // A \u escape is one UTF-16 unit: two of them make a pair, one alone stays alone.
            text += QChar(char16_t(c));
        } else {
            if (!readUtf8Char(c))
                return fail(QJsonParseError::IllegalUTF8String);
            // One character at a time: a byte order mark inside the text is a character too.
            if (QChar::requiresSurrogates(c)) {
                text += QChar(QChar::highSurrogate(c));
                text += QChar(QChar::lowSurrogate(c));
            } else {
                text += QChar(char16_t(c));
            }
        }
    }
    ++m_pos;
    if (atEnd())
        return fail(QJsonParseError::UnterminatedString);
    return true;
}

// One character of well-formed UTF-8; the position stays at a malformed one.
bool JsonReader::readUtf8Char(char32_t& codePoint)
{
    const auto byte = [this](qsizetype i) { return uchar(m_text[m_pos + i]); };
    const uchar lead = byte(0);
    int length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        codePoint = lead;
        ++m_pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (m_text.size() - m_pos < length)
        return false;
    for (int i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return false;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return false;
    m_pos += length;
    return true;
}

// At the backslash; a fault leaves the position where the escape went wrong.
bool JsonReader::readEscape(char32_t& unit)
{
    ++m_pos;
    if (atEnd())
        return false;
    const char escaped = m_text[m_pos++];
    switch (escaped) {
    case 'b':
        unit = 0x08;
        return true;
    case 'f':
        unit = 0x0C;
        return true;
    case 'n':
        unit = 0x0A;
        return true;
    case 'r':
        unit = 0x0D;
        return true;
    case 't':
        unit = 0x09;
        return true;
    case 'u':
        unit = 0;
        if (m_text.size() - m_pos < 4)
            return false;
        for (int i = 0; i < 4; ++i) {
            const char c = at();
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return false;
            unit = (unit << 4) | char32_t(digit);
            ++m_pos;
        }
        return true;
    default:
        // '"', '\\' and '/' as JSON has them; any other letter stands for itself, as Qt reads it.
        unit = uchar(escaped);
        return true;
    }
}

}  // namespace tavrel::configfile
