// gen_world: writes a synthetic ORV world save (.scp) of about a given size.
//
// The save is built to look like one a live shard writes: a commented header,
// characters (players with a backpack and a bank box full of nested
// containers, NPCs with clothing and memory objects, pets, spawned NPCs),
// loose items (respawn points, chests, kinds an admin may ban), a few
// sections of other kinds, and "[EOF]".  Every line ends in CR LF.
//
// Output depends only on the arguments: the random generator is our own
// splitmix64, never a std distribution, so a seed gives the same bytes with
// every compiler and library.
//
// Each character or loose item is generated as a small tree ("unit") first,
// then laid out in file order, then given serials.  Serials are handed out in
// file order from a counter, so --order ascending is simply the counter, and
// --order random passes the counter through a bijection on 28 bits: unique
// values in no particular order.  A small share of leaf items is written just
// before the container that holds it (a forward reference the reader cannot
// resolve).

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// ---------------------------------------------------------------- random

struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n), n < 2^32.
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
    }
    // Uniform in [lo, hi].
    std::uint32_t range(std::uint32_t lo, std::uint32_t hi) { return lo + below(hi - lo + 1); }
    // True with probability per_10000 / 10000.
    bool chance(std::uint32_t per_10000) { return below(10000) < per_10000; }
    template <class T, std::size_t N>
    const T& pick(const T (&a)[N]) { return a[below(static_cast<std::uint32_t>(N))]; }
};

// ---------------------------------------------------------------- output

// One big buffer; sections are written straight into it and it is handed to
// fwrite in 4 MiB chunks.  Every section is far smaller than the headroom,
// so the writers below never check bounds themselves.
class Out {
public:
    static constexpr std::size_t kChunk = 4u << 20;
    static constexpr std::size_t kHeadroom = 1u << 20;

    explicit Out(std::FILE* f) : f_(f), buf_(kChunk + 2 * kHeadroom) { p_ = buf_.data(); }

    // Called before each section: flushes full chunks.
    void reserve() {
        if (static_cast<std::size_t>(p_ - buf_.data()) >= kChunk) flush_chunk();
    }
    void finish() {
        write(buf_.data(), static_cast<std::size_t>(p_ - buf_.data()));
        p_ = buf_.data();
    }
    std::uint64_t bytes() const { return written_ + static_cast<std::uint64_t>(p_ - buf_.data()); }
    std::uint64_t lines() const { return lines_; }
    bool failed() const { return failed_; }

