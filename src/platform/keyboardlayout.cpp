#include "platform/keyboardlayout.h"

#include "platform/platformlog.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tavrel::platform {

namespace {

// X key codes are the input key codes plus this.
constexpr unsigned XKeycodeOffset = 8;

struct ContextUnref {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
struct StateUnref {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};
struct ConnectionClose {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

// A dead key types nothing by itself; its keycap shows the accent it puts on the next letter.
QString deadKeyText(xkb_keysym_t sym)
{
    static const struct {
        xkb_keysym_t sym;
        const char16_t* text;
    } Accents[] = {
        {XKB_KEY_dead_grave, u"`"},          {XKB_KEY_dead_acute, u"\u00B4"},     {XKB_KEY_dead_circumflex, u"^"},
        {XKB_KEY_dead_tilde, u"~"},          {XKB_KEY_dead_diaeresis, u"\u00A8"}, {XKB_KEY_dead_cedilla, u"\u00B8"},
        {XKB_KEY_dead_abovering, u"\u00B0"}, {XKB_KEY_dead_caron, u"\u02C7"},     {XKB_KEY_dead_macron, u"\u00AF"},
        {XKB_KEY_dead_breve, u"\u02D8"},     {XKB_KEY_dead_abovedot, u"\u02D9"},  {XKB_KEY_dead_doubleacute, u"\u02DD"},
        {XKB_KEY_dead_ogonek, u"\u02DB"},
    };
    for (const auto& a : Accents)
        if (a.sym == sym)
            return QString::fromUtf16(a.text);
    return {};
}

// What the key types at the first level of the state's layout for it.
KeyLabels labelsOf(xkb_keymap* keymap, xkb_state* state)
{
    return KeyLabels::fromLayout([keymap, state](unsigned code) {
        const xkb_keycode_t keycode = code + XKeycodeOffset;
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state, keycode);
        const xkb_keysym_t* syms = nullptr;
        if (layout == XKB_LAYOUT_INVALID || xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, 0, &syms) != 1)
            return QString();
        char text[16] = {};
        if (xkb_keysym_to_utf8(syms[0], text, sizeof text) > 1)
            return QString::fromUtf8(text);
        return deadKeyText(syms[0]);
    });
}

}  // namespace

std::optional<KeyLabels> displayKeyLabels()
{
    const std::unique_ptr<xcb_connection_t, ConnectionClose> connection(xcb_connect(nullptr, nullptr));
    if (!connection || xcb_connection_has_error(connection.get())) {
        qCDebug(lcPlatform) << "No X display to read the keyboard layout from";
        return std::nullopt;
    }
    if (!xkb_x11_setup_xkb_extension(connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        qCWarning(lcPlatform) << "The X display offers no XKB extension to read the keyboard layout from";
        return std::nullopt;
    }
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
    const std::unique_ptr<xkb_context, ContextUnref> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (device < 0 || !context)
        return std::nullopt;
    const std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection.get(), device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, StateUnref> state(
        xkb_x11_state_new_from_device(keymap.get(), connection.get(), device));
    if (!state)
        return std::nullopt;
    return labelsOf(keymap.get(), state.get());
}

std::optional<KeyLabels> namedLayoutKeyLabels(const QString& layout, const QString& variant)
{
    const std::unique_ptr<xkb_context, ContextUnref> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context)
        return std::nullopt;
    // A layout this machine lacks is told by the result; libxkbcommon need not say so on stderr.
    xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    const QByteArray layoutName = layout.toUtf8();
    const QByteArray variantName = variant.toUtf8();
    xkb_rule_names names{};
    names.layout = layoutName.constData();
    names.variant = variantName.constData();
    const std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, StateUnref> state(xkb_state_new(keymap.get()));
    if (!state)
        return std::nullopt;
    return labelsOf(keymap.get(), state.get());
}

}  // namespace tavrel::platform
