#include "DIB/Source/DIBLZH.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "DIB/Source/DIBErrors.h"
#include "DIB/Source/DIBStream.h"

// The coder loops run outside the class; this gives them the two protected transfers.
struct TLZHTransfer {
  static std::size_t Read(void* self, void* buffer, std::size_t count) {
    return static_cast<TAbstractLZH*>(self)->ReadBytes(buffer, count);
  }
  static std::size_t Write(void* self, const void* buffer, std::size_t count) {
    return static_cast<TAbstractLZH*>(self)->WriteBytes(buffer, count);
  }
};

namespace {

constexpr int N = TAbstractLZH::N;
constexpr int F = TAbstractLZH::F;
constexpr int THRESHOLD = TAbstractLZH::THRESHOLD;
constexpr int NIL = TAbstractLZH::NIL;
constexpr int N_CHAR = TAbstractLZH::N_CHAR;
constexpr int T = TAbstractLZH::T;
constexpr int R = TAbstractLZH::R;
constexpr int RING_SIZE = N + F - 1;
constexpr int PREFILL = N - F;  // ring positions filled with spaces before coding starts

const char* const kTooLarge = "Compressed file is larger than the original.";
const char* const kNoMemory = "LZH : Cannot get memory for dictionary tables";
const char* const kWriteFailed = "LZH : Cannot write the output stream";

// Prefix codes of the upper six bits of a match position, left-aligned in a byte.
constexpr std::uint8_t kPositionCode[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

constexpr int PositionCodeLength(int u) { return u == 0 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8; }

// Inverse of the position code: for every byte, the upper bits it starts with and their code length.
struct TPositionDecodeTable {
  std::uint8_t Upper[256];
  std::uint8_t Length[256];
  constexpr TPositionDecodeTable() : Upper(), Length() {
    for (int u = 0; u < 64; ++u) {
      const int len = PositionCodeLength(u);
      const int first = kPositionCode[u];
      const int count = 1 << (8 - len);
      for (int b = first; b < first + count; ++b) {
        Upper[b] = static_cast<std::uint8_t>(u);
        Length[b] = static_cast<std::uint8_t>(len);
      }
    }
  }
};
constexpr TPositionDecodeTable kPositionDecode;

// The adaptive Huffman code shared by literals and match lengths.
struct THuffman {
  std::uint16_t Freq[T + 1];
  std::uint16_t Parent[T + N_CHAR];  // Parent[T + s] is the node holding symbol s
  std::uint16_t Son[T];              // >= T: a leaf holding symbol Son - T

  void Start() {
    for (int i = 0; i < N_CHAR; ++i) {
      Freq[i] = 1;
      Son[i] = static_cast<std::uint16_t>(i + T);
      Parent[i + T] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
      Freq[j] = static_cast<std::uint16_t>(Freq[i] + Freq[i + 1]);
      Son[j] = static_cast<std::uint16_t>(i);
      Parent[i] = Parent[i + 1] = static_cast<std::uint16_t>(j);
    }
    Freq[T] = 0xFFFF;
    Parent[R] = 0;
  }

  // Halves every leaf weight (rounding up) and builds the tree again from the leaves.
  void Rebuild() {
    int j = 0;
    for (int i = 0; i < T; ++i) {
      if (Son[i] >= T) {
        Freq[j] = static_cast<std::uint16_t>((Freq[i] + 1) / 2);
        Son[j] = Son[i];
        ++j;
      }
    }
    for (int i = 0, n = N_CHAR; n < T; i += 2, ++n) {
      const unsigned f = Freq[i] + Freq[i + 1];
      int k = n - 1;
      while (f < Freq[k]) --k;
      ++k;
      const std::size_t moved = static_cast<std::size_t>(n - k) * sizeof(std::uint16_t);
      std::memmove(&Freq[k + 1], &Freq[k], moved);
      Freq[k] = static_cast<std::uint16_t>(f);
      std::memmove(&Son[k + 1], &Son[k], moved);
      Son[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < T; ++i) {
      const int k = Son[i];
      if (k >= T)
        Parent[k] = static_cast<std::uint16_t>(i);
      else
        Parent[k] = Parent[k + 1] = static_cast<std::uint16_t>(i);
    }
  }

  void Update(int symbol) {
    if (Freq[R] == TAbstractLZH::MAX_FREQ) Rebuild();
    int c = Parent[symbol + T];
    do {
      const unsigned k = ++Freq[c];
      int l = c + 1;
      if (k > Freq[l]) {
        while (k > Freq[++l]) {
        }
        --l;
        Freq[c] = Freq[l];
        Freq[l] = static_cast<std::uint16_t>(k);
        const int i = Son[c];
        Parent[i] = static_cast<std::uint16_t>(l);
        if (i < T) Parent[i + 1] = static_cast<std::uint16_t>(l);
        const int j = Son[l];
        Son[l] = static_cast<std::uint16_t>(i);
        Parent[j] = static_cast<std::uint16_t>(c);
        if (j < T) Parent[j + 1] = static_cast<std::uint16_t>(c);
        Son[c] = static_cast<std::uint16_t>(j);
        c = l;
      }
      c = Parent[c];
    } while (c != 0);
  }
};

// A word loaded from memory, rearranged so that comparing words compares their bytes in order.
inline std::uint64_t ToBigEndian(std::uint64_t x) {
  if constexpr (std::endian::native == std::endian::little)
    return __builtin_bswap64(x);
  else
    return x;
}

// Whether two keys are equal in all their F bytes.
inline bool SameKey(const std::uint8_t* a, const std::uint8_t* b) {
  std::uint64_t x = 0;
  for (int k = 0; k < 56; k += 8) {
    std::uint64_t u, v;
    std::memcpy(&u, a + k, 8);
    std::memcpy(&v, b + k, 8);
    x |= u ^ v;
  }
  std::uint32_t u, v;
  std::memcpy(&u, a + 56, 4);
  std::memcpy(&v, b + 56, 4);
  return (x | (u ^ v)) == 0;
}

// Index of the lowest-addressed differing byte of two words loaded from memory (x = a ^ b != 0).
inline int FirstDifferentByte(std::uint64_t x) {
  if constexpr (std::endian::native == std::endian::little)
    return std::countr_zero(x) / 8;
  else
    return std::countl_zero(x) / 8;
}

template <class Tables>
std::unique_ptr<Tables> AllocateTables() {
  try {
    return std::make_unique<Tables>();
  } catch (const std::bad_alloc&) {
    throw ElzhException(kNoMemory);
  }
}

constexpr std::size_t kChunk = 65536;
constexpr int kPathDepth = 256;
constexpr std::uint16_t kOffPath = 0xFFFF;

// ---------------------------------------------------------------------------------------------
// Encoder

struct TEncoderTables {
  THuffman Huff;
  std::uint8_t Ring[RING_SIZE + 8] = {};  // bytes the space fill does not cover start as 0
  std::uint16_t Left[N + 1];
  std::uint16_t Right[N + 257];  // Right[N + 1 + b] roots the tree of first byte b
  std::uint16_t Dad[N + 1];
  std::uint16_t TreeMax[256];  // largest and smallest node of each tree (NIL when empty)
  std::uint16_t TreeMin[256];
  // Per tree, the top of the path of its last walk: Path[b][d] is the node at depth d below the
  // root. A node on such a path has PathDepth set and Low/High give the depths of the nearest of
  // its ancestors below and above its subtree's keys (kOffPath when unbounded); depths, not
  // nodes, so that a node taking another's place on the path is found through them. Inserting leaves keeps a path true;
  // deleting a node on it cuts the path there.
  std::uint16_t Path[256][kPathDepth];
  std::uint16_t PathLength[256];
  std::uint16_t PathDepth[N];
  std::uint16_t Low[N + 1];
  std::uint16_t High[N + 1];
  std::uint8_t In[kChunk];
  std::uint8_t Out[kChunk];
};

class TEncoder {
 public:
  using TRead = std::size_t (*)(void*, void*, std::size_t);
  using TWrite = std::size_t (*)(void*, const void*, std::size_t);

  TEncoder(TEncoderTables& t, std::uint32_t limit, void* io, TRead read, TWrite write)
      : FT(t), FLimit(limit), FIO(io), FRead(read), FWrite(write) {}

  std::uint32_t Run();

 private:
  int GetByte() {
    if (FInPos == FInLen) {
      if (FInputLeft == 0) return -1;
      const std::size_t want = std::min<std::size_t>(kChunk, FInputLeft);
      FInLen = FRead(FIO, FT.In, want);
      FInPos = 0;
      if (FInLen == 0) {
        FInputLeft = 0;
        return -1;
      }
      FInputLeft -= FInLen;
    }
    return FT.In[FInPos++];
  }

  void PutByte(std::uint8_t b) {
    if (FWritten + 1 > FLimit) throw ElzhException(kTooLarge);
    ++FWritten;
    FT.Out[FOutLen++] = b;
    if (FOutLen == kChunk) Flush();
  }

  void Flush() {
    if (FOutLen != 0 && FWrite(FIO, FT.Out, FOutLen) != FOutLen) throw ElzhException(kWriteFailed);
    FOutLen = 0;
  }

  // Appends the count low bits of value, most significant first (count <= 32).
  void PutBits(std::uint32_t value, int count) {
    FBits = (FBits << count) | (value & ((std::uint64_t{1} << count) - 1));
    FBitCount += count;
    while (FBitCount >= 8) {
      FBitCount -= 8;
      PutByte(static_cast<std::uint8_t>(FBits >> FBitCount));
    }
  }

  void EncodeChar(int symbol);
  void EncodePosition(int position) {
    const int u = position >> 6;
    const int len = PositionCodeLength(u);
    PutBits(kPositionCode[u] >> (8 - len), len);
    PutBits(static_cast<std::uint32_t>(position & 63), 6);
  }

  void InsertNode(int r);
  void DeleteNode(int p);
  void Replace(int p, int r);
  void CutPath(int tree, int depth);

  TEncoderTables& FT;
  std::uint32_t FLimit;
  std::uint32_t FWritten = 0;
  void* FIO;
  TRead FRead;
  TWrite FWrite;
  std::uint64_t FInputLeft = 0;
  std::size_t FInPos = 0, FInLen = 0, FOutLen = 0;
  std::uint64_t FBits = 0;
  int FBitCount = 0;
  int FMatchLength = 0;
  int FMatchPosition = 0;
  int FLastSame = NIL;  // the node the last insertion found with an identical key
};

void TEncoder::EncodeChar(int symbol) {
  THuffman& h = FT.Huff;
  // Walk from the leaf to the root; the node nearest the root gives the first bit sent.
  std::uint64_t code = 0;
  int len = 0;
  int k = h.Parent[symbol + T];
  do {
    if (len == 64) break;
    code |= std::uint64_t(k & 1) << len;
    ++len;
  } while ((k = h.Parent[k]) != R);
  if (k != R) {
    // Deeper than 64 levels: never seen in practice, but a long code still goes out whole.
    std::uint8_t path[T];
    len = 0;
    k = h.Parent[symbol + T];
    do path[len++] = static_cast<std::uint8_t>(k & 1);
    while ((k = h.Parent[k]) != R);
    while (len > 0) PutBits(path[--len], 1);
  } else {
    while (len > 32) {
      len -= 32;
      PutBits(static_cast<std::uint32_t>(code >> len), 32);
    }
    PutBits(static_cast<std::uint32_t>(code), len);
  }
  h.Update(symbol);
}

// r takes the place of p, whose key is identical, in its tree and on its path.
void TEncoder::Replace(int p, int r) {
  std::uint16_t* const lson = FT.Left;
  std::uint16_t* const rson = FT.Right;
  std::uint16_t* const dad = FT.Dad;
  dad[r] = dad[p];
  lson[r] = lson[p];
  rson[r] = rson[p];
  dad[lson[p]] = static_cast<std::uint16_t>(r);
  dad[rson[p]] = static_cast<std::uint16_t>(r);
  if (rson[dad[p]] == p)
    rson[dad[p]] = static_cast<std::uint16_t>(r);
  else
    lson[dad[p]] = static_cast<std::uint16_t>(r);
  dad[p] = NIL;
  const int first = FT.Ring[p];
  if (const int depth = FT.PathDepth[p]; depth != kOffPath) {
    FT.Path[first][depth] = static_cast<std::uint16_t>(r);
    FT.PathDepth[r] = static_cast<std::uint16_t>(depth);
    FT.PathDepth[p] = kOffPath;
    FT.Low[r] = FT.Low[p];
    FT.High[r] = FT.High[p];
  }
  if (FT.TreeMax[first] == p) FT.TreeMax[first] = static_cast<std::uint16_t>(r);
  if (FT.TreeMin[first] == p) FT.TreeMin[first] = static_cast<std::uint16_t>(r);
}

// Keys are ordered by their bytes 1..59 (byte 0 picks the tree), and a key never changes while its
// position is in a tree: new input lands only behind the oldest position. Two consequences let
// most insertions skip the walk while reporting exactly the match the walk reports:
// - A node whose key equals r's is unique, and the walk would end there with a full-length match
//   whatever it met before. Where the last insertion met an identical key, the next position's key
//   is tried against the key after it.
// - A key above the tree's largest walks the whole right spine, below its smallest the whole left
//   spine. Along a spine the common length with the key never decreases, so the walk's match is the
//   common length at the spine's end, at the nearest of the spine's nodes that share that length,
//   which lie next to each other at that end.
// Any other key takes the walk, resumed part way down where the tree's last walk shows the way.
void TEncoder::InsertNode(int r) {
  const std::uint8_t* const ring = FT.Ring;
  std::uint16_t* const lson = FT.Left;
  std::uint16_t* const rson = FT.Right;
  std::uint16_t* const dad = FT.Dad;
  const std::uint8_t* key = &ring[r];
  // Runs repeat: the key after the last identical one is most often identical again, and a node
  // still in a tree with an identical key is unique: the walk would end there.
  if (const int next = (FLastSame + 1) & (N - 1); FLastSame != NIL && dad[next] != NIL && SameKey(&ring[next], key)) {
    FLastSame = next;
    FMatchLength = F;
    FMatchPosition = ((r - next) & (N - 1)) - 1;
    Replace(next, r);
    return;
  }
  FLastSame = NIL;
  // Common length of the key with node p (F when equal) and whether the key is the greater,
  // comparing from byte from on (the bytes before it are known to be equal).
  const auto compare = [&](int p, int from, bool& greater) {
    const std::uint8_t* node = &ring[p];
    for (int j = from; j < F; j += 8) {
      std::uint64_t a, b;
      std::memcpy(&a, key + j, 8);  // the ring is padded for the over-read
      std::memcpy(&b, node + j, 8);
      if (const std::uint64_t x = a ^ b; x != 0) {
        j += FirstDifferentByte(x);
        if (j >= F) break;
        greater = key[j] > node[j];
        return j;
      }
    }
    greater = false;
    return F;
  };
  const auto position = [r](int p) { return ((r - p) & (N - 1)) - 1; };
  const auto attach = [&](std::uint16_t* link, int parent) {
    *link = static_cast<std::uint16_t>(r);
    dad[r] = static_cast<std::uint16_t>(parent);
  };

  const int first = key[0];
  const int root = N + 1 + first;
  rson[r] = lson[r] = NIL;
  FMatchLength = 0;
  if (rson[root] == NIL) {
    attach(&rson[root], root);
    FT.TreeMax[first] = FT.TreeMin[first] = static_cast<std::uint16_t>(r);
    return;
  }
  for (const bool above : {true, false}) {
    const int end = above ? FT.TreeMax[first] : FT.TreeMin[first];
    bool greater = false;
    const int i = compare(end, 1, greater);
    if (i >= F || greater != above) continue;
    if (i > THRESHOLD) {
      FMatchLength = i;
      FMatchPosition = position(end);
      for (int n = end;;) {
        const int parent = dad[n];
        if (parent >= N || (above ? rson[parent] : lson[parent]) != n || compare(parent, 1, greater) != i) break;
        FMatchPosition = std::min(FMatchPosition, position(parent));
        n = parent;
      }
    }
    attach(above ? &rson[end] : &lson[end], end);
    (above ? FT.TreeMax : FT.TreeMin)[first] = static_cast<std::uint16_t>(r);
    return;
  }

  // Common length of the key with node p and whether the key is the greater. Keys rarely share
  // more than their first word, so that word is tried alone first.
  std::uint64_t head;
  std::memcpy(&head, key + 1, 8);
  const std::uint64_t headOrder = ToBigEndian(head);
  const auto order = [&](int p, bool& greater) {
    std::uint64_t word;
    std::memcpy(&word, &ring[p + 1], 8);
    if (const std::uint64_t x = head ^ word; x != 0) [[likely]] {
      greater = headOrder > ToBigEndian(word);
      return 1 + FirstDifferentByte(x);
    }
    return compare(p, 9, greater);
  };

  // The walk from the root passes every node whose subtree's key range holds the key. The last
  // walk's path in this tree is still true where no deletion cut it, and the ranges along it
  // nest: a binary search finds the deepest of its nodes the new walk passes, and the walk goes
  // on from there.
  std::uint16_t* const path = FT.Path[first];
  std::uint16_t* const low = FT.Low;
  std::uint16_t* const high = FT.High;
  int depth = 0;
  bool greater = false;
  if (FT.PathLength[first] > 1) {
    bool equal = false;
    const auto holds = [&](int at) {
      const int x = path[at];
      bool inside = true;
      if (low[x] != kOffPath) {
        equal |= order(path[low[x]], greater) >= F;
        inside = greater;
      }
      if (inside && high[x] != kOffPath) {
        equal |= order(path[high[x]], greater) >= F;
        inside = !greater;
      }
      return inside;
    };
    // Successive keys of a tree mostly part late: the search gallops up from the bottom first.
    int lo = 0, hi = FT.PathLength[first] - 1;
    for (int step = 1; lo < hi; step *= 2) {
      const int probe = std::max(lo + 1, hi - step + 1);
      if (holds(probe)) {
        lo = probe;
        break;
      }
      hi = probe - 1;
    }
    while (lo < hi) {
      const int mid = (lo + hi + 1) / 2;
      if (holds(mid))
        lo = mid;
      else
        hi = mid - 1;
    }
    depth = equal ? 0 : lo;  // a key equal to a node's walks from the top, to that node
  }
  CutPath(first, depth);

  // The walk itself. The best node so far is kept as one number, common length above and
  // 4095 - position below, so that the longer match and then the nearer one is the larger.
  int best = 0;
  const auto score = [&](int p, int i) {
    if (i > THRESHOLD) best = std::max(best, (i << 12) | (N - 1 - position(p)));
  };
  int p = depth == 0 ? rson[root] : path[depth];
  int below = depth == 0 ? kOffPath : low[p], above = depth == 0 ? kOffPath : high[p];
  const int start = p;
  int d = depth;
  for (;; ++d) {
    if (d < kPathDepth) {
      path[d] = static_cast<std::uint16_t>(p);
      FT.PathDepth[p] = static_cast<std::uint16_t>(d);
      low[p] = static_cast<std::uint16_t>(below);
      high[p] = static_cast<std::uint16_t>(above);
    }
    const int i = order(p, greater);
    if (i >= F) {
      FT.PathLength[first] = static_cast<std::uint16_t>(std::min(d + 1, kPathDepth));
      // An identical key takes that node's place.
      FMatchLength = F;
      FMatchPosition = position(p);
      FLastSame = p;
      Replace(p, r);
      return;
    }
    score(p, i);
    std::uint16_t* const link = greater ? &rson[p] : &lson[p];
    (greater ? below : above) = d;
    if (*link == NIL) {
      attach(link, p);
      break;
    }
    p = *link;
  }
  FT.PathLength[first] = static_cast<std::uint16_t>(std::min(d + 1, kPathDepth));
  // The nodes above the start: on either side of the key their common length falls as they rise,
  // so each side is climbed only while it may still give the best length.
  if (depth != 0) {
    for (int at = low[start]; at != kOffPath; at = low[path[at]]) {
      const int x = path[at];
      const int i = order(x, greater);
      if (i < std::max(THRESHOLD + 1, best >> 12)) break;
      score(x, i);
    }
    for (int at = high[start]; at != kOffPath; at = high[path[at]]) {
      const int x = path[at];
      const int i = order(x, greater);
      if (i < std::max(THRESHOLD + 1, best >> 12)) break;
      score(x, i);
    }
  }
  if (best != 0) {
    FMatchLength = best >> 12;
    FMatchPosition = N - 1 - (best & (N - 1));
  }
}

void TEncoder::CutPath(int tree, int depth) {
  for (int d = depth; d < FT.PathLength[tree]; ++d) FT.PathDepth[FT.Path[tree][d]] = kOffPath;
  FT.PathLength[tree] = static_cast<std::uint16_t>(depth);
}

void TEncoder::DeleteNode(int p) {
  std::uint16_t* const lson = FT.Left;
  std::uint16_t* const rson = FT.Right;
  std::uint16_t* const dad = FT.Dad;
  if (dad[p] == NIL) return;
  if (const int depth = FT.PathDepth[p]; depth != kOffPath) CutPath(FT.Ring[p], depth);
  // The largest node has no right child: its predecessor takes over, and likewise for the smallest
  // (mirrored: the successor, through the other children).
  const auto neighbour = [&](const std::uint16_t* toward, const std::uint16_t* away) {
    int m = toward[p];
    if (m != NIL)
      while (away[m] != NIL) m = away[m];
    else
      m = dad[p] < N ? dad[p] : NIL;
    return static_cast<std::uint16_t>(m);
  };
  const int first = FT.Ring[p];
  if (FT.TreeMax[first] == p) FT.TreeMax[first] = neighbour(lson, rson);
  if (FT.TreeMin[first] == p) FT.TreeMin[first] = neighbour(rson, lson);
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
      dad[lson[p]] = static_cast<std::uint16_t>(q);
    }
    rson[q] = rson[p];
    dad[rson[p]] = static_cast<std::uint16_t>(q);
  }
  dad[q] = dad[p];
  if (rson[dad[p]] == p)
    rson[dad[p]] = static_cast<std::uint16_t>(q);
  else
    lson[dad[p]] = static_cast<std::uint16_t>(q);
  dad[p] = NIL;
}

std::uint32_t TEncoder::Run() {
  FInputLeft = FLimit;
  FT.Huff.Start();
  for (int i = N + 1; i <= N + 256; ++i) FT.Right[i] = NIL;
  for (int i = 0; i < N; ++i) FT.Dad[i] = NIL;
  std::fill(std::begin(FT.TreeMax), std::end(FT.TreeMax), std::uint16_t{NIL});
  std::fill(std::begin(FT.TreeMin), std::end(FT.TreeMin), std::uint16_t{NIL});
  std::fill(std::begin(FT.PathLength), std::end(FT.PathLength), std::uint16_t{0});
  std::fill(std::begin(FT.PathDepth), std::end(FT.PathDepth), kOffPath);
  std::uint8_t* const ring = FT.Ring;
  std::memset(ring, ' ', PREFILL);

  int s = 0;
  int r = PREFILL;
  int len = 0;
  for (int c; len < F && (c = GetByte()) >= 0; ++len) ring[r + len] = static_cast<std::uint8_t>(c);
  for (int i = 1; i <= F; ++i) InsertNode(r - i);
  InsertNode(r);
  do {
    if (FMatchLength > len) FMatchLength = len;
    if (FMatchLength <= THRESHOLD) {
      FMatchLength = 1;
      EncodeChar(ring[r]);
    } else {
      EncodeChar(255 - THRESHOLD + FMatchLength);
      EncodePosition(FMatchPosition);
    }
    const int last = FMatchLength;
    int i = 0;
    for (int c; i < last && (c = GetByte()) >= 0; ++i) {
      DeleteNode(s);
      ring[s] = static_cast<std::uint8_t>(c);
      if (s < F - 1) ring[s + N] = static_cast<std::uint8_t>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    while (i++ < last) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len != 0) InsertNode(r);
    }
  } while (len > 0);
  if (FBitCount > 0) PutBits(0, 8 - FBitCount);
  Flush();
  return FWritten;
}