    void raw(const char* s, std::size_t n) {
        std::memcpy(p_, s, n);
        p_ += n;
    }
    void str(std::string_view s) { raw(s.data(), s.size()); }
    void ch(char c) { *p_++ = c; }
    void eol() {
        p_[0] = '\r';
        p_[1] = '\n';
        p_ += 2;
        ++lines_;
    }
    void line(std::string_view s) {
        str(s);
        eol();
    }
    void dec(std::int64_t v) {
        if (v < 0) {
            ch('-');
            v = -v;
        }
        char tmp[24];
        int n = 0;
        auto u = static_cast<std::uint64_t>(v);
        do {
            tmp[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        while (n) *p_++ = tmp[--n];
    }
    // Lower-case hex, at least `width` digits.
    void hex(std::uint32_t v, int width) {
        static const char digits[] = "0123456789abcdef";
        char tmp[8];
        int n = 0;
        do {
            tmp[n++] = digits[v & 15];
            v >>= 4;
        } while (v);
        while (n < width) tmp[n++] = '0';
        while (n) *p_++ = tmp[--n];
    }

private:
    void write(const char* d, std::size_t n) {
        if (n == 0 || failed_) return;
        if (std::fwrite(d, 1, n, f_) != n) failed_ = true;
        written_ += n;
    }
    void flush_chunk() {
        std::size_t used = static_cast<std::size_t>(p_ - buf_.data());
        std::size_t out = used - used % kChunk;
        write(buf_.data(), out);
        std::memmove(buf_.data(), buf_.data() + out, used - out);
        p_ = buf_.data() + (used - out);
    }

    std::FILE* f_;
    std::vector<char> buf_;
    char* p_;
    std::uint64_t written_ = 0;
    std::uint64_t lines_ = 0;
    bool failed_ = false;
};

// ---------------------------------------------------------------- tables

// Item kinds.  `id` is the head id as ORV writes it with its leading 0; `bare`
// allows the head to be written without it now and then.
enum Role : std::uint8_t { Leaf, Stack, Cloth, Box, Memory, Respawn, Spawn, Decor };

// What a character is in the world.
enum CharRole : std::uint8_t { PlainNpc, Pet, SpawnedNpc, Player };

struct Kind {
    const char* id;
    Role role;
    std::uint8_t layer;  // clothing layer
    bool bare;           // head id may drop its leading 0
};

const Kind kBackpack = {"0e75", Box, 21, false};
const Kind kBankBox = {"09b2", Box, 29, false};  // always written "09b2": the pet shrinker looks for "09b2]"
const Kind kMemory0 = {"02007", Memory, 0, false};
const Kind kMemory = {"2007", Memory, 0, false};
const Kind kRespawn = {"01f13", Respawn, 0, false};
const Kind kSpawn = {"01f13", Spawn, 0, false};
const Kind kHair = {"0203b", Cloth, 11, true};
const Kind kBeard = {"0204b", Cloth, 16, true};

const Kind kClothes[] = {
    {"01517", Cloth, 5, true},  {"0152e", Cloth, 4, true},  {"0170f", Cloth, 3, true},
    {"01f03", Cloth, 22, true}, {"01541", Cloth, 10, true}, {"013bf", Cloth, 13, true},
    {"01515", Cloth, 20, true}, {"01f7b", Cloth, 5, true},  {"01537", Cloth, 4, true},
    {"0170b", Cloth, 3, true},  {"01efd", Cloth, 5, true},  {"013b9", Cloth, 1, true},
    {"01b76", Cloth, 2, true},  {"01408", Cloth, 6, true},
};
const Kind kSubBoxes[] = {
    {"0e76", Box, 0, true}, {"0e79", Box, 0, true}, {"09aa", Box, 0, true},
    {"0e7d", Box, 0, true}, {"0e3f", Box, 0, true},
};
const Kind kChests[] = {{"0e42", Box, 0, true}, {"0e43", Box, 0, true}, {"09a9", Box, 0, true}};
const Kind kLeaves[] = {
    {"0eed", Stack, 0, true}, {"0f7a", Stack, 0, true}, {"0f7b", Stack, 0, true},
    {"0f84", Stack, 0, true}, {"0f85", Stack, 0, true}, {"0f86", Stack, 0, true},
    {"0f88", Stack, 0, true}, {"0f8c", Stack, 0, true}, {"0f8d", Stack, 0, true},
    {"0e21", Stack, 0, true}, {"0f3f", Stack, 0, true}, {"01bfb", Stack, 0, true},
    {"0f0e", Leaf, 0, true},  {"0f0c", Leaf, 0, true},  {"01f4c", Leaf, 0, true},
    {"013b9", Leaf, 0, true}, {"0f5e", Leaf, 0, true},  {"0e86", Leaf, 0, true},
    {"0fbf", Leaf, 0, true},  {"014f0", Leaf, 0, true}, {"09d0", Stack, 0, true},
    {"097b", Stack, 0, true}, {"01bf2", Stack, 0, true}, {"01bdd", Stack, 0, true},
    {"0f9f", Leaf, 0, true},  {"0e9b", Leaf, 0, true},  {"0fb1", Leaf, 0, true},
};
const Kind kDecor[] = {
    {"0a2a", Decor, 0, true}, {"0b2c", Decor, 0, true}, {"01e5e", Decor, 0, true},
    {"0a0f", Decor, 0, true}, {"0a28", Decor, 0, true}, {"0b41", Decor, 0, true},
    {"0ea2", Decor, 0, true}, {"0ee8", Decor, 0, true}, {"0fa6", Decor, 0, true},
    {"01bdd", Stack, 0, true}, {"0eed", Stack, 0, true}, {"0f3f", Stack, 0, true},
    {"0b90", Decor, 0, true}, {"0c10", Decor, 0, true}, {"0edd", Decor, 0, true},
};
// Kinds an admin is likely to put on the illegal list.
const Kind kIllegal[] = {{"0186b", Leaf, 0, true}, {"01f14", Leaf, 0, true}};
const Kind kIllegalBox[] = {{"0186b", Box, 0, false}, {"01f14", Box, 0, false}};

struct CharKind {
    const char* id;
    bool human;
    bool bare;
};
const CharKind kPlayerBodies[] = {{"0190", true, true}, {"0191", true, true}};
const CharKind kNpcBodies[] = {
    {"0190", true, true}, {"0191", true, true}, {"0190", true, false}, {"0191", true, false},
    {"03e", false, false}, {"01d", false, true}, {"032", false, true}, {"01a", false, true},
};
const CharKind kPetBodies[] = {
    {"0c9", false, true}, {"0d9", false, true}, {"0e1", false, true},
    {"0cc", false, true}, {"0e4", false, true}, {"0dc", false, true},
};

const char* const kNameParts[] = {
    "Al", "Bren", "Cor", "Dal", "El", "Fen", "Gar", "Hal", "Is", "Jor", "Kel", "Lor",
    "Mar", "Nor", "Or", "Per", "Quin", "Ros", "Syl", "Tor", "Ul", "Vel", "Wen", "Yor",
};
const char* const kNameEnds[] = {"an", "ric", "wyn", "is", "a", "dor", "eth", "ia", "mir", "as", "on", "elle"};
const char* const kTitles[] = {
    " the Brave", " of Westmarch", " the Unyielding", " Ironhand", " the Wanderer",
    " of the Silver Vale", " Stormcaller", " the Quiet",
};
const char* const kPetNames[] = {"a cat", "a dog", "a wolf", "a horse", "a llama", "a pack horse"};
const char* const kNpcNames[] = {
    "#NAMES_HUMANMALE", "#NAMES_HUMANFEMALE", "a guard", "a shopkeeper", "a healer",
    "an orc", "a skeleton", "a mongbat",
};
const char* const kItemNames[] = {
    "a magic longsword", "a bag of reagents", "Gilded chest of Lord Aldric", "a runebook",
    "a fine pickaxe", "an old map", "a bottle of wine", "a blessed deed",
};
const char* const kColors[] = {"83ea", "083ea", "0455", "455", "0", "0", "0", "0481", "3e8", "0835"};
const char* const kCharFlags[] = {"0800", "08", "48", "0", "0200", "04"};
const char* const kAttrs[] = {"010", "020", "0", "01", "090", "0400"};
const char* const kSkills[] = {
    "ALCHEMY", "ANATOMY", "ANIMALLORE", "ITEMID", "ARMSLORE", "PARRYING", "BEGGING",
    "BLACKSMITHING", "BOWCRAFT", "PEACEMAKING", "CAMPING", "CARPENTRY", "CARTOGRAPHY",
    "COOKING", "DETECTINGHIDDEN", "ENTICEMENT", "EVALUATINGINTEL", "HEALING", "FISHING",
    "FORENSICS", "HERDING", "HIDING", "PROVOCATION", "INSCRIPTION", "LOCKPICKING", "MAGERY",
    "MAGICRESISTANCE", "TACTICS", "SNOOPING", "MUSICIANSHIP", "POISONING", "ARCHERY",
    "SPIRITSPEAK", "STEALING", "TAILORING", "TAMING", "TASTEID", "TINKERING", "TRACKING",
    "VETERINARY", "SWORDSMANSHIP", "MACEFIGHTING", "FENCING", "WRESTLING", "LUMBERJACKING",
    "MINING", "MEDITATION", "STEALTH", "REMOVETRAP",
};
const char* const kStats[] = {"OSTR", "ODEX", "OINT", "HITS", "STAM", "MANA", "FOOD", "KARMA", "FAME"};
const char* const kScripts[] = {"d_guild_menu", "f_onserver", "s_townstones", "e_player_login"};

// ---------------------------------------------------------------- world model

enum NodeType : std::uint8_t { NChar, NItem };

struct Node {
    NodeType type;
    bool forward = false;    // written before its holder
    CharRole role = PlainNpc;  // characters
    std::uint8_t depth = 0;  // items: 1 when held by a character or lying loose
    const Kind* kind = nullptr;
    const CharKind* ck = nullptr;
    std::int32_t parent = -1;
    std::int32_t first = -1, last = -1, sibling = -1;
    std::uint32_t serial = 0;
    std::uint32_t link = 0;  // memory objects: serial they name (0: none)
    bool link_char = false;  // memory link names a character
};

struct Stats {
    std::uint64_t chars = 0, players = 0, npcs = 0, pets = 0, spawned = 0;
    std::uint64_t items = 0, loose = 0, contained = 0, forward = 0, memory = 0;
    std::uint64_t respawn69 = 0, spawn34 = 0, illegal = 0, containers = 0, other = 0;
    unsigned max_depth = 0;
};

// A bijection on 28 bits, keyed by the seed: ascending counters in, unique
// values in scrambled order out.
struct Scramble {
    std::uint32_t k1, k2;
    static constexpr std::uint32_t kMask = (1u << 28) - 1;
    std::uint32_t operator()(std::uint32_t x) const {
        x = (x ^ k1) & kMask;
        x = (x * 0x9E3779B1u) & kMask;
        x ^= x >> 13;
        x = (x * 0x85EBCA6Bu) & kMask;
        x ^= x >> 15;
        x = (x * 0xC2B2AE35u) & kMask;
        x ^= x >> 11;
        return (x ^ k2) & kMask;
    }
};

class Generator {
public:
    Generator(Out& out, std::uint64_t seed, bool ascending)
        : out_(out), rng_(seed), ascending_(ascending) {
        Rng k(seed ^ 0x5EED5EED5EED5EEDull);
        scr_.k1 = static_cast<std::uint32_t>(k.next());
        scr_.k2 = static_cast<std::uint32_t>(k.next());
        nodes_.reserve(512);
        order_.reserve(512);
    }

    Stats run(std::uint64_t target) {
        header();
        // Characters make about 3% of the sections; loose items fill in.
        while (out_.bytes() < target) {
            if (static_cast<double>(st_.chars) * 33.3 + jitter_ <= static_cast<double>(sections_)) {
                bool player = rng_.chance(3000);
                if (player) unit_player(); else unit_npc();
                jitter_ = static_cast<double>(rng_.below(40)) - 20.0;
            } else if (rng_.chance(8)) {
                other_section();
            } else {
                unit_loose();
            }
        }
        out_.reserve();
        out_.line("[EOF]");
        out_.finish();
        return st_;
    }

private:
    // ---- unit construction

    int add(NodeType t, int parent) {
        Node n;
        n.type = t;
        n.parent = parent;
        if (parent >= 0) {
            Node& p = nodes_[static_cast<std::size_t>(parent)];
            n.depth = static_cast<std::uint8_t>(p.type == NChar ? 1 : p.depth + 1);
            int idx = static_cast<int>(nodes_.size());
            if (p.last < 0) p.first = idx; else nodes_[static_cast<std::size_t>(p.last)].sibling = idx;
            p.last = idx;
        } else {
            n.depth = 1;
        }
        nodes_.push_back(n);
        return static_cast<int>(nodes_.size()) - 1;
    }
    int item(int parent, const Kind* k) {
        int i = add(NItem, parent);
        nodes_[static_cast<std::size_t>(i)].kind = k;
        return i;
    }
    // A leaf held by `parent`; now and then one of the contraband kinds.
    int leaf(int parent) {
        const Kind* k = rng_.chance(25) ? &rng_.pick(kIllegal) : &rng_.pick(kLeaves);
        int i = item(parent, k);
        // About 0.5% of held items come before their holder in the file.
        if (rng_.chance(55)) nodes_[static_cast<std::size_t>(i)].forward = true;
        return i;
    }
    void fill(int box, std::uint32_t lo, std::uint32_t hi) {
        std::uint32_t n = rng_.range(lo, hi);
        int depth = nodes_[static_cast<std::size_t>(box)].depth;
        for (std::uint32_t i = 0; i < n && nodes_.size() < 400; ++i) {
            // Items nest up to four deep: a container held at depth 3 holds
            // only leaves.
            if (depth < 3 && rng_.chance(1200)) {
                int sub = item(box, &rng_.pick(kSubBoxes));
                fill(sub, 1, 8);
            } else {
                leaf(box);
            }
        }
    }
    void clothes(int who, std::uint32_t lo, std::uint32_t hi) {
        if (rng_.chance(8000)) item(who, &kHair);
        if (rng_.chance(2500)) item(who, &kBeard);
        std::uint32_t n = rng_.range(lo, hi);
        for (std::uint32_t i = 0; i < n; ++i) {
            int c = item(who, &rng_.pick(kClothes));
            if (rng_.chance(55)) nodes_[static_cast<std::size_t>(c)].forward = true;
        }
    }
    int memory(int who) {
        int m = item(who, rng_.chance(5000) ? &kMemory0 : &kMemory);
        ++st_.memory;
        return m;
    }

    void unit_player() {
        begin_unit();
        int c = add(NChar, -1);
        nodes_[0].role = Player;
        nodes_[0].ck = &rng_.pick(kPlayerBodies);
        clothes(c, 2, 6);
        int pack = item(c, &kBackpack);
        fill(pack, 3, 22);
        // Some players hold memory objects too (guild, party); a player is
        // never a pet, whatever it holds.
        if (rng_.chance(1500)) {
            int m = memory(c);
            nodes_[static_cast<std::size_t>(m)].link = recent_item();
        }
        int bank = item(c, &kBankBox);
        fill(bank, 3, 30);
        emit_unit();
        players_.push_back(nodes_[0].serial);
        if (players_.size() > 256) players_.erase(players_.begin(), players_.begin() + 128);
    }

    void unit_npc() {
        begin_unit();
        int c = add(NChar, -1);
        // 12% pets of a recent player, 33% spawned by a recent spawn point.
        std::uint32_t r = rng_.below(100);
        CharRole role = PlainNpc;
        if (r < 12 && !players_.empty()) role = Pet;
        else if (r < 45 && !spawns_.empty()) role = SpawnedNpc;
        nodes_[0].role = role;
        nodes_[0].ck = role == Pet ? &rng_.pick(kPetBodies) : &rng_.pick(kNpcBodies);
        if (nodes_[0].ck->human) {
            clothes(c, 2, 5);
            if (rng_.chance(2000)) {
                int pack = item(c, &kBackpack);
                fill(pack, 1, 6);
            }
        }
        if (role == PlainNpc && rng_.chance(2000)) {
            int m = memory(c);
            nodes_[static_cast<std::size_t>(m)].link = recent_item();
        }
        if (role == SpawnedNpc) {
            int m = memory(c);
            nodes_[static_cast<std::size_t>(m)].link = spawns_[rng_.below(static_cast<std::uint32_t>(spawns_.size()))];
        }
        if (role == Pet) {
            // Sometimes an older memory object comes first in the file; the
            // owner's memory is read last, so it heads the NPC's item list.
            if (rng_.chance(2000)) {
                int old = memory(c);
                nodes_[static_cast<std::size_t>(old)].link = recent_item();
            }
            int m = memory(c);
            Node& mm = nodes_[static_cast<std::size_t>(m)];
            mm.link = players_[rng_.below(static_cast<std::uint32_t>(players_.size()))];
            mm.link_char = true;
        }
        emit_unit();
    }

    void unit_loose() {
        begin_unit();
        // 2% respawn points, 2% spawns, 0.35% contraband (a few of them
        // containers), 1.65% chests with contents, the rest decoration.
        std::uint32_t r = rng_.below(10000);
        if (r < 200) {
            item(-1, &kRespawn);
        } else if (r < 400) {
            item(-1, &kSpawn);
        } else if (r < 430) {
            item(-1, &rng_.pick(kIllegal));
        } else if (r < 435) {
            fill(item(-1, &rng_.pick(kIllegalBox)), 1, 4);
        } else if (r < 600) {
            fill(item(-1, &rng_.pick(kChests)), 1, 10);
        } else {
            item(-1, &rng_.pick(kDecor));
        }
        emit_unit();
        const Node& n = nodes_[0];
        if (n.kind->role == Spawn) {
            spawns_.push_back(n.serial);
            if (spawns_.size() > 256) spawns_.erase(spawns_.begin(), spawns_.begin() + 128);
        }
        recent_items_[recent_pos_++ & 63] = n.serial;
    }

    std::uint32_t recent_item() {
        std::uint32_t s = recent_items_[rng_.below(64)];
        return s;
    }

    void begin_unit() {
        nodes_.clear();
        order_.clear();
    }

    // File order: a node's forward-referenced children first, then the node,
    // then the rest of its children, each with its own subtree.
    void lay_out(int n) {
        const Node& nd = nodes_[static_cast<std::size_t>(n)];
        for (int c = nd.first; c >= 0; c = nodes_[static_cast<std::size_t>(c)].sibling)
            if (nodes_[static_cast<std::size_t>(c)].forward) order_.push_back(c);
        order_.push_back(n);
        for (int c = nd.first; c >= 0; c = nodes_[static_cast<std::size_t>(c)].sibling)
            if (!nodes_[static_cast<std::size_t>(c)].forward) lay_out(c);
    }

    std::uint32_t next_serial(NodeType t) {
        std::uint32_t n = t == NChar ? ++char_counter_ : ++item_counter_;
        return ascending_ ? n : scr_(n);
    }

    void emit_unit() {
        lay_out(0);
        for (int i : order_) {
            Node& n = nodes_[static_cast<std::size_t>(i)];
            n.serial = next_serial(n.type);
        }
        for (int i : order_) {
            out_.reserve();
            const Node& n = nodes_[static_cast<std::size_t>(i)];
            if (n.type == NChar) write_char(n); else write_item(n);
            ++sections_;
        }
    }

    // ---- rendering

    void char_serial(std::uint32_t s) {
        out_.str("0x");
        out_.hex(s, 8);
    }
    void item_serial(std::uint32_t s) {
        out_.str("04");
        out_.hex(s, 7);
    }
    void indent() {
        // Hand-edited saves carry stray indentation.
        if (rng_.chance(60)) out_.str(rng_.chance(5000) ? "\t" : "  ");
    }
    void head(const char* kind, const char* id, bool bare) {
        indent();
        out_.str(kind);
        out_.ch(' ');
        // ORV drops the leading 0 of some ids; the reader puts it back.
        if (bare && id[0] == '0' && id[1] != 0 && rng_.chance(1500)) ++id;
        out_.str(id);
        out_.ch(']');
        out_.eol();
    }
    void comment() {
        if (rng_.chance(40)) {
            out_.str(rng_.chance(5000) ? "// moved by GM" : "//    checked ");
            out_.dec(rng_.range(1, 9999));
            out_.eol();
        }
    }
    void world_pos() {
        out_.str("P=");
        out_.dec(rng_.range(0, 6143));
        out_.ch(',');
        out_.dec(rng_.range(0, 4095));
        out_.ch(',');
        out_.dec(static_cast<std::int64_t>(rng_.range(0, 70)) - 5);
        out_.eol();
    }
    void name(bool long_ok) {
        out_.str(rng_.pick(kNameParts));
        out_.str(rng_.pick(kNameEnds));
        if (rng_.chance(3000)) {
            out_.ch(' ');
            out_.str(rng_.pick(kNameParts));
            out_.str(rng_.pick(kNameEnds));
        }
        if (long_ok && rng_.chance(600)) {
            // Up to 40 characters: longer than the 30 the converter keeps.
            out_.str(rng_.pick(kTitles));
            out_.str(rng_.pick(kTitles));
        }
    }
    void hitpoints() {
        std::uint32_t max = rng_.range(10, 60);
        out_.str("HITPOINTS=");
        out_.dec(rng_.range(1, max));
        out_.ch(',');
        out_.dec(max);
        out_.eol();
    }
    // An item type that is neither a respawn point (69) nor a spawn (34).
    std::uint32_t plain_type() {
        std::uint32_t t = rng_.range(2, 120);
        return t == 34 || t == 69 ? t + 1 : t;
    }
    void kv(const char* key, std::int64_t v) {
        out_.str(key);
        out_.ch('=');
        out_.dec(v);
        out_.eol();
    }

    void write_char(const Node& n) {
        const CharKind& ck = *n.ck;
        const bool player = n.role == Player;
        head("[WORLDCHAR", ck.id, ck.bare);
        ++st_.chars;
        if (player) ++st_.players; else ++st_.npcs;
        if (n.role == Pet) ++st_.pets;
        if (n.role == SpawnedNpc) ++st_.spawned;

        std::uint32_t stats = player ? rng_.range(16, 30) : rng_.range(10, 18);
        // The account line is anywhere in a player's body, not always first.
        std::uint32_t account_at = player ? rng_.range(0, stats + 4) : ~0u;
        std::uint32_t at = 0;
        auto account = [&]() {
            if (at++ == account_at) {
                out_.str("ACCOUNT=");
                out_.str(rng_.pick(kNameParts));
                out_.dec(rng_.range(1, 99999));
                out_.eol();
            }
        };

        account();
        indent();
        out_.str("SERIAL=");
        char_serial(n.serial);
        out_.eol();
        account();
        // Most characters have a name; an unnamed pet shrinks as NAMELESS.
        if (player || !rng_.chance(n.role == Pet ? 1500 : 300)) {
            out_.str("NAME=");
            if (player) name(true);
            else if (n.role == Pet) out_.str(rng_.pick(kPetNames));
            else if (rng_.chance(5000)) name(false);
            else out_.str(rng_.pick(kNpcNames));
            out_.eol();
        }
        account();
        out_.str("OBODY=");
        out_.str(ck.id);
        out_.eol();
        out_.str("COLOR=");
        out_.str(rng_.pick(kColors));
        out_.eol();
        account();
        // A few players have no position line, a few have two.
        if (!(player && rng_.chance(100))) world_pos();
        if (rng_.chance(50)) world_pos();
        out_.str("FLAGS=");
        out_.str(rng_.pick(kCharFlags));
        out_.eol();
        comment();
        account();
        kv("DIR", rng_.below(8));
        kv("STR", rng_.range(10, 100));
        kv("DEX", rng_.range(10, 100));
        kv("INT", rng_.range(10, 100));
        for (std::uint32_t i = 0; i < stats; ++i) {
            account();
            if (i < 9) {
                indent();
                kv(kStats[i], static_cast<std::int64_t>(rng_.range(0, 10000)) - (i >= 7 ? 5000 : 0));
            } else {
                out_.str("SKILL_");
                out_.str(rng_.pick(kSkills));
                out_.ch('=');
                out_.dec(rng_.range(0, 1000));
                out_.eol();
            }
        }
        if (player) {
            out_.str("HOME=");
            out_.dec(rng_.range(1000, 4000));
            out_.ch(',');
            out_.dec(rng_.range(100, 3000));
            out_.str(",0");
            out_.eol();
        } else {
            kv("NPC", rng_.range(1, 12));
            if (ck.human) out_.line("SPEECH=spk_human_prime");
            if (n.role == Pet) kv("ACTION", 20);
        }
        if (player)
            while (at <= account_at) account();
        out_.eol();  // ORV leaves a blank line after each section
    }

    void write_item(const Node& n) {
        const Kind& k = *n.kind;
        head("[WORLDITEM", k.id, k.bare);
        ++st_.items;
        if (n.parent < 0) ++st_.loose; else ++st_.contained;
        if (n.forward) ++st_.forward;
        if (n.depth > st_.max_depth) st_.max_depth = n.depth;
        if (k.role == Box) ++st_.containers;
        if (k.role == Respawn) ++st_.respawn69;
        if (k.role == Spawn) ++st_.spawn34;
        if (std::strcmp(k.id, "0186b") == 0 || std::strcmp(k.id, "01f14") == 0) ++st_.illegal;

        indent();
        out_.str("SERIAL=");
        item_serial(n.serial);
        out_.eol();
        if (k.role == Memory) {
            out_.str("LINK=");
            if (n.link == 0) {
                // nothing to link to yet
            } else if (n.link_char) {
                char_serial(n.link);
            } else {
                item_serial(n.link);
            }
            out_.eol();
        }
        if (n.parent < 0) {
            world_pos();
        } else {
            out_.str("P=");
            out_.dec(rng_.range(20, 150));
            out_.ch(',');
            out_.dec(rng_.range(20, 150));
            out_.str(",0");
            out_.eol();
            out_.str("CONT=");
            const Node& holder = nodes_[static_cast<std::size_t>(n.parent)];
            if (holder.type == NChar) char_serial(holder.serial); else item_serial(holder.serial);
            out_.eol();
        }
        comment();
        switch (k.role) {
        case Stack:
            kv("AMOUNT", rng_.chance(3000) ? rng_.range(1, 60000) : rng_.range(1, 50));
            break;
        case Cloth:
            kv("LAYER", k.layer);
            hitpoints();
            break;
        case Box:
            out_.line("TYPE=1");
            if (rng_.chance(1000)) kv("MORE1", rng_.range(1, 100000));
            break;
        case Memory:
            out_.str("MORE1=0");
            out_.hex(rng_.range(1, 0xffff), 1);
            out_.eol();
            kv("MORE2", rng_.range(0, 2000000));
            break;
        case Respawn:
            out_.line("TYPE=69");
            out_.str("MORE1=0");
            out_.hex(rng_.range(0x1000, 0x4000), 1);
            out_.eol();
            kv("MORE2", rng_.range(1, 30));
            break;
        case Spawn:
            out_.line("TYPE=34");
            out_.str("MORE1=0");
            out_.hex(rng_.range(0x01, 0x3ff), 1);
            out_.eol();
            kv("MORE2", rng_.range(1, 8));
            kv("AMOUNT", rng_.range(1, 5));
            break;
        case Leaf:
            if (rng_.chance(2000)) kv("TYPE", plain_type());
            if (rng_.chance(5000)) hitpoints();
            kv("MORE1", rng_.range(0, 5000));
            if (rng_.chance(5000)) kv("MORE2", rng_.range(0, 5000));
            break;
        case Decor:
            if (rng_.chance(3000)) kv("TYPE", plain_type());
            break;
        }
        if (rng_.chance(2500)) {
            out_.str("NAME=");
            out_.str(rng_.pick(kItemNames));
            out_.eol();
        }
        out_.str("COLOR=");
        out_.str(rng_.pick(kColors));
        out_.eol();
        out_.str("ATTR=");
        out_.str(rng_.pick(kAttrs));
        out_.eol();
        if (rng_.chance(1500)) kv("TIMER", rng_.range(0, 90000));
        out_.eol();
    }

    void header() {
        out_.reserve();
        out_.line("// ORV world save");
        out_.line("// written by ORV 0.55i -- do not edit while the server runs");
        out_.line("TITLE=ORV 0.55i");
        out_.line("VERSION=0.55i");
        out_.line("SAVECOUNT=1234");
        out_.line("TIME=5221344");
        out_.line("  PREVBUILD=5521");
        out_.line("// sections follow");
        out_.eol();
    }

    void other_section() {
        out_.reserve();
        ++st_.other;
        ++sections_;
        if (rng_.chance(5000)) {
            out_.str("[WORLDSCRIPT ");
            out_.str(rng_.pick(kScripts));
            out_.ch(']');
            out_.eol();
            out_.line("SERIAL=01");
            out_.line("MORE1=0");
            kv("TIMER", rng_.range(0, 5000));
        } else {
            out_.line("[GMPAGE 1]");
            out_.str("ACCOUNT=");
            out_.str(rng_.pick(kNameParts));
            out_.dec(rng_.range(1, 99999));
            out_.eol();
            out_.line("REASON=stuck in a wall near the bank");
            out_.line("TIME=5221200");
            world_pos();
        }
        out_.eol();
    }

    Out& out_;
    Rng rng_;
    bool ascending_;
    Scramble scr_{};
    std::vector<Node> nodes_;
    std::vector<int> order_;
    std::vector<std::uint32_t> players_;
    std::vector<std::uint32_t> spawns_;
    std::uint32_t recent_items_[64] = {};
    std::uint32_t recent_pos_ = 0;
    std::uint32_t char_counter_ = 0;
    std::uint32_t item_counter_ = 0;
    std::uint64_t sections_ = 0;
    double jitter_ = 0;
    Stats st_;
};

// ---------------------------------------------------------------- command line

const char kUsage[] =
    "usage: gen_world --size BYTES|256M|1G --seed N --order random|ascending --out PATH [--stats]\n"
    "\n"
    "Writes a synthetic ORV world save of about BYTES bytes (suffixes K, M, G are\n"
    "powers of 1024). The same arguments always give the same file.\n"
    "  --size    target size (default 16M)\n"
    "  --seed    seed of the random generator (default 1)\n"
    "  --order   random: serials in scrambled order (default);\n"
    "            ascending: serials rise in file order\n"
    "  --out     file to write ('-' for standard output)\n"
    "  --stats   print what was written to standard error\n";

bool parse_size(const char* s, std::uint64_t& out) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s, &end, 10);
    if (errno || end == s) return false;
    std::uint64_t mul = 1;
    if (*end == 'K' || *end == 'k') mul = 1ull << 10, ++end;
    else if (*end == 'M' || *end == 'm') mul = 1ull << 20, ++end;
    else if (*end == 'G' || *end == 'g') mul = 1ull << 30, ++end;
    if (*end == 'i' && end[1] == 'B') end += 2;
    else if (*end == 'B' && mul > 1) ++end;
    if (*end) return false;
    out = v * mul;
    return true;
}

