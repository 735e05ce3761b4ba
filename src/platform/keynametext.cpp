#include "platform/keynametext.h"

#include "keys/hookinterface.h"

#include <cstddef>

namespace tavrel::platform {
namespace {

struct ScanName {
    quint8 scanCode;
    const char* name;
};

// Keys whose scan code comes without the extended flag.
// clang-format off
constexpr ScanName PlainScanNames[] = {
    {0x01, "Esc"},       {0x02, "1"},          {0x03, "2"},          {0x04, "3"},
    {0x05, "4"},         {0x06, "5"},          {0x07, "6"},          {0x08, "7"},
    {0x09, "8"},         {0x0A, "9"},          {0x0B, "0"},          {0x0C, "-"},
    {0x0D, "="},         {0x0E, "Backspace"},  {0x0F, "Tab"},        {0x10, "Q"},
    {0x11, "W"},         {0x12, "E"},          {0x13, "R"},          {0x14, "T"},
    {0x15, "Y"},         {0x16, "U"},          {0x17, "I"},          {0x18, "O"},
    {0x19, "P"},         {0x1A, "["},          {0x1B, "]"},          {0x1C, "Enter"},
    {0x1D, "Ctrl"},      {0x1E, "A"},          {0x1F, "S"},          {0x20, "D"},
    {0x21, "F"},         {0x22, "G"},          {0x23, "H"},          {0x24, "J"},
    {0x25, "K"},         {0x26, "L"},          {0x27, ";"},          {0x28, "'"},
    {0x29, "`"},         {0x2A, "Shift"},      {0x2B, "\\"},         {0x2C, "Z"},
    {0x2D, "X"},         {0x2E, "C"},          {0x2F, "V"},          {0x30, "B"},
    {0x31, "N"},         {0x32, "M"},          {0x33, ","},          {0x34, "."},
    {0x35, "/"},         {0x36, "Right Shift"}, {0x37, "Num *"},     {0x38, "Alt"},
    {0x39, "Space"},     {0x3A, "Caps Lock"},  {0x3B, "F1"},         {0x3C, "F2"},
    {0x3D, "F3"},        {0x3E, "F4"},         {0x3F, "F5"},         {0x40, "F6"},
    {0x41, "F7"},        {0x42, "F8"},         {0x43, "F9"},         {0x44, "F10"},
    {0x45, "Pause"},     {0x46, "Scroll Lock"}, {0x47, "Num 7"},     {0x48, "Num 8"},
    {0x49, "Num 9"},     {0x4A, "Num -"},      {0x4B, "Num 4"},      {0x4C, "Num 5"},
    {0x4D, "Num 6"},     {0x4E, "Num +"},      {0x4F, "Num 1"},      {0x50, "Num 2"},
    {0x51, "Num 3"},     {0x52, "Num 0"},      {0x53, "Num Del"},    {0x54, "Sys Req"},
    // The extra key left of Z on ISO keyboards: not the backslash key of a US keyboard.
    {0x56, "102nd Key"}, {0x57, "F11"},        {0x58, "F12"},        {0x59, "Num ="},
    {0x5C, "Num JP ,"},  {0x64, "F13"},        {0x65, "F14"},        {0x66, "F15"},
    {0x67, "F16"},       {0x68, "F17"},        {0x69, "F18"},        {0x6A, "F19"},
    {0x6B, "F20"},       {0x6C, "F21"},        {0x6D, "F22"},        {0x6E, "F23"},
    // Keys of Japanese and Korean keyboards.
    {0x70, "Katakana/Hiragana"}, {0x73, "Ro"},     {0x76, "F24"},      {0x77, "Hiragana"},
    {0x78, "Katakana"},          {0x79, "Henkan"}, {0x7B, "Muhenkan"}, {0x7D, "Yen"},
    {0x7E, "Num ,"},             {0xF1, "Hanja"},  {0xF2, "Hangul"},
};
// clang-format on

// Keys whose scan code comes with the extended flag.
// clang-format off
constexpr ScanName ExtendedScanNames[] = {
    {0x10, "Previous Track"}, {0x19, "Next Track"},    {0x1C, "Num Enter"},
    {0x1D, "Right Ctrl"},     {0x20, "Mute"},          {0x21, "Calculator"},
    {0x22, "Play/Pause"},     {0x24, "Stop Media"},    {0x2E, "Volume Down"},
    {0x30, "Volume Up"},      {0x32, "Browser Home"},  {0x35, "Num /"},
    {0x37, "Prnt Scrn"},      {0x38, "Right Alt"},     {0x45, "Num Lock"},
    {0x46, "Break"},          {0x47, "Home"},          {0x48, "Up"},
    {0x49, "Page Up"},        {0x4B, "Left"},          {0x4D, "Right"},
    {0x4F, "End"},            {0x50, "Down"},          {0x51, "Page Down"},
    {0x52, "Insert"},         {0x53, "Delete"},        {0x5B, "Left Windows"},
    {0x5C, "Right Windows"},  {0x5D, "Application"},   {0x5E, "Power"},
    {0x5F, "Sleep"},          {0x63, "Wake"},          {0x65, "Browser Search"},
    {0x66, "Favorites"},      {0x67, "Browser Refresh"}, {0x68, "Browser Stop"},
    {0x69, "Browser Forward"}, {0x6A, "Browser Back"}, {0x6B, "My Computer"},
    {0x6C, "Mail"},
};
// clang-format on

template <std::size_t N>
const char* find(const ScanName (&table)[N], quint8 scanCode)
{
    for (const ScanName& entry : table)
        if (entry.scanCode == scanCode)
            return entry.name;
    return nullptr;
}

}  // namespace

QString keyNameText(quint32 lParam)
{
    const quint8 scanCode = keystroke::scanCodeOf(lParam);
    const bool extended = lParam & keystroke::Extended;

    if (lParam & keystroke::DontCare) {
        if (scanCode == 0x1D)
            return QStringLiteral("Ctrl");
        if (scanCode == 0x2A || scanCode == 0x36)
            return QStringLiteral("Shift");
    }

    const char* name = extended ? find(ExtendedScanNames, scanCode) : find(PlainScanNames, scanCode);
    if (name)
        return QString::fromLatin1(name);
    return QStringLiteral("Unknown ") + (extended ? QStringLiteral("E0 ") : QString())
           + QString::number(scanCode, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

}  // namespace tavrel::platform
