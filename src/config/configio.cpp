#include "config/configio.h"

#include <algorithm>

namespace tavrel {

void readConfiguration(ReportChannel& channel, const KeyTable& table, const std::function<void()>& pause)
{
    constexpr int AlwaysRead = 6;
    channel.beginOperation();
    // Answers arrive during the pauses, so the device's key count is looked at again each time.
    for (int i = 0; i < std::max(AlwaysRead, table.CountFromDevice ? table.KeyCount : 0); ++i) {
        channel.send(readKeyReport(i));
        if (pause)
            pause();
    }
}

WriteOutcome writeConfiguration(ReportChannel& channel, const KeyTable& table, const WriteSteps& steps)
{
    WriteOutcome outcome;
    outcome.keys = std::clamp(table.KeyCount, 0, KeyTable::Slots);
    if (steps.progress)
        steps.progress(0);
    channel.beginOperation();
    for (int i = 0; i < outcome.keys; ++i) {
        if (steps.progress)
            steps.progress(100 / (outcome.keys - i));
        if (!table.Current.test(std::size_t(i))) {
            ++outcome.notWritten;
            continue;
        }
        const OutputReport report = writeKeyReport(i, table);
        if (steps.sending)
            steps.sending(report);
        if (!channel.send(report).ok)
            ++outcome.notWritten;
        if (steps.pause)
            steps.pause();
    }
    return outcome;
}

QString completionText(const WriteOutcome& outcome)
{
    if (outcome.complete())
        return QStringLiteral("设置完成！");
    return QStringLiteral("设置失败！%1个按键未写入。").arg(outcome.notWritten);
}

}  // namespace tavrel
