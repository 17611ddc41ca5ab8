#pragma once
#include <optional>
#include <string>

// The full path of the running executable, however long; empty when Windows cannot give it
// whole. A truncated path would name the wrong folder, so it is never returned.
// The buffer starts at initialCapacity characters and grows until the path fits.
std::optional<std::wstring> ExecutablePath(unsigned long initialCapacity = 260);
