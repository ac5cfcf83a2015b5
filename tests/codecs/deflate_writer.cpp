#include "deflate_writer.h"

#include <algorithm>
#include <array>
#include <queue>
#include <stdexcept>

namespace qel::testing {

void BitWriter::Put(std::uint32_t value, unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    FPending |= ((value >> i) & 1u) << FPendingBits;
    if (++FPendingBits == 8) {
      FBytes.push_back(static_cast<std::uint8_t>(FPending));
      FPending = 0;
      FPendingBits = 0;
    }
  }
}

void BitWriter::PutCode(std::uint32_t code, unsigned length) {
  for (unsigned i = length; i-- > 0;) {
    Put((code >> i) & 1u, 1);
  }
}

void BitWriter::AlignToByte() {
  if (FPendingBits > 0) {
    Put(0, 8 - FPendingBits);
  }
}

DeflateBytes BitWriter::Finish() {
  AlignToByte();
  return FBytes;
}

void BitWriter::StoredBlock(bool last, const DeflateBytes& data, int nlen) {
  BlockHeader(last, 0);
  AlignToByte();
  const auto length = static_cast<std::uint32_t>(data.size());
  Put(length, 16);
  Put(nlen < 0 ? (~length & 0xFFFFu) : static_cast<std::uint32_t>(nlen), 16);
  for (std::uint8_t b : data) {
    Put(b, 8);
  }
}

std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
  std::array<std::uint32_t, 17> count{};
  for (std::uint8_t length : lengths) {
    ++count[length];
  }
  count[0] = 0;
  std::array<std::uint32_t, 17> next{};
  std::uint32_t code = 0;
  for (unsigned bits = 1; bits <= 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  std::vector<std::uint32_t> codes(lengths.size(), 0);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    if (lengths[i] != 0) {
      codes[i] = next[lengths[i]]++;
    }
  }
  return codes;
}

namespace {

constexpr std::array<unsigned, 29> LengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<unsigned, 29> LengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<unsigned, 30> DistanceBase = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                                   33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<unsigned, 19> Order = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The code-length code used by every header written here: complete, 13 codes of 4 bits and
// 6 of 5.
std::vector<std::uint8_t> CodeLengthCodeLengths() {
  std::vector<std::uint8_t> lengths(19);
  for (unsigned s = 0; s < 19; ++s) {
    lengths[s] = s < 13 ? 4 : 5;
  }
  return lengths;
}

unsigned RepeatBits(unsigned symbol) { return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0; }

}  // namespace

DeflateSymbol LengthSymbol(unsigned length) {
  if (length < 3 || length > 258) {
    throw std::invalid_argument("length out of range");
  }
  unsigned i = 28;
  while (LengthBase[i] > length) {
    --i;
  }
  return {257 + i, LengthExtra[i], length - LengthBase[i]};
}

DeflateSymbol DistanceSymbol(unsigned distance) {
  if (distance < 1 || distance > 32768) {
    throw std::invalid_argument("distance out of range");
  }
  unsigned i = 29;
  while (DistanceBase[i] > distance) {
    --i;
  }
  const unsigned extraBits = i < 4 ? 0 : i / 2 - 1;
  return {i, extraBits, distance - DistanceBase[i]};
}

