#include "keyemu/keyfields.h"

namespace tavrel::emu {

namespace {

std::optional<quint16> parseId(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return quint16(value);
}

}  // namespace

std::optional<KeyModel> parseKeyFields(const QString& fields, QString* error)
{
    KeyModel model;
    const auto fail = [&](const QString& why) -> std::optional<KeyModel> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    for (const QString& field : fields.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype eq = field.indexOf(QLatin1Char('='));
        const QString key = (eq < 0 ? field : field.left(eq)).trimmed();
        const QString value = eq < 0 ? QString() : field.mid(eq + 1).trimmed();
        const bool hasValue = eq >= 0;
        if (key == QLatin1String("wireless")) {
            if (!hasValue || value == QLatin1String("1"))
                model.wireless = true;
            else if (value == QLatin1String("0"))
                model.wireless = false;
            else
                return fail(QStringLiteral("wireless takes no value, 1 or 0"));
        } else if (!hasValue) {
            return fail(QStringLiteral("%1 needs a value").arg(key));
        } else if (key == QLatin1String("name")) {
            if (value.isEmpty() || value.contains(QLatin1Char(' ')) || value.contains(QLatin1Char('|')))
                return fail(QStringLiteral("a name is one word"));
            model.name = value;
        } else if (key == QLatin1String("serial")) {
            model.serial = value;
        } else if (key == QLatin1String("product")) {
            model.product = value;
        } else if (key == QLatin1String("keys")) {
            bool ok = false;
            const int keys = value.toInt(&ok);
            if (!ok || keys < 0 || keys > 15)
                return fail(QStringLiteral("keys is a number from 0 to 15"));
            model.keys = keys;
        } else if (key == QLatin1String("vid") || key == QLatin1String("pid")) {
            const auto id = parseId(value);
            if (!id)
                return fail(QStringLiteral("%1 is a hex number up to FFFF").arg(key));
            (key == QLatin1String("vid") ? model.vendorId : model.productId) = *id;
        } else if (key == QLatin1String("descriptor")) {
            const auto bytes = parseHexBytes(value);
            if (!bytes || bytes->isEmpty())
                return fail(QStringLiteral("descriptor is hex bytes"));
            model.reportDescriptor = *bytes;
        } else {
            return fail(QStringLiteral("unknown field %1").arg(key));
        }
    }
    return model;
}

QString hexBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

std::optional<QByteArray> parseHexBytes(const QString& text)
{
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (digits.size() % 2 != 0)
        return std::nullopt;
    for (const QChar c : digits) {
        const char16_t u = c.toUpper().unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F')))
            return std::nullopt;
    }
    return QByteArray::fromHex(digits.toLatin1());
}

}  // namespace tavrel::emu
