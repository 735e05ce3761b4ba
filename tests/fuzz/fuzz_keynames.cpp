// The key-name vocabulary both ways: usages and modifier masks to names, names to usages.
// Every name the program shows must lead back to the usage it came from.
//
// Input: a 32-bit usage, a modifier mask byte, then the rest as a name, read as UTF-8 (the
// capture box and the hook library hand names over as text).

#include "fuzzcheck.h"
#include "keys/keynames.h"

#include <QStringList>

#include <bit>

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

// usageForName's answer; a negative usage breaks the rule of the function.
int usageOf(const QString& name)
{
    const int usage = usageForName(name);
    FUZZ_CHECK(usage >= 0);
    return usage;
}

void checkUsage(int usage)
{
    const QString name = keyNameForUsage(usage);
    if (name.isEmpty())
        return;
    FUZZ_CHECK(usageOf(name) == usage);
}

void checkMask(quint8 mask)
{
    const QString text = modifierNamesForMask(mask);
    FUZZ_CHECK(text.isEmpty() == (mask == 0));
    if (text.isEmpty())
        return;
    // One name per bit, joined with "+", and the names give the mask back.
    const QStringList names = text.split(QLatin1Char('+'));
    FUZZ_CHECK(names.size() == std::popcount(mask));
    quint8 rebuilt = 0;
    for (const QString& name : names) {
        const int usage = usageOf(name);
        FUZZ_CHECK(usage >= FirstModifierUsage && usage <= LastModifierUsage);
        rebuilt |= quint8(1u << (usage - FirstModifierUsage));
    }
    FUZZ_CHECK(rebuilt == mask);
}

void checkName(const QString& name)
{
    const int usage = usageOf(name);
    if (usage == 0)
        return;
    FUZZ_CHECK(keyNameForUsage(usage) == name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const int usage = int(input.u32());
    const quint8 mask = input.byte();
    const auto rest = input.bytes(input.remaining());
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));

    checkUsage(usage);
    checkUsage(usage & 0xFF);
    checkMask(mask);
    checkName(name);
    checkName(name.trimmed());
    return 0;
}
