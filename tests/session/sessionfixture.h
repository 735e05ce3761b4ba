#pragma once
// A device session over emulated devices that a test plugs in, and an editor of the selected one;
// everything plugged goes at the end.

#include "common/qtwait.h"
#include "common/statehome.h"
#include "keyemu/testbed.h"
#include "session/deviceeditor.h"
#include "session/devicesession.h"

#include <gtest/gtest.h>

#include <memory>

namespace tavrel::test {

emu::Testbed& testbed();

class EmulatedDevicesTest : public ::testing::Test {
protected:
    EmulatedDevicesTest() { useOwnStateHome(); }

    void TearDown() override
    {
        editor.reset();
        session.reset();
        for (emu::EmulatedDevice* device : testbed().devices())
            if (device->plugged())
                testbed().unplug(*device);
    }

    emu::EmulatedDevice& plug(const QString& name, const QString& serial, int keys = 6)
    {
        emu::KeyModel model;
        model.name = name;
        model.serial = serial;
        model.keys = keys;
        return testbed().add(model);
    }

    std::unique_ptr<DeviceSession> session;
    // The selection and the edits, as the window makes them.
    std::unique_ptr<DeviceEditor> editor;
};

}  // namespace tavrel::test
