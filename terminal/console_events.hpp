// Which Windows console input events count as a key press for the key check. Kept apart from
// the Windows API so that the rule is one pure function, testable on any platform.
#pragma once

#include <cstdint>
#include <span>

// The fields of an INPUT_RECORD that the rule reads.
struct ConsoleEvent {
  enum class Type { kKey, kMouse, kWindowBufferSize, kMenu, kFocus };
  Type type = Type::kKey;
  bool key_down = false;
  uint16_t virtual_key = 0;        // VK_* code
  char character = 0;              // uChar.AsciiChar; 0 when the key yields none
  uint32_t control_key_state = 0;  // dwControlKeyState; ENHANCED_KEY marks an extended code
};

// A key-down event that yields a character (letters, Enter, Esc, Tab, Backspace, Ctrl+letter)
// or comes from a key with an extended code (function keys, cursor keys, Home, End, Page Up,
// Page Down, Insert, Delete, and the keys the console marks as enhanced). Key releases,
// Shift, Ctrl, Alt, Windows and lock keys pressed alone, mouse, window, menu and focus events
// do not count.
bool CountsAsKeyPress(const ConsoleEvent& event);

// True when any of the events counts.
bool AnyKeyPress(std::span<const ConsoleEvent> events);
