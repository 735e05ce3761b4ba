#pragma once
// What the pairing window says, written out once for every test that reads it.

#include <QString>
#include <QStringList>

namespace tavrel::test {

// The instructions as the memo's seven lines, for a receiver that binds `capacity` transmitters.
inline QStringList pairingInstructionLines(int capacity)
{
    const QString n = QString::number(capacity);
    return {QStringLiteral("1.每个接收器最多可绑定") + n + QStringLiteral("个发射器。"),
            QString(),
            QStringLiteral("2.当绑定的发射器超过") + n + QStringLiteral("个，将会挤走最先绑定的发射器。"),
            QString(),
            QStringLiteral("3.可以\"解除所有绑定\"，删除接收器中绑定的全部发射器。"),
            QString(),
            QStringLiteral("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多") + n + QStringLiteral("个。")};
}

}  // namespace tavrel::test
