#include "client/media/engine/still_capture.h"

#include <dirent.h>
#include <glob.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace media {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Any file "pattern" matches (the pattern ends in ".*").
bool AnyExists(const std::string& pattern) {
  glob_t found{};
  const bool any = glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found) == 0 && found.gl_pathc > 0;
  globfree(&found);
  return any;
}

// Glob's own characters in the folder would widen the match: escape them.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace

std::string CaptureFileName(const std::string& folder, const std::tm& local) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M", &local);
  const std::string base = folder + stamp;
  if (!AnyExists(Escaped(base) + ".*")) return base + ".bmp";
  for (int n = 0;; ++n) {
    const std::string name = base + "_" + std::to_string(n);
    if (!AnyExists(Escaped(name) + ".*")) return name + ".bmp";
  }
}

int CaptureBitCount(int display_depth) { return display_depth > 8 ? 24 : display_depth; }

std::vector<uint8_t> EncodeBmp(const CapturedPixels& image, int bit_count) {
  const int width = image.width;
  const int height = image.height;
  const bool paletted = bit_count <= 8;
  const uint32_t palette_size = paletted ? 4u << bit_count : 0;
  const uint32_t row_bytes = ((static_cast<uint32_t>(bit_count) * static_cast<uint32_t>(width) + 31) / 32) * 4;
  const uint32_t image_size = row_bytes * static_cast<uint32_t>(height);
  const uint32_t offset = 54 + palette_size;

  std::vector<uint8_t> out;
  out.reserve(offset + image_size);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + image_size);
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(bit_count));
  Put32(out, 0);  // no compression
  Put32(out, image_size);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  const auto pixel = [&](int x, int y) { return image.rgb[static_cast<size_t>(y) * width + x]; };
  if (!paletted) {
    for (int y = height - 1; y >= 0; --y) {
      const size_t start = out.size();
      for (int x = 0; x < width; ++x) {
        const uint32_t colour = pixel(x, y);
        out.push_back(static_cast<uint8_t>(colour));
        out.push_back(static_cast<uint8_t>(colour >> 8));
        out.push_back(static_cast<uint8_t>(colour >> 16));
      }
      out.resize(start + row_bytes, 0);
    }
    return out;
  }
  const int entries = 1 << bit_count;
  for (int i = 0; i < entries; ++i) {
    uint8_t r, g, b;
    if (bit_count == 8) {
      r = static_cast<uint8_t>((i >> 5) * 255 / 7);
      g = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
      b = static_cast<uint8_t>((i & 3) * 255 / 3);
    } else {
      r = g = b = static_cast<uint8_t>(i * 255 / (entries - 1));
    }
    out.insert(out.end(), {b, g, r, 0});
  }
  const auto index_of = [&](uint32_t colour) -> uint32_t {
    const uint32_t r = colour >> 16 & 0xFF, g = colour >> 8 & 0xFF, b = colour & 0xFF;
    if (bit_count == 8) return (r * 7 + 127) / 255 << 5 | (g * 7 + 127) / 255 << 2 | (b * 3 + 127) / 255;
    const uint32_t grey = (r * 299 + g * 587 + b * 114) / 1000;
    return (grey * static_cast<uint32_t>(entries - 1) + 127) / 255;
  };
  for (int y = height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(row_bytes, 0);
    for (int x = 0; x < width; ++x) {
      const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bit_count);
      row[bit / 8] |= static_cast<uint8_t>(index_of(pixel(x, y)) << (8 - bit_count - bit % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

bool WriteBmp(const std::string& path, const CapturedPixels& image, int bit_count) {
  if (image.width <= 0 || image.height <= 0 || image.rgb.size() != static_cast<size_t>(image.width) * image.height) {
    return false;
  }
  const std::vector<uint8_t> bytes = EncodeBmp(image, bit_count);
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  // Half a bitmap is no picture: a full disk leaves no file rather than a
  // broken one in the save-file list.
  if (!written || !closed) std::remove(path.c_str());
  return written && closed;
}

std::string SizeInKb(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld KB", static_cast<long>(bytes / 1024 + 1));
  return text;
}

std::vector<SavedImage> ListSavedImages(const std::string& folder) {
  std::vector<SavedImage> images;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return images;
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".bmp") != 0) continue;
    struct stat info {};
    const std::string path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    std::tm local{};
    localtime_r(&info.st_mtime, &local);
    char date[16];
    char time[8];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::strftime(time, sizeof time, "%H:%M", &local);
    images.push_back({name, date, time, SizeInKb(static_cast<uint64_t>(info.st_size))});
  }
  closedir(dir);
  std::sort(images.begin(), images.end(), [](const SavedImage& a, const SavedImage& b) { return a.name < b.name; });
  return images;
}

}  // namespace media
