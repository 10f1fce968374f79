// zindle-shot: the same headless run as zindle-sim, and at each requested moment the frame a
// player would see, written as a PNG.
#include "compose.h"
#include "options.h"
#include "simulation.h"
#include "tool_main.h"

#include "framework/untrusted_text.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>

using namespace zindle;
using namespace zindle::sim;

namespace {

constexpr int kStageWidth = 480; // px, the picture the game draws
constexpr int kStageHeight = 320;
constexpr int kMaxScale = 16;

struct Moment {
    std::int64_t frame;
    std::string label; // as written on the command line; names the file
};

// The first frame at or after t; the tolerance absorbs t*60 landing a hair above an integer.
std::int64_t frameAt(double seconds) {
    return static_cast<std::int64_t>(std::ceil(seconds * kFrameRate - 1e-9));
}

std::string outputPath(const std::string& out, const Moment& moment, bool several) {
    if (!several)
        return out;
    std::filesystem::path path(out);
    auto name = path.stem().string() + "-" + moment.label + path.extension().string();
    return (path.parent_path() / name).string();
}

int run(const std::vector<std::string>& args, std::ostream& result) {
    CommonOptions options;
    std::vector<Moment> moments;
    std::string out = "shot.png";
    int scale = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            result << "usage: zindle-shot --at T1,T2,... [--scale N] [--out FILE.png] [options]\n"
                      "  --at T,...      moments in simulated seconds; each writes one PNG\n"
                      "  --scale N       integer enlargement (default 1: 480x320)\n"
                      "  --out FILE      output (default shot.png); with several moments\n"
                      "                  FILE-T.png for each moment T\n"
                   << kCommonUsage;
            return kExitOk;
        }
        if (parseCommonOption(args, i, options))
            continue;
        if (args[i] == "--at") {
            const std::string& text = optionValue(args, i);
            auto times = parseSeconds("--at", text);
            std::size_t start = 0;
            for (double t : times) {
                auto end = text.find(',', start);
                std::string label = text.substr(start, end - start);
                start = end == std::string::npos ? text.size() : end + 1;
                moments.push_back({frameAt(t), label});
            }
        } else if (args[i] == "--scale") {
            auto values = parseNumberList("--scale", optionValue(args, i));
            if (values.size() != 1 || values[0] != std::floor(values[0]) || values[0] < 1 ||
                values[0] > kMaxScale)
                throw UsageError("--scale takes a whole number from 1 to 16");
            scale = static_cast<int>(values[0]);
        } else if (args[i] == "--out") {
            out = optionValue(args, i);
        } else {
            throw UsageError("unknown option '" + zindle::quoteUntrusted(args[i]) + "'");
        }
    }
    if (moments.empty())
        throw UsageError("--at is required");
    std::stable_sort(moments.begin(), moments.end(),
                     [](const Moment& a, const Moment& b) { return a.frame < b.frame; });

    // Every picture's file is tried before the run: a bad --out must not cost the simulation.
    for (const Moment& moment : moments)
        checkWritable("--out", outputPath(out, moment, moments.size() > 1));

    TraceFile trace(options.tracePath);
    Simulation sim(options.run);
    trace.attach(sim);
    HeadlessMedia& media = sim.media();
    auto atlas = [&media](BitmapHandle bitmap) {
        return shot::AtlasPixels{media.media_bitmap_data_width(bitmap),
                                 media.media_bitmap_data_height(bitmap), &media.pixels(bitmap)};
    };
    const bool several = moments.size() > 1;
    for (const Moment& moment : moments) {
        sim.runFrames(moment.frame + 1);
        if (sim.closed())
            throw std::runtime_error("the program closed before " + moment.label + " s");
        if (media.frames().empty())
            throw std::runtime_error("no frame was rendered by " + moment.label + " s");
        auto image = shot::composeFrame(media.frames().back(), atlas, media.background(),
                                        kStageWidth, kStageHeight);
        const std::string path = outputPath(out, moment, several);
        shot::writePng(path, shot::scaleUp(image, scale));
        result << path << '\n';
    }
    trace.finish();
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    return runTool("zindle-shot", argc, argv, run, "");
}
