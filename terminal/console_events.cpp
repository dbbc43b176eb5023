// The key-press rule over console input events.
#include "terminal/console_events.hpp"

#include <algorithm>

namespace {

constexpr uint32_t kEnhancedKey = 0x0100;  // ENHANCED_KEY

// Virtual-key codes (winuser.h) of keys that never count alone.
bool IsModifierOrLock(uint16_t vk) {
  return (vk >= 0x10 && vk <= 0x12) ||  // VK_SHIFT, VK_CONTROL, VK_MENU (Alt)
         vk == 0x14 ||                  // VK_CAPITAL
         vk == 0x5B || vk == 0x5C ||    // VK_LWIN, VK_RWIN
         vk == 0x90 || vk == 0x91 ||    // VK_NUMLOCK, VK_SCROLL
         (vk >= 0xA0 && vk <= 0xA5);    // VK_LSHIFT, VK_RSHIFT, VK_LCONTROL ... VK_RMENU
}

// Keys that yield no character but an extended code.
bool HasExtendedCode(uint16_t vk) {
  return (vk >= 0x21 && vk <= 0x28) ||  // Page Up, Page Down, End, Home, the four arrows
         vk == 0x2D || vk == 0x2E ||    // Insert, Delete
         (vk >= 0x70 && vk <= 0x87);    // F1 ... F24
}

}  // namespace

bool CountsAsKeyPress(const ConsoleEvent& event) {
  if (event.type != ConsoleEvent::Type::kKey || !event.key_down) return false;
  if (IsModifierOrLock(event.virtual_key)) return false;
  return event.character != 0 || HasExtendedCode(event.virtual_key) ||
         (event.control_key_state & kEnhancedKey) != 0;
}

bool AnyKeyPress(std::span<const ConsoleEvent> events) {
  return std::any_of(events.begin(), events.end(), CountsAsKeyPress);
}
