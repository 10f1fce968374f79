// The writer and the untrusted reader of match state bytes, in the same order; each record's
// fields come from its list (state_fields.h). Layout: "ZSNP", the version, then the board,
// heroes, departed heroes, clouds, the MacGuffin, sparkle owners, both particle lists (each
// particle its kind byte and fields), paddles, held keys, the random generator, the effects'
// variant orders and the music. Counts are 32-bit.
#include "match/match_state_codec.h"

#include "base/rules.h"
#include "effects/mac_guffin_flare.h"
#include "framework/bits_as.h"
#include "match/match_state_bounds.h"
#include "match/state_bytes.h"

#include <array>
#include <string>

namespace zindle {

namespace {

constexpr std::uint8_t kMagic[4] = {'Z', 'S', 'N', 'P'};

// What a game can hold, with room to spare; a count beyond it is an attack or corruption.
constexpr std::size_t kMaxFlags = 16;
constexpr std::size_t kMaxHeroes = 16;
constexpr std::size_t kMaxDeparted = 256;
constexpr std::size_t kMaxClouds = 256;
constexpr std::size_t kMaxFlares = 16;
constexpr std::size_t kMaxOwners = 4096;
constexpr std::size_t kMaxParticles = kMaxMatchParticles;
constexpr std::size_t kMaxPaddles = 16;
constexpr std::size_t kMaxKeyStates = 1024;
constexpr std::size_t kMaxEffectLists = 64;
constexpr std::size_t kMaxVariants = 64;

template <class S> void writeRecords(StateWriter& w, const std::vector<S>& records) {
    w.count(records.size());
    for (const S& record : records)
        StateFields<S>::visit(w, record);
}

template <class S>
void readRecords(StateReader& r, const MatchState& read, std::vector<S>& records, std::size_t limit,
                 const char* what) {
    const std::size_t n = r.count(limit, leastBytes<S>(), what);
    FieldReader fields(r, read);
    for (std::size_t i = 0; i < n; ++i)
        StateFields<S>::visit(fields, records.emplace_back());
}

void writeList(StateWriter& w, const ParticlesState& p, const std::vector<ParticleKind>& kinds,
               std::array<std::size_t, kParticleKinds>& next) {
    w.count(kinds.size());
    for (const ParticleKind kind : kinds) {
        w.u8(static_cast<std::uint8_t>(kind));
        // A kind no game makes (a state put together by hand) is written bare; the reader
        // refuses it.
        if (static_cast<std::size_t>(kind) >= kParticleKinds)
            continue;
        const std::size_t i = next[static_cast<std::size_t>(kind)]++;
        withParticleKind(p, kind, [&](auto, const auto& records) {
            const auto& record = records.at(i);
            FieldsOf<std::remove_reference_t<decltype(record)>>::visit(w, record);
        });
    }
}

void readList(StateReader& r, MatchState& s, std::vector<ParticleKind>& kinds) {
    const std::size_t n = r.count(kMaxParticles, 1 + leastBytes<ParticleState>(), "particles");
    kinds.reserve(n);
    FieldReader fields(r, s);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t code = r.u8();
        if (code >= kParticleKinds)
            r.fail("an unknown particle kind (" + std::to_string(code) + ")");
        const auto kind = static_cast<ParticleKind>(code);
        kinds.push_back(kind);
        withParticleKind(s.particles, kind, [&](auto, auto& records) {
            auto& record = records.emplace_back();
            FieldsOf<std::remove_reference_t<decltype(record)>>::visit(fields, record);
        });
    }
}

} // namespace

