#include "png_file.h"

#include <algorithm>
#include <fstream>

#include "archive/codecs/crc32.h"

namespace qel::e2e {

namespace {

constexpr std::size_t MaxStoredBlock = 0xFFFF;  // a stored block's length is 16 bits
constexpr std::uint32_t AdlerModulus = 65521;

void PutBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFFu));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(typed.data());
  PutBigEndian(out, ~codecs::UpdateCRC(codecs::CrcInitial, bytes, typed.size()));
}

// A zlib stream of stored blocks: no compression, so no encoder is needed.
std::string StoredZlib(const std::string& raw) {
  std::string out = "\x78\x01";
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(MaxStoredBlock, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(~length & 0xFF));
    out.push_back(static_cast<char>((~length >> 8) & 0xFF));
    out.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char c : raw) {
    a = (a + static_cast<std::uint8_t>(c)) % AdlerModulus;
    b = (b + a) % AdlerModulus;
  }
  PutBigEndian(out, (b << 16) | a);
  return out;
}

}  // namespace

bool WritePng(const std::string& file, int width, int height, const std::vector<std::uint8_t>& rgb) {
  const auto rowBytes = static_cast<std::size_t>(width) * 3;
  if (width <= 0 || height <= 0 || rgb.size() != rowBytes * static_cast<std::size_t>(height)) return false;
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter type None
    raw.append(reinterpret_cast<const char*>(rgb.data()) + rowBytes * static_cast<std::size_t>(y), rowBytes);
  }
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits a sample, RGB, deflate, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", "");
  std::ofstream out(file, std::ios::binary);
  out.write(png.data(), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

}  // namespace qel::e2e
