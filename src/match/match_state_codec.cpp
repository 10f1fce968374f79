// The writer and the untrusted reader of match state bytes, field for field in the same order.
// Layout: "ZSNP", the version, then the board, heroes, departed heroes, clouds, the MacGuffin,
// sparkle owners, both particle lists (each particle its kind byte and fields), paddles, held
// keys, the random generator, the effects' variant orders and the music. Counts are 32-bit.
#include "match/match_state_codec.h"

#include "match/match_state_bounds.h"

#include "effects/mac_guffin_flare.h"
#include "framework/bits_as.h"
#include "match/rules.h"

#include <array>
#include <cmath>
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
constexpr std::size_t kMaxPaddleKeys = 16;
constexpr std::size_t kMaxKeyStates = 1024;
constexpr std::size_t kMaxEffectLists = 64;
constexpr std::size_t kMaxVariants = 64;
constexpr std::size_t kMaxFrameName = kMaxParticlePictureName;
constexpr int kMacGuffinStates = 3;

class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) { out_.clear(); }

    void u8(std::uint8_t v) { out_.push_back(v); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void number(double v) { u64(bitsAs<std::uint64_t>(v)); }
    void flag(bool v) { u8(v ? 1 : 0); }
    void count(std::size_t n) { u32(static_cast<std::uint32_t>(n)); }
    void text(const std::string& s) {
        count(s.size());
        out_.insert(out_.end(), s.begin(), s.end());
    }

private:
    std::vector<std::uint8_t>& out_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[noreturn]] void fail(const std::string& problem) const {
        throw MatchStateError("match state: " + problem + " at byte " + std::to_string(field_));
    }

    std::uint8_t u8() { return *take(1); }
    std::uint32_t u32() {
        const std::uint8_t* p = take(4);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
        return v;
    }
    std::uint64_t u64() {
        const std::uint8_t* p = take(8);
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
        return v;
    }
    int i32() { return static_cast<int>(static_cast<std::int32_t>(u32())); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    // The game never holds infinities or NaN; one from outside could reach drawing and casts.
    double number() {
        const double v = bitsAs<double>(u64());
        if (!std::isfinite(v))
            fail("a number that is not finite");
        return v;
    }
    bool flag() {
        const std::uint8_t v = u8();
        if (v > 1)
            fail("a flag that is neither 0 nor 1");
        return v == 1;
    }
    int intIn(int lowest, int highest, const char* what) {
        const int v = i32();
        if (v < lowest || v > highest)
            fail(std::string(what) + " out of range (" + std::to_string(v) + ")");
        return v;
    }
    // A count of at most limit things of at least minBytes bytes each that the rest can hold:
    // nothing is reserved for counts the bytes cannot back.
    std::size_t count(std::size_t limit, std::size_t minBytes, const char* what) {
        const std::size_t n = u32();
        if (n > limit)
            fail(std::string("too many ") + what + " (" + std::to_string(n) + ")");
        if (n * minBytes > bytes_.size() - at_)
            fail(std::string("more ") + what + " than the bytes hold");
        return n;
    }
    std::string text(std::size_t limit, const char* what) {
        const std::size_t n = count(limit, 1, what);
        const std::uint8_t* p = take(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] < 0x20 || p[i] > 0x7E)
                fail(std::string("a character that is not printable in ") + what);
        }
        return std::string(reinterpret_cast<const char*>(p), n);
    }
    bool atEnd() const { return at_ == bytes_.size(); }
    std::size_t at() const { return at_; }

private:
    const std::uint8_t* take(std::size_t n) {
        field_ = at_;
        if (bytes_.size() - at_ < n)
            fail("the bytes end too early");
        const std::uint8_t* p = bytes_.data() + at_;
        at_ += n;
        return p;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    std::size_t field_ = 0;
};

// Smallest encodings, for the counts' plausibility.
constexpr std::size_t kHeroBytes = 12 * 8 + 7 * 4 + 3;
constexpr std::size_t kCloudBytes = 3 * 8 + 5 * 4;
constexpr std::size_t kFlareBytes = 2 * 8 + 2 * 4;
constexpr std::size_t kOwnerBytes = 2 * 4 + 2 * 8;
constexpr std::size_t kParticleBytes = 1 + 4 * 8;
constexpr std::size_t kPaddleBytes = 2 * 4 + 1 + 3 * 8 + 4;

