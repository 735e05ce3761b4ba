#include "config/configio.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

namespace tavrel {

int readRequestCount(std::optional<int> keyCount)
{
    constexpr int AlwaysRead = 6;
    return std::max(AlwaysRead, keyCount.value_or(0));
}

int writeProgress(int keys, int index)
{
    return keys - index > 0 ? 100 / (keys - index) : 100;
}

QString keyNumbersText(const QList<int>& keys)
{
    QStringList numbers;
    for (int k : keys)
        numbers << QString::number(k + 1);
    //: Between the numbers of keys in a list.
    return numbers.join(QCoreApplication::translate("tavrel::Configuration", "、"));
}

QString completionText(const WriteOutcome& outcome)
{
    // Translated as the windows' texts are: a front-end without widgets follows the same language.
    if (outcome.complete())
        return QCoreApplication::translate("tavrel::Configuration", "设置完成！");
    QString text = QCoreApplication::translate("tavrel::Configuration", "设置失败！%n个按键未写入：%1。", nullptr,
                                               int(outcome.notWritten.size()))
                       .arg(keyNumbersText(outcome.notWritten));
    if (outcome.otherWriter)
        text += QLatin1Char('\n') + QCoreApplication::translate("tavrel::Configuration", "另一个程序仍在写入此设备。");
    return text;
}

}  // namespace tavrel
