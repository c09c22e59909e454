// This program links the installer's compiled resources, so everything here
// is read back through the real resource APIs: the string table must match
// the portable table byte for byte and fit the buffers its callers use, and
// the pictures must be real images of the sizes the windows ask for.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/error_table.h"
#include "base/install_codes.h"
#include "base/text_limits.h"
#include "resources/resource_ids.h"
#include "resources/string_table.h"

namespace kest {
namespace {

static_assert(IDS_AGREEMENT_FIRST == IDS_AGREEMENT_01, "agreement starts at string 125");
static_assert(IDS_AGREEMENT_FIRST + IDS_AGREEMENT_COUNT - 1 == IDS_AGREEMENT_32,
              "agreement is 32 strings");

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

// String id as LoadStringA fills a buffer of size bytes ("" when absent).
std::string Load(uint32_t id, int size = static_cast<int>(kTextBytes)) {
  std::vector<char> buffer(size);
  int n = LoadStringA(Self(), id, buffer.data(), size);
  return std::string(buffer.data(), n > 0 ? n : 0);
}

BOOL CALLBACK CollectBlock(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<uint32_t>*>(param)->push_back(
        static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

TEST(StringResources, ModuleAndPortableTableHoldTheSameStrings) {
  for (size_t i = 0; i < kStringEntryCount; ++i) {
    const StringEntry& e = kStringEntries[i];
    EXPECT_EQ(Load(e.id), e.text) << "string " << e.id;
  }
  // Every string the module holds is in the table: string block k holds the
  // ids 16 (k - 1) to 16 k - 1.
  std::vector<uint32_t> blocks;
  ASSERT_TRUE(EnumResourceNamesA(Self(), MAKEINTRESOURCEA(6) /* RT_STRING */, CollectBlock,
                                 reinterpret_cast<LONG_PTR>(&blocks)));
  size_t loaded = 0;
  for (uint32_t block : blocks) {
    for (uint32_t id = (block - 1) * 16; id < block * 16; ++id) {
      if (Load(id).empty()) continue;
      ++loaded;
      EXPECT_NE(FindString(id), nullptr) << "string " << id << " is not in the table";
    }
  }
  EXPECT_EQ(loaded, kStringEntryCount);
}

TEST(StringResources, PortableTableIsSortedAndSearchable) {
  for (size_t i = 0; i < kStringEntryCount; ++i) {
    if (i > 0) EXPECT_LT(kStringEntries[i - 1].id, kStringEntries[i].id);
    EXPECT_EQ(FindString(kStringEntries[i].id), kStringEntries[i].text);
  }
  for (uint32_t absent : {0u, 1u, 2u, 5u, 157u, 65535u}) {
    EXPECT_EQ(FindString(absent), nullptr) << absent;
  }
}

// Texts whose characters are easy to lose between the source and the
// resource compiler: backslashes (one closes the text), doubled and
// trailing blanks, ampersands, quotes, line breaks, a format directive.
TEST(StringResources, KnownTextsSurviveTheResourceCompiler) {
  struct Known {
    uint32_t id;
    const char* text;
  };
  const Known known[] = {
      {83, "SOFTWARE\\MORVANE\\Scriba\\"},
      {58, "Windows NT users - you have insufficient privileges to perform a file copy on "
           "reboot. Please contact your System  Administrator. Alternatively you may need to "
           "free some diskspace and  rerun Install. "},
      {12, "Morvane Components Install"},
      {40, "&Try Again"},
      {42, "E&xit Install"},
      {77, "Error:"},
      {4, "Configuring %s"},
      {78, "Please wait... Looking for additional files to be installed."},
      {69, "Install attempted to run a prerequisite install which has returned an error. "
           "Please make sure that the install target path is valid and that the required "
           "prerequisite install exists, and restart Install"},
      // The headlines, messages, labels and status texts, word for word.
      {3, "Initializing folders..."},
      {15, "Unable to rename file"},
      {16, "Failure running prerequisite install"},
      {21, "Out of Memory"},
      {23, "Invalid Folder Name"},
      {24, "Either the destination folder name contains invalid characters or is too "
           "long, or the folder is on an unavailable or disconnected drive. Please enter "
           "another folder name or use Browse to select a folder."},
      {27, "Drive is full"},
      {29, "Cannot access file"},
      {30, "Install is trying to copy a file that is in use by another application. "
           "Please close other applications, and press Try Again."},
      {32, "The named file could not register itself."},
      {33, "When Install asked the named file to register itself, it returned an error. "
           "The file will be copied and Install will continue."},
      {34, "Damaged Components files"},
      {35, "Install has detected a corruption in the Components you are installing. This "
           "may be the result of a transmission error or a virus. Please delete this copy "
           "of the Morvane Components and obtain a new one."},
      {39, "Ignore"},
      {46, "A command line argument is invalid"},
      {49, "Files required for installation not found"},
      {51, "Could not delete file"},
      {53, "Some Install files are invalid"},
      {54, "Morvane Components require additional files in order to run. Obtain copies of "
           "these files, then rerun Install."},
      {57, "Setup for file copy on reboot failed"},
      {59, "Operating system error"},
      {65, "The command line argument shown above is incorrect. Please correct the "
           "command line and rerun Install."},
      {72, "File:"},
      {73, "Command:"},
      {75, "Path:"},
      {79, "Dependency:"},
      {85, "Cannot access file"},
      {86, "Install is trying to replace a file that cannot be written to. If you would "
           "like Install to change the attributes of this file so that it can be "
           "replaced, press Continue. Otherwise, press E&xit Install."},
      {89, "System administrator access is required."},
      {90, "You cannot install Morvane Components on Windows NT without system "
           "administrator access. Please contact your System Administrator."},
      {92, "If you are running Windows NT and have not yet upgraded from release 3.51, "
           "you may encounter some error messages the first time you run this "
           "installation program."},
  };
  for (const Known& k : known) EXPECT_EQ(Load(k.id), k.text) << "string " << k.id;

  std::string agreement;
  for (uint32_t id = IDS_AGREEMENT_FIRST; id < IDS_AGREEMENT_FIRST + IDS_AGREEMENT_COUNT; ++id) {
    agreement += Load(id);
  }
  EXPECT_NE(agreement.find("\"AS IS\""), std::string::npos);
  EXPECT_NE(agreement.find("\r\n\r\n"), std::string::npos);
  EXPECT_NE(agreement.find("Morvane Components"), std::string::npos);
}

// Callers load some strings into small buffers; a text that does not fit
// would be cut without any error.
TEST(StringResources, TextsFitTheBuffersTheyAreLoadedInto) {
  struct Limit {
    std::vector<uint32_t> ids;
    int buffer;  // bytes, terminator included
  };
  std::vector<uint32_t> agreement_ids;
  for (uint32_t i = 0; i < IDS_AGREEMENT_COUNT; ++i) agreement_ids.push_back(IDS_AGREEMENT_FIRST + i);
  const Limit limits[] = {
      {{38, 39, 40, 42, 84}, 40},       // error dialog buttons
      {{72, 73, 75, 77, 79}, 30},       // detail labels
      {{12}, 50},                       // main window caption
      {agreement_ids, 260},             // each agreement piece
  };
  for (const Limit& limit : limits) {
    for (uint32_t id : limit.ids) {
      const char* text = FindString(id);
      ASSERT_NE(text, nullptr) << "string " << id;
      EXPECT_EQ(Load(id, limit.buffer), text) << "string " << id << " is cut";
    }
  }
  size_t total = 0;
  for (uint32_t id : agreement_ids) total += std::strlen(FindString(id));
  EXPECT_LE(total, 8191u);
}

// Every string the error table names exists, and every row has a headline
// and a message to show.
TEST(StringResources, EveryErrorRowHasItsTexts) {
  std::vector<uint32_t> codes;
  for (uint32_t code = 0x8040F000; code <= 0x8040F018; ++code) codes.push_back(code);
  codes.push_back(kCodeSystemError);
  codes.push_back(0x12345678);  // the default row
  for (uint32_t code : codes) {
    const ErrorRow& row = FindErrorRow(code);
    SCOPED_TRACE(testing::Message() << std::hex << code);
    EXPECT_FALSE(Load(row.headline_id).empty());
    EXPECT_FALSE(Load(row.message_id).empty());
    for (uint32_t button : {row.change_drive_id, row.try_again_id, row.first_button_id}) {
      if (button != 0) EXPECT_FALSE(Load(button).empty()) << "button string " << button;
    }
  }
}

// Distinct colours of a bitmap, read back as 32-bit pixels.
size_t CountColours(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != height) return 0;
  return std::set<uint32_t>(pixels.begin(), pixels.end()).size();
}

TEST(ImageResources, WelcomePictureIsARealPicture) {
  HBITMAP bitmap = LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_WELCOME));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info = {};
  ASSERT_EQ(GetObjectA(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.bmWidth, 80);
  EXPECT_EQ(info.bmHeight, 140);
  EXPECT_GE(CountColours(bitmap, info.bmWidth, info.bmHeight), 12u);
  DeleteObject(bitmap);
}

// The image the icon group holds for size x size pixels, as stored.
const BITMAPINFOHEADER* IconImage(uint32_t group_id, int size) {
  HRSRC group = FindResourceA(Self(), MAKEINTRESOURCEA(group_id), MAKEINTRESOURCEA(14));
  if (group == nullptr) return nullptr;
  auto* dir = static_cast<BYTE*>(LockResource(LoadResource(Self(), group)));
  int icon_id = LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC icon = FindResourceA(Self(), MAKEINTRESOURCEA(icon_id), MAKEINTRESOURCEA(3));
  if (icon == nullptr) return nullptr;
  return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Self(), icon)));
}

