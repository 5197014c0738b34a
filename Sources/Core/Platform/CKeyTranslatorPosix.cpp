#include "Core/Platform/CKeyTranslator.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace qel {

namespace {

// Core event state bits.
constexpr uint16_t kShiftMask = 0x0001;
constexpr uint16_t kControlMask = 0x0004;
constexpr uint16_t kMod1Mask = 0x0008; // Alt on every common layout

// Keys that give no character. Delete is here although its keysym maps to DEL: the Delete key must
// not turn into Ctrl+Backspace. Keypad keys with Num Lock off count as the keys they are labelled.
int32_t nonCharacterCode(xkb_keysym_t sym) {
    switch (sym) {
    case XKB_KEY_Insert:
    case XKB_KEY_KP_Insert:
        return CKeyTranslator::kInsert;
    case XKB_KEY_Delete:
    case XKB_KEY_KP_Delete:
        return CKeyTranslator::kDelete;
    case XKB_KEY_Home:
    case XKB_KEY_KP_Home:
        return CKeyTranslator::kHome;
    case XKB_KEY_End:
    case XKB_KEY_KP_End:
        return CKeyTranslator::kEnd;
    case XKB_KEY_Prior:
    case XKB_KEY_KP_Prior:
        return CKeyTranslator::kPageUp;
    case XKB_KEY_Next:
    case XKB_KEY_KP_Next:
        return CKeyTranslator::kPageDown;
    case XKB_KEY_Left:
    case XKB_KEY_KP_Left:
        return CKeyTranslator::kLeft;
    case XKB_KEY_Right:
    case XKB_KEY_KP_Right:
        return CKeyTranslator::kRight;
    case XKB_KEY_Up:
    case XKB_KEY_KP_Up:
        return CKeyTranslator::kUp;
    case XKB_KEY_Down:
    case XKB_KEY_KP_Down:
        return CKeyTranslator::kDown;
    case XKB_KEY_Alt_L:
    case XKB_KEY_Alt_R:
    case XKB_KEY_Meta_L:
    case XKB_KEY_Meta_R:
    case XKB_KEY_ISO_Level3_Shift: // AltGr
        return CKeyTranslator::kAlt;
    case XKB_KEY_Control_L:
    case XKB_KEY_Control_R:
        return CKeyTranslator::kCtrl;
    case XKB_KEY_Shift_L:
    case XKB_KEY_Shift_R:
        return CKeyTranslator::kShift;
    default:
        return 0;
    }
}

bool isDeadKey(xkb_keysym_t sym) {
    return sym >= XKB_KEY_dead_grave && sym <= 0xfe9f;
}

} // namespace

struct CKeyTranslator::SImpl {
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;

    ~SImpl() {
        if (state) xkb_state_unref(state);
        if (keymap) xkb_keymap_unref(keymap);
        if (context) xkb_context_unref(context);
    }
};

CKeyTranslator::CKeyTranslator(std::unique_ptr<SImpl> impl) : m_impl(std::move(impl)) {}
CKeyTranslator::~CKeyTranslator() = default;

std::unique_ptr<CKeyTranslator> CKeyTranslator::fromConnection(xcb_connection_t* connection) {
    auto impl = std::make_unique<SImpl>();
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                     nullptr))
        return nullptr;
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0) return nullptr;
    impl->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!impl->context) return nullptr;
    impl->keymap =
        xkb_x11_keymap_new_from_device(impl->context, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!impl->keymap) return nullptr;
    impl->state = xkb_state_new(impl->keymap);
    if (!impl->state) return nullptr;
    return std::unique_ptr<CKeyTranslator>(new CKeyTranslator(std::move(impl)));
}

std::unique_ptr<CKeyTranslator> CKeyTranslator::fromNames(const char* layout, const char* variant) {
    auto impl = std::make_unique<SImpl>();
    impl->context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!impl->context) return nullptr;
    xkb_rule_names names{"evdev", "pc105", layout, variant, nullptr};
    impl->keymap = xkb_keymap_new_from_names(impl->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!impl->keymap) return nullptr;
    impl->state = xkb_state_new(impl->keymap);
    if (!impl->state) return nullptr;
    return std::unique_ptr<CKeyTranslator>(new CKeyTranslator(std::move(impl)));
}

std::vector<SKeyEventArgs> CKeyTranslator::translate(uint32_t keycode, uint16_t state) {
    std::vector<SKeyEventArgs> events;
    // The event's own state, not a tracked one: the real modifiers are the first eight of an X
    // keymap, in core order, and bits 13-14 carry the layout group.
    xkb_state_update_mask(m_impl->state, state & 0xff, 0, 0, 0, 0, (state >> 13) & 3);
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_impl->state, keycode);
    const bool alt = state & kMod1Mask;
    const bool ctrl = state & kControlMask;
    const bool shift = state & kShiftMask;

    if (int32_t code = nonCharacterCode(sym)) {
        events.push_back({code, alt, ctrl, shift});
        return events;
    }
    if (isDeadKey(sym)) return events;

    // Control turns letters into control characters here (Ctrl+C gives 3), as the system's own
    // translation does; the rules below bring them back as capitals flagged with Ctrl.
    uint32_t character = xkb_state_key_get_utf32(m_impl->state, keycode);
    if (sym == XKB_KEY_ISO_Left_Tab) character = '\t';
    if (sym == XKB_KEY_BackSpace && ctrl) character = 127;
    if (character == 0) return events;

    char16_t units[2];
    int count = 1;
    if (character >= 0x10000) {
        units[0] = char16_t(0xD800 + ((character - 0x10000) >> 10));
        units[1] = char16_t(0xDC00 + ((character - 0x10000) & 0x3FF));
        count = 2;
    } else {
        units[0] = char16_t(character);
    }
    for (int i = 0; i < count; ++i) {
        SKeyEventArgs args{units[i], alt, ctrl, shift};
        switch (units[i]) {
        case 8:
            args.keycode = kBackspace;
            break;
        case 9:
            args.keycode = kTab;
            break;
        case 13:
            args.keycode = kEnter;
            break;
        case 27:
            args.keycode = kEscape;
            break;
        case 127:
            args.keycode = kBackspace;
            args.isCtrl = true;
            break;
        default:
            if (ctrl && units[i] >= 1 && units[i] <= 26) args.keycode += 64;
            break;
        }
        events.push_back(args);
    }
    return events;
}

} // namespace qel
