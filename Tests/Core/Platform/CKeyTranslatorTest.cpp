#include <gtest/gtest.h>

#include "Core/Platform/CKeyTranslator.h"

namespace qel {
namespace {

// X key codes of the evdev keymap, and the core modifier bits.
enum : uint32_t {
    kKeyEscape = 9,
    kKeyMinus = 20,
    kKeyEqual = 21,
    kKeyBackSpace = 22,
    kKeyTab = 23,
    kKeyY = 29,
    kKeyReturn = 36,
    kKeyControlL = 37,
    kKeyA = 38,
    kKeyShiftL = 50,
    kKeyC = 54,
    kKeyAltL = 64,
    kKeyF1 = 67,
    kKeyKP7 = 79,
    kKeyHome = 110,
    kKeyLeft = 113,
    kKeyDelete = 119,
};
constexpr uint16_t kShift = 1, kCtrl = 4, kAlt = 8, kNumLock = 16;

struct SExpected {
    int32_t keycode;
    bool alt, ctrl, shift;
};

void expectKeys(CKeyTranslator& keys, uint32_t key, uint16_t state, std::vector<SExpected> expected) {
    const std::vector<SKeyEventArgs> got = keys.translate(key, state);
    ASSERT_EQ(got.size(), expected.size()) << "key " << key << " state " << state;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].keycode, expected[i].keycode) << "key " << key << " state " << state;
        EXPECT_EQ(got[i].isAlt, expected[i].alt) << "key " << key;
        EXPECT_EQ(got[i].isCtrl, expected[i].ctrl) << "key " << key;
        EXPECT_EQ(got[i].isShift, expected[i].shift) << "key " << key;
    }
}

TEST(CKeyTranslator, CharactersControlLettersAndNamedKeys) {
    std::unique_ptr<CKeyTranslator> keys = CKeyTranslator::fromNames("us", "");
    ASSERT_NE(keys, nullptr);
    expectKeys(*keys, kKeyC, 0, {{'c', false, false, false}});
    expectKeys(*keys, kKeyC, kShift, {{'C', false, false, true}});
    // Ctrl+letter arrives as the capital letter flagged with Ctrl, with or without Shift.
    expectKeys(*keys, kKeyC, kCtrl, {{'C', false, true, false}});
    expectKeys(*keys, kKeyA, kCtrl | kShift, {{'A', false, true, true}});
    expectKeys(*keys, kKeyA, kAlt, {{'a', true, false, false}});
    // Control characters become the key codes; Ctrl+Backspace is DEL, which forces the Ctrl flag.
    expectKeys(*keys, kKeyBackSpace, 0, {{CKeyTranslator::kBackspace, false, false, false}});
    expectKeys(*keys, kKeyBackSpace, kCtrl, {{CKeyTranslator::kBackspace, false, true, false}});
    expectKeys(*keys, kKeyTab, 0, {{CKeyTranslator::kTab, false, false, false}});
    expectKeys(*keys, kKeyTab, kShift, {{CKeyTranslator::kTab, false, false, true}});
    expectKeys(*keys, kKeyReturn, 0, {{CKeyTranslator::kEnter, false, false, false}});
    expectKeys(*keys, kKeyEscape, 0, {{CKeyTranslator::kEscape, false, false, false}});
    // Delete is no character (its keysym's DEL must not read as Ctrl+Backspace).
    expectKeys(*keys, kKeyDelete, 0, {{CKeyTranslator::kDelete, false, false, false}});
    expectKeys(*keys, kKeyDelete, kCtrl, {{CKeyTranslator::kDelete, false, true, false}});
    expectKeys(*keys, kKeyHome, 0, {{CKeyTranslator::kHome, false, false, false}});
    expectKeys(*keys, kKeyLeft, kShift, {{CKeyTranslator::kLeft, false, false, true}});
    expectKeys(*keys, kKeyControlL, 0, {{CKeyTranslator::kCtrl, false, false, false}});
    expectKeys(*keys, kKeyShiftL, 0, {{CKeyTranslator::kShift, false, false, false}});
    expectKeys(*keys, kKeyAltL, 0, {{CKeyTranslator::kAlt, false, false, false}});
    // The keypad follows Num Lock.
    expectKeys(*keys, kKeyKP7, kNumLock, {{'7', false, false, false}});
    expectKeys(*keys, kKeyKP7, 0, {{CKeyTranslator::kHome, false, false, false}});
    // Keys that give nothing known are dropped.
    expectKeys(*keys, kKeyF1, 0, {});
    expectKeys(*keys, kKeyMinus, 0, {{'-', false, false, false}});
}

TEST(CKeyTranslator, LayoutsAndDeadKeys) {
    std::unique_ptr<CKeyTranslator> german = CKeyTranslator::fromNames("de", "");
    ASSERT_NE(german, nullptr);
    expectKeys(*german, kKeyY, 0, {{'z', false, false, false}});
    expectKeys(*german, kKeyMinus, 0, {{0xDF, false, false, false}}); // sharp s
    // A dead key produces nothing by itself.
    expectKeys(*german, kKeyEqual, 0, {});
    std::unique_ptr<CKeyTranslator> plain = CKeyTranslator::fromNames("de", "nodeadkeys");
    ASSERT_NE(plain, nullptr);
    expectKeys(*plain, kKeyEqual, 0, {{0xB4, false, false, false}}); // acute accent
}

} // namespace
} // namespace qel