// ---------------------------------------------------------------------------------------------
// Decoder

struct TDecoderTables {
  THuffman Huff;
  std::uint8_t Ring[N] = {};  // bytes the space fill does not cover start as 0
  std::uint8_t In[kChunk];
  std::uint8_t Out[kChunk + F];  // room for one whole match past a flush point
};

class TDecoder {
 public:
  TDecoder(TDecoderTables& t, void* io, TEncoder::TRead read, TEncoder::TWrite write)
      : FT(t), FIO(io), FRead(read), FWrite(write) {}

  std::uint32_t Run(std::uint32_t size);

 private:
  // Keeps at least 57 bits buffered; input past the end reads as zero bits.
  void Refill() {
    while (FBitCount <= 56) {
      if (FInPos == FInLen) {
        FInLen = FAtEnd ? 0 : FRead(FIO, FT.In, kChunk);
        FInPos = 0;
        if (FInLen == 0) {
          FAtEnd = true;
          FBitCount = 64;  // the rest is zeros, already in place
          return;
        }
      }
      FBits |= std::uint64_t(FT.In[FInPos++]) << (56 - FBitCount);
      FBitCount += 8;
    }
  }

  unsigned TakeBits(int count)  // count <= 8
  {
    if (FBitCount < count) Refill();
    const unsigned v = static_cast<unsigned>(FBits >> (64 - count));
    FBits <<= count;
    FBitCount -= count;
    return v;
  }

