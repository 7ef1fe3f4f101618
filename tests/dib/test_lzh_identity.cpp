// LZH encoder against a plain one: a byte-by-byte walk of the search trees from their roots, a
// Huffman coder without shortcuts and a bit writer that sends one bit at a time. The codec's
// encoder finds its matches by shortcuts; its streams must be these, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBLZH.h"
#include "DIB/Source/DIBStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class TPlainEncoder {
 public:
  static constexpr int N = 4096, F = 60, THRESHOLD = 2, NIL = N;
  static constexpr int N_CHAR = 256 - THRESHOLD + F, T = 2 * N_CHAR - 1, R = T - 1;

  // The whole stream, size field included, however long it gets.
  Bytes Encode(const Bytes& input) {
    Bytes out;
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(input.size() >> (8 * k)));
    StartHuffman();
    for (int i = N + 1; i <= N + 256; ++i) rson[i] = NIL;
    for (int i = 0; i < N; ++i) dad[i] = NIL;
    for (int i = 0; i < N - F; ++i) ring[i] = ' ';
    std::size_t next = 0;
    int s = 0, r = N - F, len = 0;
    for (; len < F && next < input.size(); ++len) ring[r + len] = input[next++];
    for (int i = 1; i <= F; ++i) InsertNode(r - i);
    InsertNode(r);
    do {
      if (matchLength > len) matchLength = len;
      if (matchLength <= THRESHOLD) {
        matchLength = 1;
        SendSymbol(ring[r]);
      } else {
        SendSymbol(255 - THRESHOLD + matchLength);
        const int u = matchPosition >> 6;
        const int codeLength = u == 0 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
        for (int b = 0; b < codeLength; ++b) bits.push_back((kPositionCode[u] >> (7 - b)) & 1);
        for (int b = 5; b >= 0; --b) bits.push_back((matchPosition >> b) & 1);
      }
      const int last = matchLength;
      int i = 0;
      for (; i < last && next < input.size(); ++i) {
        DeleteNode(s);
        ring[s] = input[next++];
        if (s < F - 1) ring[s + N] = ring[s];
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        InsertNode(r);
      }
      for (; i < last; ++i) {
        DeleteNode(s);
        s = (s + 1) & (N - 1);
        r = (r + 1) & (N - 1);
        if (--len != 0) InsertNode(r);
      }
    } while (len > 0);
    while (bits.size() % 8 != 0) bits.push_back(0);
    for (std::size_t b = 0; b < bits.size(); b += 8) {
      std::uint8_t v = 0;
      for (int k = 0; k < 8; ++k) v = static_cast<std::uint8_t>(v << 1 | bits[b + k]);
      out.push_back(v);
    }
    return out;
  }

 private:
  static constexpr std::uint8_t kPositionCode[64] = {
      0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
      0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
      0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
      0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

  void StartHuffman() {
    for (int i = 0; i < N_CHAR; ++i) {
      freq[i] = 1;
      son[i] = i + T;
      prnt[i + T] = i;
    }
    for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
      freq[j] = freq[i] + freq[i + 1];
      son[j] = i;
      prnt[i] = prnt[i + 1] = j;
    }
    freq[T] = 0xFFFF;
    prnt[R] = 0;
  }

  void Rebuild() {
    int j = 0;
    for (int i = 0; i < T; ++i)
      if (son[i] >= T) {
        freq[j] = (freq[i] + 1) / 2;
        son[j] = son[i];
        ++j;
      }
    for (int i = 0, n = N_CHAR; n < T; i += 2, ++n) {
      const int f = freq[i] + freq[i + 1];
      int k = n - 1;
      while (f < freq[k]) --k;
      ++k;
      for (int m = n; m > k; --m) {
        freq[m] = freq[m - 1];
        son[m] = son[m - 1];
      }
      freq[k] = f;
      son[k] = i;
    }
    for (int i = 0; i < T; ++i) {
      const int k = son[i];
      prnt[k] = i;
      if (k < T) prnt[k + 1] = i;
    }
  }

  void Update(int symbol) {
    if (freq[R] == 0x8000) Rebuild();
    int n = prnt[symbol + T];
    do {
      const int k = ++freq[n];
      if (k > freq[n + 1]) {
        int l = n + 1;
        while (k > freq[l + 1]) ++l;
        freq[n] = freq[l];
        freq[l] = k;
        const int i = son[n];
        prnt[i] = l;
        if (i < T) prnt[i + 1] = l;
        const int j = son[l];
        son[l] = i;
        prnt[j] = n;
        if (j < T) prnt[j + 1] = n;
        son[n] = j;
        n = l;
      }
      n = prnt[n];
    } while (n != 0);
  }

  void SendSymbol(int symbol) {
    std::vector<int> path;
    for (int k = prnt[symbol + T]; k != R; k = prnt[k]) path.push_back(k & 1);
    for (auto b = path.rbegin(); b != path.rend(); ++b) bits.push_back(*b);
    Update(symbol);
  }

  void InsertNode(int r) {
    const std::uint8_t* key = &ring[r];
    int p = N + 1 + key[0];
    int cmp = 1;
    rson[r] = lson[r] = NIL;
    matchLength = 0;
    for (;;) {
      int* link = cmp >= 0 ? &rson[p] : &lson[p];
      if (*link == NIL) {
        *link = r;
        dad[r] = p;
        return;
      }
      p = *link;
      int i = 1;
      for (; i < F; ++i)
        if ((cmp = key[i] - ring[p + i]) != 0) break;
      if (i > THRESHOLD) {
        const int at = ((r - p) & (N - 1)) - 1;
        if (i > matchLength) {
          matchPosition = at;
          matchLength = i;
          if (i >= F) break;
        } else if (i == matchLength && at < matchPosition) {
          matchPosition = at;
        }
      }
    }
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = r;
    dad[rson[p]] = r;
    if (rson[dad[p]] == p)
      rson[dad[p]] = r;
    else
      lson[dad[p]] = r;
    dad[p] = NIL;
  }

  void DeleteNode(int p) {
    if (dad[p] == NIL) return;
    int q;
    if (rson[p] == NIL) {
      q = lson[p];
    } else if (lson[p] == NIL) {
      q = rson[p];
    } else {
      q = lson[p];
      if (rson[q] != NIL) {
        do q = rson[q];
        while (rson[q] != NIL);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = q;
      }
      rson[q] = rson[p];
      dad[rson[p]] = q;
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p)
      rson[dad[p]] = q;
    else
      lson[dad[p]] = q;
    dad[p] = NIL;
  }

  std::vector<int> freq = std::vector<int>(T + 1), prnt = std::vector<int>(T + N_CHAR), son = std::vector<int>(T);
  std::vector<int> lson = std::vector<int>(N + 1), rson = std::vector<int>(N + 257), dad = std::vector<int>(N + 1);
  Bytes ring = Bytes(N + F - 1, 0);
  std::vector<std::uint8_t> bits;
  int matchLength = 0, matchPosition = 0;
};

