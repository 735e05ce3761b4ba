// The key file's JSON reader: it must take and refuse what QJsonDocument does, with the same kind
// of fault at the same byte (the reasons are Qt's), read the same values, and keep the line of
// every value and member name.
#include "config/jsonreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tavrel::configfile;

namespace {

QJsonValue asQt(const JsonValue& value)
{
    switch (value.type) {
    case JsonValue::Type::Null:
        return QJsonValue(QJsonValue::Null);
    case JsonValue::Type::Bool:
        return value.boolean;
    case JsonValue::Type::Number:
        return value.number;
    case JsonValue::Type::String:
        return value.string;
    case JsonValue::Type::Array: {
        QJsonArray array;
        for (const JsonValue& element : value.elements)
            array.append(asQt(element));
        return array;
    }
    case JsonValue::Type::Object: {
        QJsonObject object;
        for (const JsonMember& member : value.members)
            object.insert(member.name, asQt(member.value));
        return object;
    }
    }
    return {};
}

}  // namespace

TEST(JsonReader, TakesAndRefusesWhatQtDoesWithTheSameFaultAtTheSameByte)
{
    QList<QByteArray> texts = {
        // Taken, with Qt's leniencies: a byte order mark, a fraction without digits, an unknown
        // escape, raw control characters, lone surrogates, repeated names.
        "\xEF\xBB\xBF{\"a\": [1, -0.5e-3, 2E+2, 1., .5, true, false, null, {}, []]}",
        "[\"\\u00e9\\ud83d\\ude00\\ud800\\/\\\\\\\"\\b\\f\\n\\r\\t\\x\", \"a\x01\tb\", \"\xE6\x8C\x89\xF0\x9F\x98\x80\"]",
        "{\"a\": 1, \"b\": {\"c\": [2]}, \"a\": \"last\"}",
        // A byte order mark inside a string, before and after an escape, is a character.
        "[\"\xEF\xBB\xBF"
        "a\", \"\\n\xEF\xBB\xBF\xF0\x9F\x98\x80\"]",
        // Refused.
        "", "  \n ", "{}x", "[1", "[-", "[0x1]", "[01]", "[1e]", "[1e400]", "[nul]", "[nulll]", "[n]", "[truex]",
        "{\"a\" 1}", "{\"a\":}", "{\"a\":1,}", "[1,]", "[,1]", "[1 2]", "{\"a\":1 \"b\":2}", "{1:2}", "{\"a\": [1}",
        "[\"\\u12\"]", "[\"\\u", "[\"\\", "[\"abc", "[\"abc\"", "[\"\xED\xA0\x80\"]", "[\"\xC0\x80\"]",
        "[\"\xF4\x90\x80\x80\"]", "[\"\xC3\"]", "[\"\xC3", "\"top\"", "17",
        QByteArray(1024, '[') + QByteArray(1024, ']'), QByteArray(1025, '[') + QByteArray(1025, ']'),
        QByteArray(3000, '{')};
    for (const QByteArray& text : std::as_const(texts)) {
        SCOPED_TRACE(text.left(40).toPercentEncoding("[]{}\":,").toStdString());
        QJsonParseError qt, mine;
        const QJsonDocument document = QJsonDocument::fromJson(text, &qt);
        const JsonValue read = JsonReader(text).read(&mine);
        EXPECT_EQ(mine.error, qt.error) << mine.errorString().toStdString() << " / " << qt.errorString().toStdString();
        if (qt.error != QJsonParseError::NoError) {
            EXPECT_EQ(mine.offset, qt.offset);
            continue;
        }
        // As variants: QJsonValue tells apart equal texts that it stores differently.
        const QJsonValue qtValue = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
        EXPECT_EQ(asQt(read).toVariant(), qtValue.toVariant());
    }
}

TEST(JsonReader, KeepsTheLinesOfValuesAndNamesAndTheLastMemberOfAName)
{
    const QByteArray text = "\n{\"a\":\n  1,\n \"list\": [\n\n  {\"x\": \"two\nlines\",\n \"y\": null}],\n \"a\": 3}";
    QJsonParseError error;
    const JsonValue top = JsonReader(text).read(&error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(top.line, 2);
    ASSERT_EQ(top.members.size(), 3u);
    EXPECT_EQ(top.members[0].line, 2);
    EXPECT_EQ(top.members[0].value.line, 3);
    EXPECT_EQ(top.member(QStringLiteral("a"))->line, 9);
    EXPECT_EQ(top.value(QStringLiteral("a"))->number, 3);
    EXPECT_EQ(top.names(), QStringList({QStringLiteral("a"), QStringLiteral("list")}));
    const JsonValue* list = top.value(QStringLiteral("list"));
    ASSERT_TRUE(list && list->isArray() && list->elements.size() == 1);
    const JsonValue& entry = list->elements[0];
    EXPECT_EQ(entry.line, 6);
    // A line feed inside a string moves the lines after it, as the file shows them.
    EXPECT_EQ(entry.member(QStringLiteral("y"))->line, 8);
    EXPECT_EQ(top.value(QStringLiteral("none")), nullptr);
}