  int DecodeChar() {
    const std::uint16_t* son = FT.Huff.Son;
    unsigned c = son[R];
    while (c < unsigned(T)) {
      if (FBitCount == 0) Refill();
      c = son[c + unsigned(FBits >> 63)];
      FBits <<= 1;
      --FBitCount;
    }
    c -= T;
    FT.Huff.Update(static_cast<int>(c));
    return static_cast<int>(c);
  }

  int DecodePosition() {
    unsigned i = TakeBits(8);
    const unsigned upper = kPositionDecode.Upper[i];
    const int extra = kPositionDecode.Length[i] - 2;
    i = (i << extra) | TakeBits(extra);
    return static_cast<int>((upper << 6) | (i & 63));
  }

  void Flush(std::size_t count) {
    if (count != 0 && FWrite(FIO, FT.Out, count) != count) throw ElzhException(kWriteFailed);
  }

  TDecoderTables& FT;
  void* FIO;
  TEncoder::TRead FRead;
  TEncoder::TWrite FWrite;
  std::size_t FInPos = 0, FInLen = 0;
  bool FAtEnd = false;
  std::uint64_t FBits = 0;
  int FBitCount = 0;
};

std::uint32_t TDecoder::Run(std::uint32_t size) {
  FT.Huff.Start();
  std::uint8_t* const ring = FT.Ring;
  std::memset(ring, ' ', PREFILL);
  unsigned r = PREFILL;
  std::uint32_t produced = 0;
  std::uint8_t* const out = FT.Out;
  std::size_t o = 0;
  while (produced < size) {
    const int c = DecodeChar();
    if (c < 256) {
      out[o++] = static_cast<std::uint8_t>(c);
      ring[r] = static_cast<std::uint8_t>(c);
      r = (r + 1) & (N - 1);
      ++produced;
    } else {
      unsigned i = (r - static_cast<unsigned>(DecodePosition()) - 1) & (N - 1);
      // A damaged stream may carry a match past the declared size: only size bytes go out.
      const std::uint32_t count = std::min<std::uint32_t>(c - 255 + THRESHOLD, size - produced);
      for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint8_t b = ring[i];
        i = (i + 1) & (N - 1);
        out[o++] = b;
        ring[r] = b;
        r = (r + 1) & (N - 1);
      }
      produced += count;
    }
    if (o >= kChunk) {
      Flush(o);
      o = 0;
    }
  }
  Flush(o);
  return produced;
}

}  // namespace

