// Photographs what the screen shows of a window into a PNG file, for the
// pictures the wizard scenarios take of the installer's dialogs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kest::test {

// Where screenshots go: KEST_SCREENSHOT_DIR (a Windows path) when set, else
// wizard-screenshots beside the running test program.
std::string ScreenshotFolder();

// Saves what the screen shows of the window as <ScreenshotFolder>\<name>.png;
// false with the reason in *why when it cannot.
bool PhotographWindow(HWND window, const std::string& name, std::string* why);

// Writes 24-bit pixels (rows top-down, 3 bytes B, G, R each, no padding) as
// a PNG file whose image data sits in stored deflate blocks.
bool WritePng(const std::string& path, int width, int height, const std::vector<BYTE>& bgr);

}  // namespace kest::test