void writeHero(Writer& w, const HeroState& h) {
    w.number(h.x);
    w.number(h.y);
    w.i32(h.player);
    w.i32(h.lives);
    w.i32(h.facing);
    w.number(h.dx);
    w.number(h.dy);
    w.flag(h.invulnerable);
    w.number(h.hueDir);
    w.i32(h.spawnX);
    w.i32(h.spawnY);
    w.i32(h.score);
    w.i32(h.highScore);
    w.flag(h.hasRainbow);
    w.number(h.rainbowCooldown);
    w.number(h.sparkleCooldown);
    w.flag(h.hasCrown);
    w.number(h.crowniness);
    w.number(h.aiThinkCooldown);
    w.number(h.aiDesiredDx);
}

HeroState readHero(Reader& r) {
    HeroState h;
    h.x = r.number();
    h.y = r.number();
    h.player = r.intIn(0, rules::kPlayers - 1, "a hero's player");
    h.lives = r.i32();
    h.facing = r.i32();
    h.dx = r.number();
    h.dy = r.number();
    h.invulnerable = r.flag();
    h.hueDir = r.number();
    h.spawnX = r.i32();
    h.spawnY = r.i32();
    h.score = r.i32();
    h.highScore = r.i32();
    h.hasRainbow = r.flag();
    h.rainbowCooldown = r.number();
    h.sparkleCooldown = r.number();
    h.hasCrown = r.flag();
    h.crowniness = r.number();
    h.aiThinkCooldown = r.number();
    h.aiDesiredDx = r.number();
    return h;
}

void writeBase(Writer& w, const ParticleState& p) {
    w.number(p.x);
    w.number(p.y);
    w.number(p.life);
    w.number(p.initialLife);
}

void readBase(Reader& r, ParticleState& p) {
    p.x = r.number();
    p.y = r.number();
    p.life = r.number();
    p.initialLife = r.number();
}

void writeMoving(Writer& w, const MovingParticleState& p) {
    writeBase(w, p);
    w.number(p.dx);
    w.number(p.dy);
}

void readMoving(Reader& r, MovingParticleState& p) {
    readBase(r, p);
    p.dx = r.number();
    p.dy = r.number();
}

void writeList(Writer& w, const ParticlesState& p, const std::vector<ParticleKind>& kinds,
               std::array<std::size_t, kParticleKinds>& next) {
    w.count(kinds.size());
    for (const ParticleKind kind : kinds) {
        w.u8(static_cast<std::uint8_t>(kind));
        // A kind no game makes (a state put together by hand) is written bare; the reader
        // refuses it.
        if (static_cast<std::size_t>(kind) >= kParticleKinds)
            continue;
        const std::size_t i = next[static_cast<std::size_t>(kind)]++;
        switch (kind) {
        case ParticleKind::Plain:
            writeBase(w, p.plain.at(i));
            break;
        case ParticleKind::Rain:
            writeMoving(w, p.rain.at(i));
            break;
        case ParticleKind::Rainbow:
            writeBase(w, p.rainbow.at(i));
            w.text(p.rainbow.at(i).frame);
            break;
        case ParticleKind::Ascend:
            writeBase(w, p.ascend.at(i));
            w.text(p.ascend.at(i).frame);
            break;
        case ParticleKind::Win:
            writeMoving(w, p.win.at(i));
            w.number(p.win.at(i).rainbowCooldown);
            w.number(p.win.at(i).sparkleCooldown);
            break;
        case ParticleKind::MacGuffinDrop:
            writeMoving(w, p.drop.at(i));
            break;
        case ParticleKind::HeroSparkle:
            writeBase(w, p.heroSparkle.at(i));
            w.i32(p.heroSparkle.at(i).owner);
            break;
        case ParticleKind::SimpleSparkle:
            writeMoving(w, p.simpleSparkle.at(i));
            break;
        }
    }
}

