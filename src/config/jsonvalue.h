#pragma once
// A JSON value as the key file reader reads it, with the line each value and each member's name
// starts on, so that a fault found in the value can name its line.

#include <QHash>
#include <QString>
#include <vector>

namespace tavrel::configfile {

struct JsonMember;

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    int line = 1;  // 1 for the first line
    bool boolean = false;
    double number = 0;
    QString string;
    std::vector<JsonValue> elements;  // of an array
    std::vector<JsonMember> members;  // of an object, in the file's order, names repeated as given

    bool isObject() const { return type == Type::Object; }
    bool isArray() const { return type == Type::Array; }
    bool isString() const { return type == Type::String; }
    bool isNumber() const { return type == Type::Number; }
    // The text of a string, "" for any other value.
    QString toString() const { return isString() ? string : QString(); }

    // The last member of that name, as the one that counts; null when there is none.
    const JsonMember* member(const QString& name) const;
    const JsonValue* value(const QString& name) const;
    bool contains(const QString& name) const { return member(name) != nullptr; }
    // Each name once, in the order of the names.
    QStringList names() const;

    // Each name's last member, by its index: an object can have a hundred thousand members, each
    // looked up.
    QHash<QString, std::size_t> lastMember;
};

struct JsonMember {
    QString name;
    int line = 1;  // of the name
    JsonValue value;
};

}  // namespace tavrel::configfile
