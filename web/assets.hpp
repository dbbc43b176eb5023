// The page and what it loads, built into the program: nothing is read from disk at run time.
#pragma once

#include <span>
#include <string_view>

struct Asset {
  std::string_view path;  // "/", "/app.js", ...
  std::string_view content_type;
  std::string_view bytes;
};

std::span<const Asset> PageAssets();