void writeMatchState(const MatchState& s, std::vector<std::uint8_t>& out) {
    StateWriter w(out);
    for (std::uint8_t b : kMagic)
        w.u8(b);
    w.u32(kMatchStateVersion);
    w.flag(s.captured);
    BoardFields::visit(w, s);
    TallyFields::visit(w, s);
    w.count(s.aiFlags.size());
    for (const bool ai : s.aiFlags)
        w.flag(ai);

    writeRecords(w, s.heroes);
    writeRecords(w, s.departed);
    writeRecords(w, s.clouds);
    w.flag(s.hasMacGuffin);
    if (s.hasMacGuffin) {
        StateFields<MacGuffinState>::visit(w, s.macGuffin);
        writeRecords(w, s.macGuffin.flares);
    }

    const ParticlesState& p = s.particles;
    writeRecords(w, p.owners);
    std::array<std::size_t, kParticleKinds> next{};
    writeList(w, p, p.trailKinds, next);
    writeList(w, p, p.sparkleKinds, next);

    writeRecords(w, s.paddles);
    w.count(s.keyStates.size());
    for (const auto& [key, held] : s.keyStates) {
        w.i32(key);
        w.flag(held);
    }

    w.u64(s.random.seed);
    w.u64(s.random.draws);
    w.u32(static_cast<std::uint32_t>(s.random.generator.next));
    for (const std::uint64_t word : s.random.generator.words)
        w.u64(word);

    w.count(s.effectOrders.size());
    for (const auto& order : s.effectOrders) {
        w.count(order.size());
        for (const std::uint8_t k : order)
            w.u8(k);
    }
    w.u8(static_cast<std::uint8_t>(s.music));
}

MatchState readMatchState(std::span<const std::uint8_t> bytes) {
    StateReader r(bytes);
    MatchState s;
    FieldReader fields(r, s);
    for (std::uint8_t b : kMagic) {
        if (r.u8() != b)
            r.fail("not a match state (no magic)");
    }
    const std::uint32_t version = r.u32();
    if (version != kMatchStateVersion)
        r.fail("version " + std::to_string(version) + " where " +
               std::to_string(kMatchStateVersion) + " is read");
    s.captured = r.flag();
    BoardFields::visit(fields, s);
    TallyFields::visit(fields, s);
    const std::size_t flags = r.count(kMaxFlags, 1, "computer flags");
    for (std::size_t i = 0; i < flags; ++i)
        s.aiFlags.push_back(r.flag());

    readRecords(r, s, s.heroes, kMaxHeroes, "heroes");
    readRecords(r, s, s.departed, kMaxDeparted, "heroes");
    readRecords(r, s, s.clouds, kMaxClouds, "clouds");
    s.hasMacGuffin = r.flag();
    if (s.hasMacGuffin) {
        StateFields<MacGuffinState>::visit(fields, s.macGuffin);
        readRecords(r, s, s.macGuffin.flares, kMaxFlares, "flares");
    }

    ParticlesState& p = s.particles;
    const std::size_t owners = r.count(kMaxOwners, leastBytes<SparkleOwner>(), "sparkle owners");
    for (std::size_t i = 0; i < owners; ++i) {
        const std::size_t at = r.at();
        SparkleOwner& o = p.owners.emplace_back();
        StateFields<SparkleOwner>::visit(fields, o);
        if (o.listed >= 0 && o.departed >= 0)
            r.failAt(at, "an owner both listed and departed");
    }
    readList(r, s, p.trailKinds);
    readList(r, s, p.sparkleKinds);

    readRecords(r, s, s.paddles, kMaxPaddles, "paddles");
    const std::size_t keys = r.count(kMaxKeyStates, 5, "key states");
    for (std::size_t i = 0; i < keys; ++i) {
        const int key = r.i32();
        // In the order of the game's map, each key once.
        if (!s.keyStates.empty() && key <= s.keyStates.back().first)
            r.fail("key states out of order");
        s.keyStates.emplace_back(key, r.flag());
    }

    s.random.seed = r.u64();
    s.random.draws = r.u64();
    s.random.generator.next = r.u32();
    if (s.random.generator.next > MersenneTwister64::kWords)
        r.fail("a random generator position out of range");
    for (std::uint64_t& word : s.random.generator.words)
        word = r.u64();

    const std::size_t lists = r.count(kMaxEffectLists, 4, "effect lists");
    for (std::size_t i = 0; i < lists; ++i) {
        auto& order = s.effectOrders.emplace_back();
        const std::size_t n = r.count(kMaxVariants, 1, "effect variants");
        for (std::size_t k = 0; k < n; ++k)
            order.push_back(r.u8());
    }
    const std::uint8_t music = r.u8();
    if (music > static_cast<std::uint8_t>(MusicChoice::Other))
        r.fail("an unknown music choice");
    s.music = static_cast<MusicChoice>(music);
    if (!r.atEnd())
        r.fail("bytes after the end");
    // Well formed, but it must also be a state the game could be in.
    if (const auto problem = matchStateOutOfBounds(s))
        throw MatchStateError("match state: " + *problem);
    return s;
}

} // namespace zindle