TEST(ImageResources, IconsHoldBothSizesAndLoad) {
  for (uint32_t group_id : {IDI_INSTALLER, IDI_EXIT_QUESTION}) {
    EXPECT_NE(LoadIconA(Self(), MAKEINTRESOURCEA(group_id)), nullptr) << group_id;
    for (int size : {32, 16}) {
      SCOPED_TRACE(testing::Message() << "icon " << group_id << ", " << size << " pixels");
      // Each size is drawn, not scaled by the system from the other.
      const BITMAPINFOHEADER* image = IconImage(group_id, size);
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->biWidth, size);
      EXPECT_EQ(image->biHeight, 2 * size);  // colour bits and mask
      EXPECT_EQ(image->biBitCount, 4);

      HICON icon = static_cast<HICON>(
          LoadImageA(Self(), MAKEINTRESOURCEA(group_id), IMAGE_ICON, size, size, 0));
      ASSERT_NE(icon, nullptr);
      ICONINFO parts = {};
      ASSERT_TRUE(GetIconInfo(icon, &parts));
      EXPECT_GE(CountColours(parts.hbmColor, size, size), 4u);
      // The mask has both see-through and solid pixels: a shape, not a tile.
      EXPECT_EQ(CountColours(parts.hbmMask, size, size), 2u);
      DeleteObject(parts.hbmColor);
      DeleteObject(parts.hbmMask);
      DestroyIcon(icon);
    }
  }
}

TEST(VersionResource, NamesTheProduct) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof(path)), 0u);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  struct Value {
    const char* name;
    const char* text;
  };
  const Value values[] = {
      {"ProductName", "Morvane Components Install"},
      {"FileDescription", "Morvane Components Install"},
      {"OriginalFilename", "kestinst.exe"},
  };
  for (const Value& v : values) {
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + v.name;
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text),
                               &length))
        << v.name;
    EXPECT_STREQ(text, v.text);
  }
}

}  // namespace
}  // namespace kest
