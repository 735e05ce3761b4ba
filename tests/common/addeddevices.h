#pragma once
// Tests of the device layer against emulated devices: the process's one testbed, and a fixture
// whose devices go again after each test, so the next one starts from an empty bus.

#include "keyemu/testbed.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrel::test {

inline emu::Testbed& testbed()
{
    static emu::Testbed bed;
    return bed;
}

class AddedDevicesTest : public ::testing::Test {
protected:
    emu::EmulatedDevice& addDevice(emu::KeyModel model = {})
    {
        emu::EmulatedDevice& device = testbed().add(model);
        m_devices.push_back(&device);
        return device;
    }

    void TearDown() override
    {
        for (emu::EmulatedDevice* device : m_devices)
            testbed().unplug(*device);
    }

private:
    std::vector<emu::EmulatedDevice*> m_devices;
};

}  // namespace tavrel::test
