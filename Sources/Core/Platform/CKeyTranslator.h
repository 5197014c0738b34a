#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct xcb_connection_t;

namespace qel {

// One "key-press"/"key-release" event worth of arguments.
struct SKeyEventArgs {
    int32_t keycode = 0; // a UTF-16 unit or one of the key codes of non-character keys
    bool isAlt = false;
    bool isCtrl = false;
    bool isShift = false;
};

// Turns X key events into the framework's key codes with xkbcommon, which resolves layouts, Shift and
// Ctrl the way the system's own translation does elsewhere.
class CKeyTranslator {
public:
    // Key codes of the keys that produce no character.
    enum : int32_t {
        kEscape = 0x7F01,
        kInsert = 0x7F02,
        kDelete = 0x7F03,
        kBackspace = 0x7F04,
        kTab = 0x7F05,
        kEnter = 0x7F06,
        kHome = 0x7F07,
        kEnd = 0x7F08,
        kPageUp = 0x7F09,
        kPageDown = 0x7F0A,
        kLeft = 0x7F0B,
        kRight = 0x7F0C,
        kUp = 0x7F0D,
        kDown = 0x7F0E,
        kAlt = 0x7F11,
        kCtrl = 0x7F12,
        kShift = 0x7F13,
    };

    // The server's current keymap; null when the server lacks the keyboard extension.
    static std::unique_ptr<CKeyTranslator> fromConnection(xcb_connection_t* connection);
    // A keymap compiled from layout names ("us", "de" with variant "nodeadkeys", ...).
    static std::unique_ptr<CKeyTranslator> fromNames(const char* layout, const char* variant);
    ~CKeyTranslator();

    // keycode and state as an X key event carries them. Empty for dead keys and keys that give
    // neither a character nor a known key code; otherwise one entry per UTF-16 unit.
    std::vector<SKeyEventArgs> translate(uint32_t keycode, uint16_t state);

private:
    struct SImpl;
    explicit CKeyTranslator(std::unique_ptr<SImpl> impl);
    std::unique_ptr<SImpl> m_impl;
};

} // namespace qel