std::optional<Bytes> CodecEncode(const Bytes& input) {
  TDIBMemoryStream in(input.data(), input.size()), out;
  TLZHStream lzh(in, out);
  try {
    lzh.Encode(static_cast<std::uint32_t>(input.size()));
  } catch (const ElzhException&) {
    return std::nullopt;
  }
  return out.TakeBytes();
}

// A picture payload: gradients, flat panels with bevels, striped tracks, a noisy strip, in 32-bit
// pixels with a constant alpha, as the editor's images have.
Bytes Picture(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(4 + 4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  b[0] = static_cast<std::uint8_t>(w);
  b[1] = static_cast<std::uint8_t>(w >> 8);
  b[2] = static_cast<std::uint8_t>(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &b[4 + 4 * (static_cast<std::size_t>(y) * w + x)];
      int v = 40 + y * 60 / h;
      if (x % 46 > 8 && x % 46 < 38 && y > h / 10 && y < h * 85 / 100) {
        v = x % 46 == 9 ? 140 : 90;
        if (x % 46 > 20 && x % 46 < 26) v = 20 + (y & 1) * 4;
      }
      if (y > h * 9 / 10) v += static_cast<int>(rng() % 9);
      p[0] = static_cast<std::uint8_t>(v + 10);
      p[1] = static_cast<std::uint8_t>(v);
      p[2] = static_cast<std::uint8_t>(v / 2 + x / 16);
      p[3] = 255;
    }
  return b;
}

}  // namespace

TEST(LZHIdentity, StreamsEqualThePlainEncoders) {
  std::mt19937 rng(2026);
  std::vector<std::pair<std::string, Bytes>> inputs;
  const auto add = [&](const std::string& kind, std::size_t size, auto&& byteAt) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(byteAt(i, b));
    inputs.emplace_back(kind + " " + std::to_string(size), std::move(b));
  };
  const char* const words[] = {"the ", "ring ", "window ", "holds ", "a ", "match ", "of ", "sixty ", "bytes\n"};
  for (std::size_t size : {4u, 7u, 61u, 200u, 4097u, 5000u, 70000u}) {
    add("random", size, [&](std::size_t, const Bytes&) { return rng(); });
    add("runs", size, [&](std::size_t i, const Bytes& b) { return rng() % 9 == 0 || i == 0 ? rng() % 4 : b[i - 1]; });
    add("spaces", size, [&](std::size_t, const Bytes&) { return rng() % 40 == 0 ? ' ' + rng() % 3 : ' '; });
    add("ramp", size,
        [&](std::size_t i, const Bytes&) { return i % 4 == 3 ? 255 : (i / 4) % 300 * 255 / 300 + i / 1200; });
    add("noisy ramp", size, [&](std::size_t i, const Bytes&) { return (i / 4) % 415 / 3 + i / 3320 + rng() % 3; });
    add("near repeats", size, [&](std::size_t i, const Bytes& b) {
      const unsigned c = rng() % 100;
      return c < 60 || i < 64 ? 'a' + rng() % 16 : c < 90 ? b[i - 1 - rng() % 48] : i >> 7;
    });
    std::string text;
    while (text.size() < size) text += words[rng() % 9];
    add("text", size, [&](std::size_t i, const Bytes&) { return text[i]; });
  }
  inputs.emplace_back("picture 16 x 30", Picture(16, 30, 1));
  inputs.emplace_back("picture 415 x 200", Picture(415, 200, 1985));
  // A megabyte of long-period gradients: deep chains in the trees, tree rebuilds, the window wrapping.
  add("long ramp", 1u << 20, [](std::size_t i, const Bytes&) { return (i * 7 / 13) % 256 ^ (i >> 12); });

  int compared = 0;
  for (const auto& [name, input] : inputs) {
    const Bytes plain = TPlainEncoder().Encode(input);
    const std::optional<Bytes> codec = CodecEncode(input);
    if (plain.size() - 4 > input.size()) {
      EXPECT_FALSE(codec.has_value()) << name << ": longer than the input but accepted";
      continue;
    }
    ASSERT_TRUE(codec.has_value()) << name;
    ASSERT_EQ(*codec, plain) << name;
    ++compared;
  }
  EXPECT_GT(compared, 35);
}