void readList(Reader& r, ParticlesState& p, std::vector<ParticleKind>& kinds) {
    const std::size_t n = r.count(kMaxParticles, kParticleBytes, "particles");
    kinds.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t code = r.u8();
        if (code >= kParticleKinds)
            r.fail("an unknown particle kind (" + std::to_string(code) + ")");
        const auto kind = static_cast<ParticleKind>(code);
        kinds.push_back(kind);
        switch (kind) {
        case ParticleKind::Plain:
            readBase(r, p.plain.emplace_back());
            break;
        case ParticleKind::Rain:
            readMoving(r, p.rain.emplace_back());
            break;
        case ParticleKind::Rainbow:
            readBase(r, p.rainbow.emplace_back());
            p.rainbow.back().frame = r.text(kMaxFrameName, "a particle's picture");
            break;
        case ParticleKind::Ascend:
            readBase(r, p.ascend.emplace_back());
            p.ascend.back().frame = r.text(kMaxFrameName, "a particle's picture");
            break;
        case ParticleKind::Win:
            readMoving(r, p.win.emplace_back());
            p.win.back().rainbowCooldown = r.number();
            p.win.back().sparkleCooldown = r.number();
            break;
        case ParticleKind::MacGuffinDrop:
            readMoving(r, p.drop.emplace_back());
            break;
        case ParticleKind::HeroSparkle:
            readBase(r, p.heroSparkle.emplace_back());
            p.heroSparkle.back().owner =
                r.intIn(-1, static_cast<int>(p.owners.size()) - 1, "a sparkle's owner");
            break;
        case ParticleKind::SimpleSparkle:
            readMoving(r, p.simpleSparkle.emplace_back());
            break;
        }
    }
}

} // namespace

