#pragma once
// The byte writer and untrusted reader under the match state codec, and the walks that write and
// read a state record by its field list (state_fields.h). Numbers are little-endian, doubles go
// by their bits, integers 32 bits and tallies 64, flags one byte, texts and lists a 32-bit count
// first.
#include "framework/bits_as.h"
#include "match/match_state_codec.h"
#include "match/state_fields.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zindle {

class StateWriter {
public:
    explicit StateWriter(std::vector<std::uint8_t>& out) : out_(out) { out_.clear(); }

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

    // A field list's walk.
    void operator()(const Field&, double v) { number(v); }
    void operator()(const Field&, int v) { i32(v); }
    void operator()(const Field&, std::int64_t v) { i64(v); }
    void operator()(const Field&, bool v) { flag(v); }
    void operator()(const Field&, const std::string& v) { text(v); }
    void operator()(const Field&, const std::vector<int>& v) {
        count(v.size());
        for (const int k : v)
            i32(k);
    }
    void operator()(const Link&, std::int32_t v) { i32(v); }
    template <class B, class S> void operator()(Base<B>, const S& s) {
        StateFields<B>::visit(*this, s);
    }

private:
    std::vector<std::uint8_t>& out_;
};

class StateReader {
public:
    explicit StateReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[noreturn]] void fail(const std::string& problem) const { failAt(field_, problem); }
    [[noreturn]] void failAt(std::size_t at, const std::string& problem) const {
        throw MatchStateError("match state: " + problem + " at byte " + std::to_string(at));
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

// Reads a record's fields, each checked as its list says; links are checked against the lists of
// the state read so far (owners come after the heroes, sparkles after the owners).
class FieldReader {
public:
    FieldReader(StateReader& r, const MatchState& read) : r_(r), read_(read) {}

    void operator()(const Field&, double& v) { v = r_.number(); }
    void operator()(const Field& f, int& v) {
        v = f.what ? r_.intIn(f.lowest, f.highest, f.what) : r_.i32();
    }
    void operator()(const Field&, std::int64_t& v) { v = r_.i64(); }
    void operator()(const Field&, bool& v) { v = r_.flag(); }
    void operator()(const Field& f, std::string& v) {
        v = r_.text(static_cast<std::size_t>(f.highest), f.what);
    }
    void operator()(const Field& f, std::vector<int>& v) {
        const std::size_t n = r_.count(static_cast<std::size_t>(f.highest), 4, f.what);
        for (std::size_t k = 0; k < n; ++k)
            v.push_back(r_.i32());
    }
    void operator()(const Link& link, std::int32_t& v) {
        v = r_.intIn(-1, static_cast<int>(size(link.to)) - 1, link.what);
    }
    template <class B, class S> void operator()(Base<B>, S& s) { StateFields<B>::visit(*this, s); }

private:
    std::size_t size(LinkTo to) const {
        switch (to) {
        case LinkTo::Heroes:
            return read_.heroes.size();
        case LinkTo::Departed:
            return read_.departed.size();
        case LinkTo::SparkleOwners:
            return read_.particles.owners.size();
        }
        return 0;
    }

    StateReader& r_;
    const MatchState& read_;
};

// Counts the bytes of a record's fields, each text and list empty.
struct LeastBytesCounter {
    std::size_t n = 0;
    void operator()(const Field&, double) { n += 8; }
    void operator()(const Field&, int) { n += 4; }
    void operator()(const Field&, std::int64_t) { n += 8; }
    void operator()(const Field&, bool) { n += 1; }
    void operator()(const Field&, const std::string&) { n += 4; }
    void operator()(const Field&, const std::vector<int>&) { n += 4; }
    void operator()(const Link&, std::int32_t) { n += 4; }
    template <class B, class R> void operator()(Base<B>, const R& r) {
        StateFields<B>::visit(*this, r);
    }
};

// The fewest bytes a record of type S takes: what a count of them must be backed by.
template <class S> std::size_t leastBytes() {
    const S record{};
    LeastBytesCounter counter;
    StateFields<S>::visit(counter, record);
    return counter.n;
}

} // namespace zindle
