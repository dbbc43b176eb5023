// The Windows key-press rule, over every kind of console input event.
#include "terminal/console_events.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Type = ConsoleEvent::Type;
constexpr uint32_t kEnhanced = 0x0100;
constexpr uint32_t kShiftPressed = 0x0010;

ConsoleEvent KeyDown(uint16_t vk, char character, uint32_t state = 0) {
  return {Type::kKey, true, vk, character, state};
}
ConsoleEvent KeyUp(uint16_t vk, char character, uint32_t state = 0) {
  return {Type::kKey, false, vk, character, state};
}

TEST(ConsoleEvents, WhichEventsCount) {
  struct Row {
    const char* name;
    ConsoleEvent event;
    bool counts;
  };
  const Row rows[] = {
      {"letter", KeyDown(0x41, 'a'), true},
      {"shifted letter", KeyDown(0x41, 'A', kShiftPressed), true},
      {"Enter", KeyDown(0x0D, '\r'), true},
      {"Esc", KeyDown(0x1B, 0x1B), true},
      {"Ctrl+C as a character", KeyDown(0x43, 0x03), true},
      {"cursor up, enhanced", KeyDown(0x26, 0, kEnhanced), true},
      {"cursor up on the keypad", KeyDown(0x26, 0), true},
      {"Home", KeyDown(0x24, 0, kEnhanced), true},
      {"End", KeyDown(0x23, 0, kEnhanced), true},
      {"Page Up", KeyDown(0x21, 0, kEnhanced), true},
      {"Page Down", KeyDown(0x22, 0, kEnhanced), true},
      {"Insert", KeyDown(0x2D, 0, kEnhanced), true},
      {"Delete", KeyDown(0x2E, 0, kEnhanced), true},
      {"Insert on the keypad, Num Lock off", KeyDown(0x2D, 0), true},
      {"Delete on the keypad, Num Lock off", KeyDown(0x2E, 0), true},
      {"F1", KeyDown(0x70, 0), true},
      {"F12", KeyDown(0x7B, 0), true},
      {"letter released", KeyUp(0x41, 'a'), false},
      {"cursor released", KeyUp(0x26, 0, kEnhanced), false},
      {"Shift alone", KeyDown(0x10, 0, kShiftPressed), false},
      {"Ctrl alone", KeyDown(0x11, 0), false},
      {"right Ctrl alone, enhanced", KeyDown(0x11, 0, kEnhanced), false},
      {"Alt alone", KeyDown(0x12, 0), false},
      {"right Alt alone, enhanced", KeyDown(0x12, 0, kEnhanced), false},
      {"Windows key", KeyDown(0x5B, 0, kEnhanced), false},
      {"Caps Lock", KeyDown(0x14, 0), false},
      {"Num Lock", KeyDown(0x90, 0, kEnhanced), false},
      {"Scroll Lock", KeyDown(0x91, 0), false},
      {"mouse", {Type::kMouse}, false},
      {"window size", {Type::kWindowBufferSize}, false},
      {"menu", {Type::kMenu}, false},
      {"focus", {Type::kFocus}, false},
  };
  for (const Row& row : rows) EXPECT_EQ(CountsAsKeyPress(row.event), row.counts) << row.name;
}

TEST(ConsoleEvents, AnyCountingEventAmongOthers) {
  const std::vector<ConsoleEvent> only_noise = {
      {Type::kFocus}, KeyDown(0x10, 0, kShiftPressed), KeyUp(0x10, 0), {Type::kMouse}};
  EXPECT_FALSE(AnyKeyPress(only_noise));
  std::vector<ConsoleEvent> with_key = only_noise;
  with_key.push_back(KeyDown(0x41, 'a'));
  with_key.push_back(KeyUp(0x41, 'a'));
  EXPECT_TRUE(AnyKeyPress(with_key));
  EXPECT_FALSE(AnyKeyPress({}));
}

}  // namespace
