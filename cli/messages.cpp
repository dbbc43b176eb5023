// The shared texts, and standard error.
#include "cli/messages.hpp"

#include <cstdio>
#include <exception>

#include "cli/version.hpp"

namespace {

void Say(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::string VersionText(std::string_view program) {
  return std::string(program) + " " + std::string(kVersion) + "\n" +
         "Copyright (C) 2026 the bessel-recurrence authors.\n"
         "License MIT: <https://opensource.org/licenses/MIT>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string ManualText(std::string_view program) {
  const std::string name(program);
  return "Full documentation: man " + name +
         "\n(in the source tree, where it is not installed: man -l doc/" + name + ".1)\n";
}

std::string UsageErrorText(std::string_view program, std::string_view complaint) {
  const std::string name(program);
  return name + ": " + std::string(complaint) + "\nTry '" + name +
         " --help' for more information.\n";
}

int UsageError(std::string_view program, std::string_view complaint) {
  Say(UsageErrorText(program, complaint));
  return kExitUsage;
}

int Failure(std::string_view program, int status, std::string_view complaint) {
  Say(std::string(program) + ": " + std::string(complaint) + "\n");
  return status;
}

int Guarded(std::string_view program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& failure) {
    return Failure(program, kExitFailure, std::string("internal error: ") + failure.what());
  }
}

std::string Printable(std::string_view name) {
  std::string shown;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      shown += c;
    } else {
      shown += '\\';
      for (int shift = 6; shift >= 0; shift -= 3)
        shown += static_cast<char>('0' + ((byte >> shift) & 7));
    }
  }
  return shown;
}
