// zindle-shot: the same headless run as zindle-sim, or a recorded match re-simulated, and at
// each requested moment the frame a player would see, written as a PNG; or a stretch of it as
// an animated GIF.
#include "compose.h"
#include "frame_source.h"
#include "gif_clip.h"
#include "options.h"
#include "simulation.h"
#include "tool_main.h"

#include "framework/untrusted_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>

using namespace zindle;
using namespace zindle::sim;

namespace {

constexpr int kStageWidth = 480; // px, the picture the game draws
constexpr int kStageHeight = 320;
constexpr int kMaxScale = 16;
constexpr int kClipFramesPerSecond = 30;
constexpr int kClipFramesPer = 3;     // every three clip frames last
constexpr int kClipCentiseconds = 10; // ten hundredths of a second (GIF's unit), i.e. 30 a second

struct Moment {
    double seconds;
    std::string label; // as written on the command line; names the file
};

std::string outputPath(const std::string& out, const Moment& moment, bool several) {
    if (!several)
        return out;
    std::filesystem::path path(out);
    auto name = path.stem().string() + "-" + moment.label + path.extension().string();
    return (path.parent_path() / name).string();
}

// The file's extension in lower case (".gif"), or empty.
std::string extensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Clip frame k's delay: 3, 3 and 4 hundredths of a second in turn, so that the clip keeps time.
int clipDelay(std::int64_t k) {
    return static_cast<int>((k + 1) * kClipCentiseconds / kClipFramesPer -
                            k * kClipCentiseconds / kClipFramesPer);
}

shot::AtlasLookup atlasOf(HeadlessMedia& media) {
    return [&media](BitmapHandle bitmap) {
        return shot::AtlasPixels{media.media_bitmap_data_width(bitmap),
                                 media.media_bitmap_data_height(bitmap), &media.pixels(bitmap)};
    };
}

// The stretch [from, to) of source, 30 frames a second.
int writeClip(shot::FrameSource& source, double from, double to, const std::string& out, int scale,
              std::ostream& result) {
    const std::int64_t first = source.tickAt(from);
    const std::int64_t last = source.tickAt(to);
    const std::int64_t stride = source.ticksPerSecond() / kClipFramesPerSecond;
    source.checkReaches(last - 1, std::to_string(to));
    std::optional<shot::GifClip> clip;
    try {
        clip.emplace(out, kStageWidth, kStageHeight, scale); // before the run: a bad path fails now
    } catch (const std::runtime_error& e) {
        throw UsageError(e.what());
    }
    HeadlessMedia& media = source.media();
    const auto atlas = atlasOf(media);
    std::int64_t k = 0;
    for (std::int64_t tick = first; tick < last; tick += stride, ++k) {
        source.advanceTo(tick, "the clip's end");
        clip->addFrame(shot::composeFrame(media.frames().back(), atlas, media.background(),
                                          kStageWidth, kStageHeight),
                       clipDelay(k));
    }
    clip->finish();
    const int status = source.finish();
    result << out << '\n';
    return status;
}

int run(const std::vector<std::string>& args, std::ostream& result) {
    CommonOptions options;
    std::vector<Moment> moments;
    std::string out = "shot.png";
    int scale = 1;
    std::optional<double> from;
    std::optional<double> to;
    std::string replayPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            result << "usage: zindle-shot --at T1,T2,... [--scale N] [--out FILE.png] [options]\n"
                      "       zindle-shot --from S --to S --out FILE.gif [--scale N] [options]\n"
                      "       zindle-shot --replay FILE (--at T,... | --from S --to S) ...\n"
                      "  --at T,...      moments in simulated seconds; each writes one PNG\n"
                      "  --from, --to    a stretch of the run, written as an animated GIF at 30\n"
                      "                  frames a second (--out must end in .gif)\n"
                      "  --scale N       integer enlargement (default 1: 480x320)\n"
                      "  --out FILE      output (default shot.png); with several moments\n"
                      "                  FILE-T.png for each moment T\n"
                      "  --replay FILE   the frames of a recorded match, re-simulated; times are\n"
                      "                  then the match's clock, from its first join, as\n"
                      "                  zindle --replay shows it (seed, players and input come\n"
                      "                  from the file); exit 2 for a file that is not a readable\n"
                      "                  replay, 1 when the game differs from the recording\n"
                   << kCommonUsage;
            return kExitOk;
        }
        if (parseCommonOption(args, i, options))
            continue;
        if (args[i] == "--replay") {
            replayPath = optionValue(args, i);
        } else if (args[i] == "--at") {
            const std::string& text = optionValue(args, i);
            auto times = parseSeconds("--at", text);
            std::size_t start = 0;
            for (double t : times) {
                auto end = text.find(',', start);
                std::string label = text.substr(start, end - start);
                start = end == std::string::npos ? text.size() : end + 1;
                moments.push_back({t, label});
            }
        } else if (args[i] == "--scale") {
            auto values = parseNumberList("--scale", optionValue(args, i));
            if (values.size() != 1 || values[0] != std::floor(values[0]) || values[0] < 1 ||
                values[0] > kMaxScale)
                throw UsageError("--scale takes a whole number from 1 to 16");
            scale = static_cast<int>(values[0]);
        } else if (args[i] == "--from" || args[i] == "--to") {
            const std::string name = args[i];
            auto values = parseSeconds(name, optionValue(args, i));
            if (values.size() != 1)
                throw UsageError(name + " needs one number");
            (name == "--from" ? from : to) = values[0];
        } else if (args[i] == "--out") {
            out = optionValue(args, i);
        } else {
            throw UsageError("unknown option '" + zindle::quoteUntrusted(args[i]) + "'");
        }
    }
    if (from || to) {
        if (!from || !to)
            throw UsageError("a clip needs both --from and --to");
        if (!moments.empty())
            throw UsageError("--at and a clip (--from, --to) cannot be asked for together");
        if (*to <= *from)
            throw UsageError("--to must come after --from");
        if (extensionOf(out) != ".gif")
            throw UsageError("a clip is written as GIF: --out must end in .gif");
        auto source = shot::makeFrameSource(options, replayPath);
        return writeClip(*source, *from, *to, out, scale, result);
    }
    if (moments.empty())
        throw UsageError("--at (or --from and --to) is required");
    std::stable_sort(moments.begin(), moments.end(),
                     [](const Moment& a, const Moment& b) { return a.seconds < b.seconds; });

    // A viewer trusts the name: PNG bytes under another image type's name would not open.
    if (const std::string extension = extensionOf(out); !extension.empty() && extension != ".png")
        throw UsageError("pictures are written as PNG: --out must end in .png, not '" +
                         zindle::quoteUntrusted(extension) + "'");
    // Every picture's file is tried before the run: a bad --out must not cost the simulation.
    for (const Moment& moment : moments)
        checkWritable("--out", outputPath(out, moment, moments.size() > 1));

    auto source = shot::makeFrameSource(options, replayPath);
    source->checkReaches(source->tickAt(moments.back().seconds), moments.back().label);
    HeadlessMedia& media = source->media();
    const auto atlas = atlasOf(media);
    const bool several = moments.size() > 1;
    for (const Moment& moment : moments) {
        source->advanceTo(source->tickAt(moment.seconds), moment.label + " s");
        auto image = shot::composeFrame(media.frames().back(), atlas, media.background(),
                                        kStageWidth, kStageHeight);
        const std::string path = outputPath(out, moment, several);
        shot::writePng(path, shot::scaleUp(image, scale));
        result << path << '\n';
    }
    return source->finish();
}

} // namespace

int main(int argc, char** argv) {
    return runTool("zindle-shot", argc, argv, run, "");
}