void writeMatchState(const MatchState& s, std::vector<std::uint8_t>& out) {
    Writer w(out);
    for (std::uint8_t b : kMagic)
        w.u8(b);
    w.u32(kMatchStateVersion);
    w.flag(s.captured);
    w.number(s.boardTime);
    w.number(s.shake);
    w.number(s.titleAlpha);
    w.number(s.gameTimeout);
    w.number(s.slomo);
    w.i32(s.lastWinner);
    w.i64(s.catches);
    w.i64(s.falls);
    w.i64(s.wins);
    w.count(s.aiFlags.size());
    for (const bool ai : s.aiFlags)
        w.flag(ai);

    for (const auto* heroes : {&s.heroes, &s.departed}) {
        w.count(heroes->size());
        for (const HeroState& h : *heroes)
            writeHero(w, h);
    }
    w.count(s.clouds.size());
    for (const CloudState& c : s.clouds) {
        w.number(c.x);
        w.number(c.y);
        w.i32(c.x0);
        w.i32(c.y0);
        w.i32(c.x1);
        w.i32(c.y1);
        w.number(c.hitCooldown);
        w.i32(c.size);
    }
    w.flag(s.hasMacGuffin);
    if (s.hasMacGuffin) {
        w.number(s.macGuffin.x);
        w.number(s.macGuffin.y);
        w.i32(s.macGuffin.state);
        w.number(s.macGuffin.stateCooldown);
        w.count(s.macGuffin.flares.size());
        for (const FlareState& f : s.macGuffin.flares) {
            w.number(f.x);
            w.number(f.y);
            w.i32(f.frame);
            w.i32(f.frameCooldown);
        }
    }

    const ParticlesState& p = s.particles;
    w.count(p.owners.size());
    for (const SparkleOwner& o : p.owners) {
        w.i32(o.listed);
        w.i32(o.departed);
        w.number(o.x);
        w.number(o.y);
    }
    std::array<std::size_t, kParticleKinds> next{};
    writeList(w, p, p.trailKinds, next);
    writeList(w, p, p.sparkleKinds, next);

    w.count(s.paddles.size());
    for (const PaddleState& paddle : s.paddles) {
        for (const auto* keys : {&paddle.leftKeys, &paddle.rightKeys}) {
            w.count(keys->size());
            for (const int key : *keys)
                w.i32(key);
        }
        w.flag(paddle.usesAccelerometer);
        w.number(paddle.digitalSmoothed);
        w.number(paddle.output);
        w.i32(paddle.facing);
        w.number(paddle.pad);
    }
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
    Reader r(bytes);
    MatchState s;
    for (std::uint8_t b : kMagic) {
        if (r.u8() != b)
            r.fail("not a match state (no magic)");
    }
    const std::uint32_t version = r.u32();
    if (version != kMatchStateVersion)
        r.fail("version " + std::to_string(version) + " where " +
               std::to_string(kMatchStateVersion) + " is read");
    s.captured = r.flag();
    s.boardTime = r.number();
    s.shake = r.number();
    s.titleAlpha = r.number();
    s.gameTimeout = r.number();
    s.slomo = r.number();
    s.lastWinner = r.intIn(-1, rules::kPlayers - 1, "the last winner");
    s.catches = r.i64();
    s.falls = r.i64();
    s.wins = r.i64();
    const std::size_t flags = r.count(kMaxFlags, 1, "computer flags");
    for (std::size_t i = 0; i < flags; ++i)
        s.aiFlags.push_back(r.flag());

    for (auto* heroes : {&s.heroes, &s.departed}) {
        const std::size_t n =
            r.count(heroes == &s.heroes ? kMaxHeroes : kMaxDeparted, kHeroBytes, "heroes");
        for (std::size_t i = 0; i < n; ++i)
            heroes->push_back(readHero(r));
    }
    const std::size_t clouds = r.count(kMaxClouds, kCloudBytes, "clouds");
    for (std::size_t i = 0; i < clouds; ++i) {
        CloudState& c = s.clouds.emplace_back();
        c.x = r.number();
        c.y = r.number();
        c.x0 = r.i32();
        c.y0 = r.i32();
        c.x1 = r.i32();
        c.y1 = r.i32();
        c.hitCooldown = r.number();
        c.size = r.i32();
    }
    s.hasMacGuffin = r.flag();
    if (s.hasMacGuffin) {
        s.macGuffin.x = r.number();
        s.macGuffin.y = r.number();
        s.macGuffin.state = r.intIn(0, kMacGuffinStates - 1, "the MacGuffin's state");
        s.macGuffin.stateCooldown = r.number();
        const std::size_t flares = r.count(kMaxFlares, kFlareBytes, "flares");
        for (std::size_t i = 0; i < flares; ++i) {
            FlareState& f = s.macGuffin.flares.emplace_back();
            f.x = r.number();
            f.y = r.number();
            f.frame = r.intIn(0, MacGuffinFlare::FRAMES - 1, "a flare's frame");
            f.frameCooldown = r.i32();
        }
    }

    ParticlesState& p = s.particles;
    const std::size_t owners = r.count(kMaxOwners, kOwnerBytes, "sparkle owners");
    for (std::size_t i = 0; i < owners; ++i) {
        SparkleOwner& o = p.owners.emplace_back();
        o.listed = r.intIn(-1, static_cast<int>(s.heroes.size()) - 1, "a listed owner");
        o.departed = r.intIn(-1, static_cast<int>(s.departed.size()) - 1, "a departed owner");
        if (o.listed >= 0 && o.departed >= 0)
            r.fail("an owner both listed and departed");
        o.x = r.number();
        o.y = r.number();
    }
    readList(r, p, p.trailKinds);
    readList(r, p, p.sparkleKinds);

    const std::size_t paddles = r.count(kMaxPaddles, kPaddleBytes, "paddles");
    for (std::size_t i = 0; i < paddles; ++i) {
        PaddleState& paddle = s.paddles.emplace_back();
        for (auto* keys : {&paddle.leftKeys, &paddle.rightKeys}) {
            const std::size_t n = r.count(kMaxPaddleKeys, 4, "paddle keys");
            for (std::size_t k = 0; k < n; ++k)
                keys->push_back(r.i32());
        }
        paddle.usesAccelerometer = r.flag();
        paddle.digitalSmoothed = r.number();
        paddle.output = r.number();
        paddle.facing = r.i32();
        paddle.pad = r.number();
    }
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
