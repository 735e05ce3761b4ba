#include "session/keyfiles.h"

#include "session/attacheddevice.h"

#include <QCoreApplication>

namespace tavrel {

bool keysRead(const AttachedDevice* device)
{
    if (!device || device->busy())
        return false;
    const KeyAssignments& assignments = device->assignments();
    if (assignments.shownKeys() <= 0)
        return false;
    for (int k = 0; k < assignments.shownKeys(); ++k)
        if (!assignments.at(k))
            return false;
    return true;
}

QByteArray keyFile(const AttachedDevice* device)
{
    if (!keysRead(device))
        return {};
    return configfile::serialize(device->assignments().records(), device->identity().serial,
                                 device->identity().product);
}

std::variant<int, configfile::FileErrors> loadKeyFile(AttachedDevice* device, const QByteArray& text)
{
    if (!keysRead(device))
        return configfile::FileErrors{
            {0, QCoreApplication::translate("tavrel::KeyFiles", "按键尚未读取，请先连接并读取按键。")}};
    auto parsed = configfile::parse(text);
    if (auto* errors = std::get_if<configfile::FileErrors>(&parsed))
        return std::move(*errors);
    // A key beyond this device's keys refuses the whole file: nothing of it is taken.
    auto planned =
        configfile::validateFor(std::get<configfile::ConfigFile>(parsed), device->assignments().shownKeys(), false);
    if (auto* errors = std::get_if<configfile::FileErrors>(&planned))
        return std::move(*errors);
    const configfile::RestorePlan& plan = std::get<configfile::RestorePlan>(planned);
    // Loaded even where it equals what the device holds: it is to be written.
    for (const configfile::KeyEntry& e : plan.write)
        device->setRecord(e.key - 1, e.record, RecordOrigin::Loaded);
    return int(plan.write.size());
}

}  // namespace tavrel