void PutFixedSymbol(BitWriter& out, unsigned symbol) {
  if (symbol < 144) {
    out.PutCode(0x30 + symbol, 8);
  } else if (symbol < 256) {
    out.PutCode(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    out.PutCode(symbol - 256, 7);
  } else {
    out.PutCode(0xC0 + symbol - 280, 8);
  }
}

void PutFixedDistanceCode(BitWriter& out, unsigned code) { out.PutCode(code, 5); }

void PutFixedMatch(BitWriter& out, unsigned length, unsigned distance) {
  const DeflateSymbol l = LengthSymbol(length);
  PutFixedSymbol(out, l.Code);
  out.Put(l.Extra, l.ExtraBits);
  const DeflateSymbol d = DistanceSymbol(distance);
  PutFixedDistanceCode(out, d.Code);
  out.Put(d.Extra, d.ExtraBits);
}

void PutDynamicHeader(BitWriter& out, unsigned literalCount, unsigned distanceCount,
                      const std::vector<CodeLengthSymbol>& symbols) {
  out.Put(literalCount - 257, 5);
  out.Put(distanceCount - 1, 5);
  out.Put(19 - 4, 4);
  const std::vector<std::uint8_t> clLengths = CodeLengthCodeLengths();
  for (unsigned s : Order) {
    out.Put(clLengths[s], 3);
  }
  const std::vector<std::uint32_t> clCodes = CanonicalCodes(clLengths);
  for (const CodeLengthSymbol& s : symbols) {
    out.PutCode(clCodes[s.Symbol], clLengths[s.Symbol]);
    out.Put(s.Extra, RepeatBits(s.Symbol));
  }
}

void PutDynamicHeader(BitWriter& out, const std::vector<std::uint8_t>& litLengths,
                      const std::vector<std::uint8_t>& distLengths) {
  std::vector<CodeLengthSymbol> symbols;
  for (std::uint8_t l : litLengths) {
    symbols.push_back({l});
  }
  for (std::uint8_t l : distLengths) {
    symbols.push_back({l});
  }
  PutDynamicHeader(out, static_cast<unsigned>(litLengths.size()), static_cast<unsigned>(distLengths.size()),
                   symbols);
}

namespace {

struct Token {
  unsigned Length;  // 0 for a literal
  unsigned Value;   // the literal, or the distance
};

std::vector<Token> Match(const DeflateBytes& data, unsigned maxDistance) {
  constexpr unsigned HashBits = 14;
  constexpr int ChainLimit = 24;
  std::vector<std::int64_t> head(std::size_t{1} << HashBits, -1);
  std::vector<std::int64_t> previous(data.size(), -1);
  const auto hash = [&](std::size_t i) {
    return ((data[i] * 506832829u) ^ (data[i + 1] * 2654435761u) ^ (data[i + 2] * 40503u)) &
           ((1u << HashBits) - 1);
  };
  const auto insert = [&](std::size_t i) {
    if (i + 2 < data.size()) {
      const unsigned h = hash(i);
      previous[i] = head[h];
      head[h] = static_cast<std::int64_t>(i);
    }
  };
  const std::size_t end = data.size();
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < end) {
    unsigned bestLength = 0;
    unsigned bestDistance = 0;
    if (i + 2 < end) {
      std::int64_t candidate = head[hash(i)];
      for (int tries = 0; candidate >= 0 && tries < ChainLimit; ++tries) {
        const auto distance = static_cast<unsigned>(i - static_cast<std::size_t>(candidate));
        if (distance > maxDistance) {
          break;
        }
        unsigned length = 0;
        while (length < 258 && i + length < end && data[static_cast<std::size_t>(candidate) + length] == data[i + length]) {
          ++length;
        }
        if (length > bestLength) {
          bestLength = length;
          bestDistance = distance;
        }
        candidate = previous[static_cast<std::size_t>(candidate)];
      }
    }
    if (bestLength >= 3) {
      tokens.push_back({bestLength, bestDistance});
      for (unsigned k = 0; k < bestLength; ++k) {
        insert(i + k);
      }
      i += bestLength;
    } else {
      tokens.push_back({0, data[i]});
      insert(i);
      ++i;
    }
  }
  return tokens;
}

// Huffman code lengths of at most maxLength bits; unused symbols get 0, a lone symbol 1.
std::vector<std::uint8_t> CodeLengths(std::vector<std::uint64_t> frequency, unsigned maxLength) {
  const std::size_t n = frequency.size();
  for (;;) {
    std::vector<std::uint8_t> lengths(n, 0);
    struct Node {
      std::uint64_t Weight;
      int Left;
      int Right;
    };
    std::vector<Node> nodes;
    using Item = std::pair<std::uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
    for (std::size_t s = 0; s < n; ++s) {
      if (frequency[s] > 0) {
        nodes.push_back({frequency[s], -1 - static_cast<int>(s), 0});
        queue.push({frequency[s], static_cast<int>(nodes.size() - 1)});
      }
    }
    if (nodes.empty()) {
      return lengths;
    }
    if (nodes.size() == 1) {
      lengths[static_cast<std::size_t>(-1 - nodes[0].Left)] = 1;
      return lengths;
    }
    while (queue.size() > 1) {
      const Item a = queue.top();
      queue.pop();
      const Item b = queue.top();
      queue.pop();
      nodes.push_back({a.first + b.first, a.second, b.second});
      queue.push({a.first + b.first, static_cast<int>(nodes.size() - 1)});
    }
    unsigned longest = 0;
    std::vector<std::pair<int, unsigned>> stack = {{queue.top().second, 0}};
    while (!stack.empty()) {
      const auto [index, depth] = stack.back();
      stack.pop_back();
      const Node& node = nodes[static_cast<std::size_t>(index)];
      if (node.Left < 0) {
        lengths[static_cast<std::size_t>(-1 - node.Left)] = static_cast<std::uint8_t>(depth);
        longest = std::max(longest, depth);
      } else {
        stack.push_back({node.Left, depth + 1});
        stack.push_back({node.Right, depth + 1});
      }
    }
    if (longest <= maxLength) {
      return lengths;
    }
    for (std::uint64_t& f : frequency) {
      if (f > 0) {
        f = (f + 1) / 2;
      }
    }
  }
}

void PutTokensFixed(BitWriter& out, const std::vector<Token>& tokens) {
  for (const Token& t : tokens) {
    if (t.Length == 0) {
      PutFixedSymbol(out, t.Value);
    } else {
      PutFixedMatch(out, t.Length, t.Value);
    }
  }
  PutFixedSymbol(out, 256);
}

void PutTokensDynamic(BitWriter& out, const std::vector<Token>& tokens) {
  std::vector<std::uint64_t> litFrequency(286, 0);
  std::vector<std::uint64_t> distFrequency(30, 0);
  for (const Token& t : tokens) {
    if (t.Length == 0) {
      ++litFrequency[t.Value];
    } else {
      ++litFrequency[LengthSymbol(t.Length).Code];
      ++distFrequency[DistanceSymbol(t.Value).Code];
    }
  }
  litFrequency[256] = 1;
  std::vector<std::uint8_t> litLengths = CodeLengths(litFrequency, 15);
  std::vector<std::uint8_t> distLengths = CodeLengths(distFrequency, 15);
  std::size_t litCount = 286;
  while (litCount > 257 && litLengths[litCount - 1] == 0) {
    --litCount;
  }
  std::size_t distCount = 30;
  while (distCount > 1 && distLengths[distCount - 1] == 0) {
    --distCount;
  }
  litLengths.resize(litCount);
  distLengths.resize(distCount);
  PutDynamicHeader(out, litLengths, distLengths);
  const std::vector<std::uint32_t> litCodes = CanonicalCodes(litLengths);
  const std::vector<std::uint32_t> distCodes = CanonicalCodes(distLengths);
  for (const Token& t : tokens) {
    if (t.Length == 0) {
      out.PutCode(litCodes[t.Value], litLengths[t.Value]);
      continue;
    }
    const DeflateSymbol l = LengthSymbol(t.Length);
    out.PutCode(litCodes[l.Code], litLengths[l.Code]);
    out.Put(l.Extra, l.ExtraBits);
    const DeflateSymbol d = DistanceSymbol(t.Value);
    out.PutCode(distCodes[d.Code], distLengths[d.Code]);
    out.Put(d.Extra, d.ExtraBits);
  }
  out.PutCode(litCodes[256], litLengths[256]);
}

}  // namespace

