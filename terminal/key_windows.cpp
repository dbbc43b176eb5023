// The key check and the key wait on the Windows console ("CONIN$"), looked at with
// PeekConsoleInputA.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "terminal/console_events.hpp"
#include "terminal/console_key.hpp"

namespace {

HANDLE ConsoleInput() {
  static const HANDLE input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  return input;
}

ConsoleEvent FromRecord(const INPUT_RECORD& record) {
  ConsoleEvent event;
  switch (record.EventType) {
    case KEY_EVENT:
      event.type = ConsoleEvent::Type::kKey;
      event.key_down = record.Event.KeyEvent.bKeyDown != 0;
      event.virtual_key = record.Event.KeyEvent.wVirtualKeyCode;
      event.character = record.Event.KeyEvent.uChar.AsciiChar;
      event.control_key_state = record.Event.KeyEvent.dwControlKeyState;
      break;
    case MOUSE_EVENT:
      event.type = ConsoleEvent::Type::kMouse;
      break;
    case WINDOW_BUFFER_SIZE_EVENT:
      event.type = ConsoleEvent::Type::kWindowBufferSize;
      break;
    case MENU_EVENT:
      event.type = ConsoleEvent::Type::kMenu;
      break;
    default:
      event.type = ConsoleEvent::Type::kFocus;
      break;
  }
  return event;
}

}  // namespace

bool KeyWaiting() {
  const HANDLE input = ConsoleInput();
  if (input == INVALID_HANDLE_VALUE) return false;
  DWORD count = 0;
  if (!GetNumberOfConsoleInputEvents(input, &count) || count == 0) return false;
  std::vector<INPUT_RECORD> records(count);
  DWORD peeked = 0;
  if (!PeekConsoleInputA(input, records.data(), count, &peeked)) return false;
  std::vector<ConsoleEvent> events;
  events.reserve(peeked);
  for (DWORD i = 0; i < peeked; ++i) events.push_back(FromRecord(records[i]));
  return AnyKeyPress(events);
}

// The console needs no other mode for the check, so there is nothing to arrange or restore.
void BeginKeyWait() {}
void EndKeyWait() {}

bool AwaitConsoleInput() {
  const HANDLE input = ConsoleInput();
  if (input == INVALID_HANDLE_VALUE) return false;  // no console: nothing can ever be typed
  // Signalled while any event is unread, also one that does not count (a key release, the
  // mouse), which is left in place: then look again after a pause instead of at once.
  static bool pending_noise = false;
  if (pending_noise) Sleep(50);
  if (WaitForSingleObject(input, INFINITE) != WAIT_OBJECT_0) return false;  // console gone
  pending_noise = true;
  return true;
}