int fail(const char* msg, const char* arg = nullptr) {
    std::fprintf(stderr, "gen_world: %s%s%s\n", msg, arg ? " " : "", arg ? arg : "");
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t size = 16ull << 20;
    std::uint64_t seed = 1;
    bool ascending = false;
    bool stats = false;
    const char* path = nullptr;

    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--size") {
            const char* v = value();
            if (!v || !parse_size(v, size)) return fail("bad --size", v);
        } else if (a == "--seed") {
            const char* v = value();
            char* end = nullptr;
            if (!v) return fail("missing --seed value");
            seed = std::strtoull(v, &end, 0);
            if (*end) return fail("bad --seed", v);
        } else if (a == "--order") {
            const char* v = value();
            std::string_view o = v ? v : "";
            if (o == "random") ascending = false;
            else if (o == "ascending") ascending = true;
            else return fail("bad --order", v);
        } else if (a == "--out") {
            path = value();
            if (!path) return fail("missing --out value");
        } else if (a == "--stats") {
            stats = true;
        } else {
            return fail("unknown argument", argv[i]);
        }
    }
    if (!path) return fail("--out is required");

    std::FILE* f = std::strcmp(path, "-") == 0 ? stdout : std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "gen_world: cannot open %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    std::setvbuf(f, nullptr, _IONBF, 0);

    Out out(f);
    Generator gen(out, seed, ascending);
    Stats st = gen.run(size);
    bool bad = out.failed();
    if (f != stdout) bad = std::fclose(f) != 0 || bad;
    else bad = std::fflush(f) != 0 || bad;
    if (bad) {
        std::fprintf(stderr, "gen_world: writing %s failed: %s\n", path, std::strerror(errno));
        return 1;
    }
    if (stats) {
        std::fprintf(stderr,
                     "bytes %llu  lines %llu\n"
                     "chars %llu (players %llu, npcs %llu: pets %llu, spawned %llu)\n"
                     "items %llu (loose %llu, held %llu, containers %llu, memory objects %llu)\n"
                     "respawn TYPE=69 %llu  spawn TYPE=34 %llu  illegal kinds %llu\n"
                     "forward references %llu  deepest item %u  other sections %llu\n",
                     (unsigned long long)out.bytes(), (unsigned long long)out.lines(),
                     (unsigned long long)st.chars, (unsigned long long)st.players,
                     (unsigned long long)st.npcs, (unsigned long long)st.pets,
                     (unsigned long long)st.spawned, (unsigned long long)st.items,
                     (unsigned long long)st.loose, (unsigned long long)st.contained,
                     (unsigned long long)st.containers, (unsigned long long)st.memory,
                     (unsigned long long)st.respawn69, (unsigned long long)st.spawn34,
                     (unsigned long long)st.illegal, (unsigned long long)st.forward, st.max_depth,
                     (unsigned long long)st.other);
    }
    return 0;
}
