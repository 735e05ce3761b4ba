#include "config/configio.h"

#include <QStringList>
#include <algorithm>

namespace tavrel {

int readRequestCount(const KeyTable& table)
{
    constexpr int AlwaysRead = 6;
    return std::max(AlwaysRead, table.CountFromDevice ? table.KeyCount : 0);
}

int writeProgress(int keys, int index)
{
    return keys - index > 0 ? 100 / (keys - index) : 100;
}

bool writableKey(const KeyTable& table, int index)
{
    return KeyTable::validKey(index) && table.Current.test(std::size_t(index));
}

QString completionText(const WriteOutcome& outcome)
{
    if (outcome.complete())
        return QStringLiteral("设置完成！");
    QStringList keys;
    for (int k : outcome.notWritten)
        keys << QString::number(k + 1);
    return QStringLiteral("设置失败！%1个按键未写入：%2。").arg(outcome.notWritten.size()).arg(keys.join(QStringLiteral("、")));
}

}  // namespace tavrel