std::uint64_t TAbstractLZH::MaxDecodedSize(std::uint64_t streamLength) {
  const std::uint64_t bits = streamLength > 4 ? (streamLength - 4) * 8 : 0;
  return bits * F / 10 + F;
}

std::uint32_t TAbstractLZH::Encode(std::uint32_t inputSize) {
  // The size field counts against the limit on its own, so sizes below 4 fail before any output.
  if (inputSize < 4) throw ElzhException(kTooLarge);
  const std::uint8_t field[4] = {static_cast<std::uint8_t>(inputSize), static_cast<std::uint8_t>(inputSize >> 8),
                                 static_cast<std::uint8_t>(inputSize >> 16),
                                 static_cast<std::uint8_t>(inputSize >> 24)};
  if (WriteBytes(field, 4) != 4) throw ElzhException(kWriteFailed);
  auto tables = AllocateTables<TEncoderTables>();
  return TEncoder(*tables, inputSize, this, &TLZHTransfer::Read, &TLZHTransfer::Write).Run();
}

std::uint32_t TAbstractLZH::Decode() { return Decode(0xFFFFFFFFu); }

std::uint32_t TAbstractLZH::Decode(std::uint32_t maxOutput) {
  auto tables = AllocateTables<TDecoderTables>();
  std::uint8_t field[4] = {};
  // A missing size field reads as zero bytes, like any missing input.
  std::size_t got = 0;
  while (got < 4) {
    const std::size_t n = ReadBytes(field + got, 4 - got);
    if (n == 0) break;
    got += n;
  }
  const std::uint32_t size = std::uint32_t(field[0]) | std::uint32_t(field[1]) << 8 | std::uint32_t(field[2]) << 16 |
                             std::uint32_t(field[3]) << 24;
  return TDecoder(*tables, this, &TLZHTransfer::Read, &TLZHTransfer::Write).Run(std::min(size, maxOutput));
}

std::size_t TLZHStream::ReadBytes(void* buffer, std::size_t count) { return FInput.Read(buffer, count); }

std::size_t TLZHStream::WriteBytes(const void* buffer, std::size_t count) { return FOutput.Write(buffer, count); }
