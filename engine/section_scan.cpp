#include "engine/section_scan.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVANTOR_SECTION_SCAN 1
#include <immintrin.h>
#endif

namespace orv {
namespace {

// The value after a key at `p`, up to the line's CR, at most `most` bytes:
// the reader's value cut for a line ended by CR LF.
std::string_view ValueAt(const char* p, const char* end, std::size_t most) {
  const auto room = static_cast<std::size_t>(end - p);
  const std::size_t limit = most < room ? most : room;
  std::size_t n = 0;
  while (n < limit && p[n] != '\r') ++n;
  return {p, n};
}

template <std::size_t N>
bool HasKey(const char* q, const char* end, const char (&key)[N]) {
  return static_cast<std::size_t>(end - q) >= N - 1 && std::memcmp(q, key, N - 1) == 0;
}

// A byte may matter at the start of a line when kLow[its low nibble] and
// kHigh[its high nibble] share a bit. Every byte of code 0 to 32 matters (an
// indented line needs the line-by-line rules), and so does "[" (the end of
// the section), "/" (a comment) and the first letter of each key read.
//
// Items: "C" (CONT=, COLOR=), "S" (SERIAL=), "T" (TYPE=).
struct ItemKeys {
  static constexpr unsigned char kLow[16] = {0x07, 0x03, 0x03, 0x1b, 0x13, 0x03, 0x03, 0x03,
                                             0x03, 0x03, 0x03, 0x13, 0x03, 0x03, 0x03, 0x07};
  static constexpr unsigned char kHigh[16] = {0x01, 0x02, 0x04, 0x00, 0x08, 0x10, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  ItemScan& out;

  bool Line(const char* q, const char* end) {
    switch (q[0]) {
      case 'S':
        if (HasKey(q, end, "SERIAL=")) out.serial = ValueAt(q + 7, end, 10);
        return true;
      case 'C':
        if (HasKey(q, end, "CONT=")) {
          out.container = ValueAt(q + 5, end, 10);
        } else if (HasKey(q, end, "COLOR=") && end - q > 6 && q[6] != '0' && q[6] != '\r') {
          ++out.color_zeros;
        }
        return true;
      case 'T':
        if (HasKey(q, end, "TYPE=")) out.type = ValueAt(q + 5, end, 8);
        return true;
      case '/':
        if (end - q > 1 && q[1] == '/') out.comment = true;
        return true;
      default:
        return static_cast<unsigned char>(q[0]) > 32;
    }
  }
};

// Characters: "A" (ACCOUNT=), "N" (NAME=), "P" (P=), "S" (SERIAL=).
struct CharKeys {
  static constexpr unsigned char kLow[16] = {0x17, 0x0b, 0x03, 0x13, 0x03, 0x03, 0x03, 0x03,
                                             0x03, 0x03, 0x03, 0x13, 0x03, 0x03, 0x0b, 0x07};
  static constexpr unsigned char kHigh[16] = {0x01, 0x02, 0x04, 0x00, 0x08, 0x10, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  CharScan& out;

  bool Line(const char* q, const char* end) {
    switch (q[0]) {
      case 'S':
        if (HasKey(q, end, "SERIAL=")) out.serial = ValueAt(q + 7, end, 10);
        return true;
      case 'A':
        if (HasKey(q, end, "ACCOUNT=")) out.account = true;
        return true;
      case 'N':
        if (HasKey(q, end, "NAME=")) out.name = ValueAt(q + 5, end, 30);
        return true;
      case 'P':
        if (end - q > 1 && q[1] == '=') out.position_line = true;
        return true;
      case '/':
        return true;  // a comment, or a line no key begins with
      default:
        return static_cast<unsigned char>(q[0]) > 32;
    }
  }
};

#if defined(ORVANTOR_SECTION_SCAN)

bool HasScanInstructions() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return has;
}

// The CRs, LFs and bytes that may matter (see ItemKeys) of 32 bytes.
struct BlockMasks {
  std::uint32_t cr;
  std::uint32_t lf;
  std::uint32_t hot;
};

__attribute__((target("avx2"))) inline BlockMasks MasksOf(__m256i v, __m256i low, __m256i high) {
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  const __m256i lo = _mm256_and_si256(v, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  const __m256i classes = _mm256_and_si256(_mm256_shuffle_epi8(low, lo), _mm256_shuffle_epi8(high, hi));
  BlockMasks m;
  m.cr = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r'))));
  m.lf = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
  m.hot = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(classes, _mm256_setzero_si256())));
  return m;
}

// The section from `head` on, 64 bytes at a time. Each block gives three
// masks: CRs, LFs and the bytes that may matter at a line start. A line
// starts after each LF; the section ends at the first line that begins with
// "[". Every LF inside it must follow a CR and every CR precede an LF.
template <class Keys>
__attribute__((target("avx2,popcnt"))) bool Scan(const char* head, const char* end, Keys& keys,
                                                 SectionExtent& extent) {
  const __m256i low = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Keys::kLow)));
  const __m256i high = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Keys::kHigh)));
  alignas(32) char tail[64];
  const char* base = head;
  std::uint64_t carry_cr = 0;
  std::uint64_t carry_lf = 0;
  std::uint64_t lines = 0;
  for (;;) {
    const char* p = base;
    std::uint64_t valid = ~std::uint64_t{0};
    if (end - base < 64) {
      if (end <= base) return false;
      const auto n = static_cast<std::size_t>(end - base);
      std::memcpy(tail, base, n);
      std::memset(tail + n, 0, sizeof tail - n);
      p = tail;
      valid = (std::uint64_t{1} << n) - 1;
    }
    const BlockMasks m0 = MasksOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), low, high);
    const BlockMasks m1 = MasksOf(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), low, high);
    const std::uint64_t cr = m0.cr | std::uint64_t{m1.cr} << 32;
    const std::uint64_t lf = m0.lf | std::uint64_t{m1.lf} << 32;
    const std::uint64_t hot = m0.hot | std::uint64_t{m1.hot} << 32;

    // Empty lines (a CR at the start) need nothing; the others with a byte
    // that may matter are looked at in order up to the section's end.
    std::uint64_t look = ((lf << 1) | carry_lf) & hot & ~cr & valid;
    std::uint64_t inside = valid;
    bool ended = false;
    unsigned end_bit = 0;
    while (look != 0) {
      const auto bit = static_cast<unsigned>(__builtin_ctzll(look));
      const char* q = base + bit;
      if (*q == '[') {
        inside &= (std::uint64_t{1} << bit) - 1;
        ended = true;
        end_bit = bit;
        break;
      }
      if (!keys.Line(q, end)) return false;
      look &= look - 1;
    }
    if ((lf ^ ((cr << 1) | carry_cr)) & inside) return false;  // a lone CR or LF
    lines += static_cast<std::uint64_t>(__builtin_popcountll(lf & inside));
    if (ended) {
      extent.bytes = static_cast<std::size_t>(base + end_bit - head);
      extent.lines = lines;
      return true;
    }
    if (valid != ~std::uint64_t{0}) return false;  // the buffer ends inside the section
    carry_cr = cr >> 63;
    carry_lf = lf >> 63;
    base += 64;
  }
}

#endif

}  // namespace

bool ScanItemSection(const char* head, const char* end, ItemScan& out) {
#if defined(ORVANTOR_SECTION_SCAN)
  if (!HasScanInstructions()) return false;
  out = ItemScan{};
  ItemKeys keys{out};
  return Scan(head, end, keys, out.extent);
#else
  (void)head;
  (void)end;
  (void)out;
  return false;
#endif
}

bool ScanCharSection(const char* head, const char* end, CharScan& out) {
#if defined(ORVANTOR_SECTION_SCAN)
  if (!HasScanInstructions()) return false;
  out = CharScan{};
  CharKeys keys{out};
  return Scan(head, end, keys, out.extent);
#else
  (void)head;
  (void)end;
  (void)out;
  return false;
#endif
}

}  // namespace orv
