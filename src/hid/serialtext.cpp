#include "hid/serialtext.h"

#include <algorithm>
#include <array>

namespace tavrel {

namespace {

constexpr int StringUnits = 254;

}  // namespace

QString deviceStringText(const QString& text)
{
    QString result = text.left(StringUnits);
    const qsizetype zero = result.indexOf(QChar(0));
    if (zero >= 0)
        result.truncate(zero);
    return result;
}

QString serialNumberText(const std::optional<QString>& serial, const std::optional<std::vector<quint16>>& languageIds)
{
    if (!serial)
        return {};

    std::array<quint16, StringUnits> asked{};
    const QString text = serial->left(StringUnits);
    for (qsizetype i = 0; i < text.size(); ++i)
        asked[std::size_t(i)] = text[i].unicode();

    // Units the language request did not write keep 0xFFFF, so its length shows.
    std::array<quint16, StringUnits> languages;
    languages.fill(0xFFFF);
    if (languageIds) {
        const std::size_t n = std::min(languageIds->size(), languages.size());
        std::copy_n(languageIds->begin(), n, languages.begin());
        if (n < languages.size())
            languages[n] = 0;
    }

    int compared = 0;
    for (int i = StringUnits - 1; i >= 0; --i) {
        if (languages[std::size_t(i)] != 0xFFFF) {
            compared = i + (languages[std::size_t(i)] != 0 ? 1 : 0);
            break;
        }
    }
    if (compared == 0 || std::equal(asked.begin(), asked.begin() + compared, languages.begin()))
        return {};
    return deviceStringText(text);
}

}  // namespace tavrel
