#pragma once
// What every fuzz target shares: an invariant check that stops the run where it failed, and a
// reader that takes typed values off the front of the fuzz input.

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

namespace tavrel::fuzz {

// Says which invariant broke, then traps, so libFuzzer keeps the input and shows the stack.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);                     \
            __builtin_trap();                                                                                          \
        }                                                                                                              \
    } while (false)

// Reads past the end as zeros, so a target never has to check what is left before each value.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data, size) {}

    bool empty() const { return m_pos >= m_data.size(); }
    std::size_t remaining() const { return empty() ? 0 : m_data.size() - m_pos; }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    std::uint16_t u16()
    {
        const std::uint8_t low = byte();
        return std::uint16_t(low | (byte() << 8));
    }
    std::uint32_t u32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(byte()) << (8 * i);
        return value;
    }
    // Up to n bytes, fewer at the end of the input.
    std::span<const std::uint8_t> bytes(std::size_t n)
    {
        const std::size_t taken = std::min(n, remaining());
        const auto part = m_data.subspan(m_pos, taken);
        m_pos += taken;
        return part;
    }
    // A length byte, then that many bytes read as UTF-8 (as udev and sysfs strings are read).
    QString utf8Text()
    {
        const auto part = bytes(byte());
        return QString::fromUtf8(reinterpret_cast<const char*>(part.data()), qsizetype(part.size()));
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

}  // namespace tavrel::fuzz