DeflateBytes Deflate(const DeflateBytes& data, const DeflateOptions& options) {
  BitWriter out;
  const std::size_t blockSize = std::max<std::size_t>(options.BlockSize, 1);
  if (options.Kind == BlockKind::Stored) {
    const std::size_t piece = std::min<std::size_t>(blockSize, 65535);
    std::size_t at = 0;
    do {
      const std::size_t end = std::min(data.size(), at + piece);
      out.StoredBlock(end == data.size(), DeflateBytes(data.begin() + static_cast<std::ptrdiff_t>(at),
                                                       data.begin() + static_cast<std::ptrdiff_t>(end)));
      at = end;
    } while (at < data.size());
    return out.Finish();
  }

  // Matches may reach back into earlier blocks, as the window of a real stream allows; a
  // block ends at the first token after BlockSize input bytes.
  const std::vector<Token> tokens = Match(data, options.MaxDistance);
  std::size_t next = 0;
  do {
    std::vector<Token> block;
    std::size_t bytes = 0;
    while (next < tokens.size() && bytes < blockSize) {
      bytes += tokens[next].Length == 0 ? 1 : tokens[next].Length;
      block.push_back(tokens[next++]);
    }
    out.BlockHeader(next == tokens.size(), options.Kind == BlockKind::Fixed ? 1 : 2);
    if (options.Kind == BlockKind::Fixed) {
      PutTokensFixed(out, block);
    } else {
      PutTokensDynamic(out, block);
    }
  } while (next < tokens.size());
  return out.Finish();
}

}  // namespace qel::testing
