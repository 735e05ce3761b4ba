// A change notice another Tavrel process left in the shared folder, from its bytes to what a
// device's records become: a notice is read whole or not at all, reads back as it was written,
// and never turns an edit the user has not written into another record.
//
// Input: the notice's bytes, as the file holds them.

#include "config/devicenotice.h"
#include "config/keyassignments.h"
#include "fuzzcheck.h"

using namespace tavrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<DeviceNotice> notice = decodeNotice(bytes);
    if (!notice)
        return 0;
    FUZZ_CHECK(decodeNotice(encodeNotice(*notice)) == notice);

    const KeyRecord edit{0x01, 0x04, 0, 0, 0x00};
    KeyAssignments a;
    a.set(0, edit, RecordOrigin::Edited);
    const KeyAssignments::NoticeTaken taken = a.takeNotice(*notice);
    FUZZ_CHECK(a.at(0)->record == edit && a.unsent(0));
    FUZZ_CHECK(!taken.replaced.contains(0));
    for (int k = 0; k < KeySlots; ++k) {
        if (const auto& key = notice->keys[std::size_t(k)]) {
            FUZZ_CHECK(a.held(k) == key->record);
            FUZZ_CHECK(k == 0 || (a.at(k) && !a.unsent(k)));
        }
    }
    return 0;
}
