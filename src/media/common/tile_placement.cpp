// Placing a batch of drawn tiles: one pass over the triples that writes every record and keeps
// it only if it is drawn, so that the scattered particles of a fountain cost no mispredicted
// branches. On x86 both coordinates are rounded at once; any other processor, and any corner
// too far out for that, takes the plain path, which gives the same records.
#include "media/common/tile_placement.h"

#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zindle {

namespace {

// Places one tile at the corner (x, y) minus its centre; false when it is not drawn.
inline bool placeOne(double x, double y, const SheetTile& tile,
                     const std::optional<PictureBounds>& bounds, PlacedTile& out) {
    // Whole pixels: the picture has no finer grid, and a tile drawn across pixel boundaries
    // would gain or lose a column depending on the renderer.
    const auto left = static_cast<float>(roundHalfAway(x - tile.centre.x));
    const auto top = static_cast<float>(roundHalfAway(y - tile.centre.y));
    out = PlacedTile(left, top, 0);
    bool drawn = std::isfinite(left) & std::isfinite(top);
    if (bounds)
        drawn &= !outsidePicture(left, top, tile.rect, *bounds);
    return drawn;
}

inline bool knownId(double id, double known) {
    return id >= 0 && id < known;
}

} // namespace

double roundHalfAway(double x) {
    if (!(std::fabs(x) < 1e15))
        return std::round(x);
    // Exact: x minus its truncation is exact in a double.
    const auto whole = static_cast<double>(static_cast<long long>(x));
    const double fraction = x - whole;
    return whole + static_cast<double>(fraction >= 0.5) - static_cast<double>(fraction <= -0.5);
}

void placeTilesPlainly(std::span<const double> triples, std::span<const SheetTile> sheet,
                       std::optional<PictureBounds> bounds, std::vector<PlacedTile>& placed) {
    const std::size_t count = triples.size() / 3;
    const std::size_t start = placed.size();
    placed.resize(start + count);
    PlacedTile* out = placed.data() + start;
    std::size_t kept = 0;
    const auto known = static_cast<double>(sheet.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double* triple = triples.data() + 3 * i;
        if (!knownId(triple[2], known))
            continue;
        const bool drawn = placeOne(triple[0], triple[1],
                                    sheet[static_cast<std::size_t>(triple[2])], bounds, out[kept]);
        out[kept].id = static_cast<std::uint32_t>(triple[2]);
        kept += drawn ? 1 : 0;
    }
    placed.resize(start + kept);
}

#if defined(__SSE2__)
// Pairs of coordinates are loaded as one.
static_assert(offsetof(Point, y) == offsetof(Point, x) + sizeof(double));
static_assert(offsetof(Rectangle, height) == offsetof(Rectangle, width) + sizeof(double));
static_assert(offsetof(PlacedTile, top) == offsetof(PlacedTile, left) + sizeof(float));

void placeTiles(std::span<const double> triples, std::span<const SheetTile> sheet,
                std::optional<PictureBounds> bounds, std::vector<PlacedTile>& placed) {
    const std::size_t count = triples.size() / 3;
    const std::size_t start = placed.size();
    placed.resize(start + count);
    PlacedTile* out = placed.data() + start;
    std::size_t kept = 0;
    const auto known = static_cast<double>(sheet.size());
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d minusHalf = _mm_set1_pd(-0.5);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d signless = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    // Below this, truncation to a 32-bit integer is exact (and NaN fails the test too).
    const __m128d inRange = _mm_set1_pd(2147483648.0);
    const __m128 pictureSize = bounds ? _mm_setr_ps(static_cast<float>(bounds->width),
                                                    static_cast<float>(bounds->height), 0, 0)
                                      : _mm_set1_ps(INFINITY);
    const __m128 zero = bounds ? _mm_setzero_ps() : _mm_set1_ps(-INFINITY);
    for (std::size_t i = 0; i < count; ++i) {
        const double* triple = triples.data() + 3 * i;
        if (!knownId(triple[2], known))
            continue;
        const SheetTile& tile = sheet[static_cast<std::size_t>(triple[2])];
        const __m128d corner = _mm_sub_pd(_mm_loadu_pd(triple), _mm_loadu_pd(&tile.centre.x));
        bool drawn;
        if (_mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(corner, signless), inRange)) != 3) {
            drawn = placeOne(triple[0], triple[1], tile, bounds, out[kept]);
        } else {
            // Halves away from zero, as roundHalfAway, for x and y together.
            const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(corner));
            const __m128d fraction = _mm_sub_pd(corner, truncated);
            const __m128d rounded =
                _mm_sub_pd(_mm_add_pd(truncated, _mm_and_pd(_mm_cmpge_pd(fraction, half), one)),
                           _mm_and_pd(_mm_cmple_pd(fraction, minusHalf), one));
            const __m128 leftTop = _mm_cvtpd_ps(rounded);
            const __m128 size = _mm_cvtpd_ps(_mm_loadu_pd(&tile.rect.width));
            // As outsidePicture, in the same float arithmetic; lanes 2 and 3 are never outside.
            const __m128 outside = _mm_or_ps(_mm_cmpge_ps(leftTop, pictureSize),
                                             _mm_cmple_ps(_mm_add_ps(leftTop, size), zero));
            drawn = (_mm_movemask_ps(outside) & 3) == 0;
            _mm_storel_pi(reinterpret_cast<__m64*>(&out[kept].left), leftTop);
        }
        out[kept].id = static_cast<std::uint32_t>(triple[2]);
        kept += drawn ? 1 : 0;
    }
    placed.resize(start + kept);
}
#else
void placeTiles(std::span<const double> triples, std::span<const SheetTile> sheet,
                std::optional<PictureBounds> bounds, std::vector<PlacedTile>& placed) {
    placeTilesPlainly(triples, sheet, bounds, placed);
}
#endif

} // namespace zindle
