// Still-image capture files: the name a capture gets in the image folder and
// the Windows bitmap it is written as. The layout is fixed byte for byte
// (file header, 40-byte information header, a palette at 8 bits and fewer,
// bottom-up rows padded to 4 bytes), so it is written here, not by QImage.
//
// Threads: any; no shared state.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace media {

// A captured picture: top row first, 0xRRGGBB per pixel.
struct CapturedPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;
};

// `folder` directly followed by "%Y%m%d%H%M" of `local` and ".bmp"; when a
// file of that name exists with any extension, the first "_N" (0, 1, ...)
// for which none does.
std::string CaptureFileName(const std::string& folder, const std::tm& local);

// The bit count a display of `display_depth` bits is captured at: 24 above 8.
int CaptureBitCount(int display_depth);

// The whole file for `image` at `bit_count`: 24, or 8 and fewer with the
// colours reduced to a fixed palette (3-3-2 bits at 8, grey levels below).
std::vector<uint8_t> EncodeBmp(const CapturedPixels& image, int bit_count);

// Writes the file, never over an existing one; false when it cannot be written.
bool WriteBmp(const std::string& path, const CapturedPixels& image, int bit_count);

// A bitmap of the image folder as the save-file list shows it.
struct SavedImage {
  std::string name;  // the file name, without the folder
  std::string date;  // "%Y-%m-%d" of the last write
  std::string time;  // "%H:%M"
  std::string size;  // "%ld KB": bytes / 1,024 + 1
};

// "%ld KB" of bytes / 1,024 + 1 (so 1,000 bytes show 1 KB and 1,024 show 2 KB).
std::string SizeInKb(uint64_t bytes);

// Every "*.bmp" directly in `folder`, by name.
std::vector<SavedImage> ListSavedImages(const std::string& folder);

}  // namespace media
