#include "config/assignment.h"

#include "keys/keynames.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace tavrel {
namespace {

constexpr QLatin1StringView MousePrefix("mouse:");

struct MouseButton {
    quint8 code;
    const char* name;
};
constexpr std::array<MouseButton, 3> MouseButtonNames{{
    {MouseLeft, "left"},
    {MouseRight, "right"},
    {MouseMiddle, "middle"},
}};

// Edits (insertions, deletions, substitutions, swaps of neighbours) between two texts: a swapped
// pair of letters is the commonest slip when typing a name. Texts whose lengths differ by more
// than any allowed number of slips are not compared letter by letter: the difference is a lower
// bound, and a long unknown text would otherwise cost its length times each name.
int editDistance(const QString& a, const QString& b)
{
    const qsizetype n = a.size(), m = b.size();
    if (std::abs(n - m) > 3)
        return int(std::min<qsizetype>(std::abs(n - m), 1000));
    // Three rows suffice: a swap looks two rows back.
    std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
    for (qsizetype j = 0; j <= m; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[m];
}

// Whether `shorter` is `longer` with letters left out, starting alike: "Ctrl" in "Control",
// "PgUp" in "Page Up".
bool abbreviates(const QString& shorter, const QString& longer)
{
    if (shorter.size() < 3 || shorter.size() > longer.size() || shorter[0] != longer[0])
        return false;
    qsizetype i = 0;
    for (qsizetype j = 0; j < longer.size() && i < shorter.size(); ++j)
        if (shorter[i] == longer[j])
            ++i;
    return i == shorter.size();
}

// Candidates close to `unknown`, at most three, best first: a slip of one letter, then names
// that begin with it, then names it abbreviates or holds (or that abbreviate or hold it), then
// names a few slips away; ties keep the candidates' order.
QStringList closeMatches(const QString& unknown, const QStringList& candidates)
{
    const QString token = unknown.trimmed().toCaseFolded();
    if (token.isEmpty())
        return {};
    // Longer names leave room for more slips; a single character is close only to names it begins.
    const int allowed = token.size() <= 1 ? 0 : token.size() <= 5 ? 1 : token.size() <= 8 ? 2 : 3;
    struct Found {
        int tier;
        int distance;
        QString name;
    };
    std::vector<Found> found;
    for (const QString& candidate : candidates) {
        const QString name = candidate.toCaseFolded();
        const int distance = editDistance(token, name);
        const auto holds = [](const QString& a, const QString& b) { return b.size() >= 3 && a.contains(b); };
        int tier;
        if (distance <= std::min(1, allowed))
            tier = 0;
        else if (name.startsWith(token))
            tier = 1;
        else if (holds(name, token) || holds(token, name) || abbreviates(token, name) || abbreviates(name, token))
            tier = 2;
        else if (distance <= allowed)
            tier = 3;
        else
            continue;
        found.push_back({tier, distance, candidate});
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& x, const Found& y) {
        return std::pair(x.tier, x.distance) < std::pair(y.tier, y.distance);
    });
    QStringList result;
    for (const Found& f : found) {
        if (result.size() == 3)
            break;
        result << f.name;
    }
    return result;
}

QString quoted(QStringView text)
{
    return QLatin1Char('"') + text.toString() + QLatin1Char('"');
}

// The reasons are for people: they are written in English and translated in the context
// "tavrel::assignment", each one a whole sentence, as languages join the parts differently.
enum class Unknown { KeyName, MouseButton };

// "a", "a or b", "a, b or c", each name quoted, as names such as "," and "Num +" would otherwise
// run into the sentence.
QString choicesText(const QStringList& suggestions)
{
    QStringList names;
    for (const QString& s : suggestions)
        names << quoted(s);
    const QString last = names.takeLast();
    if (names.isEmpty())
        return last;
    return QCoreApplication::translate("tavrel::assignment", "%1 or %2", "the last two of the close matches")
        .arg(names.join(QCoreApplication::translate("tavrel::assignment", ", ", "between the close matches")), last);
}

AssignmentError unknownName(Unknown what, const QString& token, QStringList suggestions)
{
    const QString name = quoted(token);
    QString reason;
    if (suggestions.isEmpty()) {
        reason = what == Unknown::KeyName
                     ? QCoreApplication::translate("tavrel::assignment", "unknown key name %1").arg(name)
                     : QCoreApplication::translate("tavrel::assignment",
                                                   "unknown mouse button %1 (the buttons are left, right and middle)")
                           .arg(name);
    } else {
        const QString choices = choicesText(suggestions);
        reason = what == Unknown::KeyName
                     ? QCoreApplication::translate("tavrel::assignment", "unknown key name %1 (did you mean %2?)")
                           .arg(name, choices)
                     : QCoreApplication::translate("tavrel::assignment", "unknown mouse button %1 (did you mean %2?)")
                           .arg(name, choices);
    }
    return {reason, std::move(suggestions)};
}

AssignmentResult parseMouse(QStringView button, bool repeat)
{
    const QString name = button.trimmed().toString();
    for (const MouseButton& b : MouseButtonNames)
        if (name.compare(QLatin1String(b.name), Qt::CaseInsensitive) == 0)
            return KeyRecord{b.code, 0, 0, 0, modeFor(true, repeat)};
    QStringList names;
    for (const MouseButton& b : MouseButtonNames)
        names << QLatin1String(b.name);
    return unknownName(Unknown::MouseButton, name, closeMatches(name, names));
}

struct NameMatch {
    int usage;
    qsizetype end;  // just past the name and the spaces after it
};

// The longest key name that starts at `pos`, ignoring case, and that the end of the text or a
// "+" follows. Longest first, so that "Num +" is one key and not "Num" and a separator.
std::optional<NameMatch> matchName(QStringView text, qsizetype pos)
{
    std::optional<NameMatch> best;
    qsizetype bestLength = 0;
    for (const KeyName& k : keyNameTable()) {
        const QLatin1StringView name(k.name);
        if (name.size() <= bestLength || name.size() > text.size() - pos)
            continue;
        if (text.mid(pos, name.size()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        qsizetype after = pos + name.size();
        while (after < text.size() && text[after].isSpace())
            ++after;
        if (after < text.size() && text[after] != QLatin1Char('+'))
            continue;
        best = NameMatch{k.usage, after};
        bestLength = name.size();
    }
    return best;
}

QStringList allKeyNames()
{
    QStringList names;
    for (const KeyName& k : keyNameTable())
        names << QLatin1String(k.name);
    return names;
}

}  // namespace

QString triggerText(quint8 mode)
{
    return isRepeatMode(mode) ? QStringLiteral("repeat") : QStringLiteral("single");
}

QString assignmentText(const KeyRecord& record)
{
    if (!isMouseMode(record.mode))
        return displayText(record.modifiers, record.code1, record.code2, record.code3);
    for (const MouseButton& b : MouseButtonNames)
        if (record.modifiers == b.code)
            return MousePrefix + QLatin1String(b.name);
    return MousePrefix + hexByte(record.modifiers);
}

AssignmentResult parseAssignment(const QString& input, bool repeat)
{
    const QString text = input.trimmed();
    if (text.startsWith(MousePrefix, Qt::CaseInsensitive))
        return parseMouse(QStringView(text).mid(MousePrefix.size()), repeat);

    KeyRecord record{0, 0, 0, 0, modeFor(false, repeat)};
    if (text.isEmpty())
        return record;
    QString ordinary;  // the name of the ordinary key taken so far, for the error about a second
    qsizetype pos = 0;
    for (;;) {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        const std::optional<NameMatch> match = matchName(text, pos);
        if (!match) {
            const qsizetype plus = text.indexOf(QLatin1Char('+'), pos);
            const QString token = text.mid(pos, plus < 0 ? -1 : plus - pos).trimmed();
            if (token.isEmpty())
                return AssignmentError{
                    QCoreApplication::translate("tavrel::assignment", "a key name is missing in %1").arg(quoted(text)),
                    {}};
            return unknownName(Unknown::KeyName, token, closeKeyNames(token));
        }
        const QString name = keyNameForUsage(match->usage);
        if (const quint8 bit = modifierBit(match->usage)) {
            record.modifiers |= bit;
        } else if (record.code1 != 0 && record.code1 != match->usage) {
            return AssignmentError{QCoreApplication::translate("tavrel::assignment",
                                                               "%1 and %2 are both ordinary keys; a key sends one "
                                                               "ordinary key with its modifiers")
                                       .arg(quoted(ordinary), quoted(name)),
                                   {}};
        } else {
            record.code1 = quint8(match->usage);
            ordinary = name;
        }
        pos = match->end;
        if (pos >= text.size())
            return record;
        ++pos;  // the "+"
    }
}

QStringList closeKeyNames(const QString& unknown)
{
    return closeMatches(unknown, allKeyNames());
}

}  // namespace tavrel
