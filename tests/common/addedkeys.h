#pragma once
// Tests of the device layer against emulated keys: the process's one testbed, and a fixture whose
// keys go again after each test, so the next one starts from an empty bus.

#include "keyemu/testbed.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrel::test {

inline emu::Testbed& testbed()
{
    static emu::Testbed bed;
    return bed;
}

class AddedKeysTest : public ::testing::Test {
protected:
    emu::EmulatedDevice& addKey(emu::KeyModel model = {})
    {
        emu::EmulatedDevice& key = testbed().add(model);
        m_keys.push_back(&key);
        return key;
    }

    void TearDown() override
    {
        for (emu::EmulatedDevice* key : m_keys)
            testbed().unplug(*key);
    }

private:
    std::vector<emu::EmulatedDevice*> m_keys;
};

}  // namespace tavrel::test
