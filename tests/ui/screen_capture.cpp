#include "tests/ui/screen_capture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "archive/crc32.h"
#include "tests/support/win32_test_support.h"

namespace kest::test {
namespace {

void PutBe32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char(v >> shift));
}

// A PNG chunk: length, type, data, and the CRC-32 of type and data.
void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBe32(out, uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  PutBe32(out, Crc32Of(body.data(), body.size()));
}

}  // namespace

std::string ScreenshotFolder() {
  const char* folder = getenv("KEST_SCREENSHOT_DIR");
  if (folder != nullptr && folder[0] != '\0') return folder;
  return BesideTestProgram("wizard-screenshots");
}

bool PhotographWindow(HWND window, const std::string& name, std::string* why) {
  RECT r = {};
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  std::vector<BYTE> pixels;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y) {
      const BYTE* row = static_cast<const BYTE*>(bits) + size_t(y) * stride;
      pixels.insert(pixels.end(), row, row + width * 3);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  const std::string folder = ScreenshotFolder();
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\" + name + ".png";
  if (!ok || !WritePng(path, width, height, pixels)) {
    *why = "could not photograph the window into " + path;
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<BYTE>& bgr) {
  if (width <= 0 || height <= 0 || bgr.size() != size_t(width) * height * 3) return false;
  // Scan lines of filter type 0 and R, G, B.
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    const BYTE* row = &bgr[size_t(y) * width * 3];
    for (int x = 0; x < width; ++x) {
      raw.push_back(char(row[x * 3 + 2]));
      raw.push_back(char(row[x * 3 + 1]));
      raw.push_back(char(row[x * 3]));
    }
  }
  // zlib stream: header, stored blocks of at most 65535 bytes, Adler-32.
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? '\x01' : '\x00');
    z.push_back(char(n & 0xFF));
    z.push_back(char(n >> 8));
    z.push_back(char(~n & 0xFF));
    z.push_back(char((~n >> 8) & 0xFF));
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  PutBe32(z, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1A\n";
  std::string header;
  PutBe32(header, uint32_t(width));
  PutBe32(header, uint32_t(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", "");
  return WriteWholeFile(path, png);
}

}  // namespace kest::test
