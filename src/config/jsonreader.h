#pragma once
// Reads the JSON of a key file in one pass, keeping the lines of its values. It takes what
// QJsonDocument takes and refuses what it refuses, with the same kind of fault at the same byte,
// so that the reasons read as Qt's: a top object or array, nested at most 1024 deep, members
// named by strings, the last of a repeated name counting; a string's unknown escape stands for
// its letter. It never reads past the end of the text.

#include "config/jsonvalue.h"

#include <QByteArray>
#include <QJsonParseError>

namespace tavrel::configfile {

class JsonReader {
public:
    // The text stays the caller's and must outlive the reader.
    explicit JsonReader(const QByteArray& text) : m_text(text) {}

    // The document, or a null value with the fault in `error` (its offset a byte of the text,
    // or just past its end).
    JsonValue read(QJsonParseError* error);

    // Bytes looked at and members stored: work in proportion to the text.
    std::size_t steps() const { return m_steps; }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    char at() const { return m_text[m_pos]; }
    int lineHere();
    bool skipSpace();
    char nextToken();
    bool fail(QJsonParseError::ParseError error);

    bool readObject(JsonValue& object);
    bool readMember(JsonValue& object);
    bool readArray(JsonValue& array);
    bool readValue(JsonValue& value);
    bool readWord(const char* rest, JsonValue& value);
    bool readNumber(JsonValue& value);
    bool readString(QString& text);
    bool readUtf8Char(char32_t& codePoint);
    bool readEscape(char32_t& unit);

    const QByteArray& m_text;
    qsizetype m_pos = 0;
    int m_depth = 0;
    QJsonParseError::ParseError m_error = QJsonParseError::NoError;
    // The line of m_lineAt; the lines are counted forward as the reading goes.
    qsizetype m_lineAt = 0;
    int m_line = 1;
    std::size_t m_steps = 0;
};

}  // namespace tavrel::configfile
