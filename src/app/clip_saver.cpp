// F12's clip: the name beside the replays, the child that renders it (through a shell that
// removes the replay copy whatever happens to the game), and the line that tells the player.
#include "app/clip_saver.h"

#include "framework/keyboard.h"
#include "input/pad_layout.h"
#include "match/game.h"
#include "render/text_line.h"
#include "render/tiler.h"
#include "replay/replay_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace zindle {
namespace {

constexpr double kScreenWidthPx = 480;
constexpr double kLineMarginPx = 4; // from the screen's top and sides
constexpr int kMaxNameAttempts = 100;
constexpr const char* kShell = "/bin/sh";
// $1 the renderer, $2 a scratch replay to remove afterwards (or nothing), then its arguments.
// Niced: the game on the same processors comes first.
constexpr const char* kRenderScript =
    "shot=\"$1\"; scratch=\"$2\"; shift 2; nice -n 10 \"$shot\" \"$@\"; status=$?; "
    "if [ -n \"$scratch\" ]; then rm -f \"$scratch\"; fi; exit $status";

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

// The last line the renderer wrote to its standard error, without its own name.
std::string lastLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    const std::string prefix = "zindle-shot: ";
    if (last.rfind(prefix, 0) == 0)
        last.erase(0, prefix.size());
    return last;
}

} // namespace

ClipSaver::ClipSaver(Options options) : options_(std::move(options)) {}

ClipSaver::~ClipSaver() = default;

void ClipSaver::frameDrawn(Graphics& graphics) {
    poll();
    draw(graphics);
}

void ClipSaver::windowKey(int keyCode, bool /*alt*/) {
    if (keyCode == Keyboard::F12)
        press();
}

void ClipSaver::padButton(int button) {
    if (button == pad_layout::kClipButton)
        press();
}

void ClipSaver::press() {
    if (child_.running())
        return; // the line already says a clip is being saved
    std::error_code ec;
    if (options_.shot.empty() || ::access(options_.shot.c_str(), X_OK) != 0) {
        std::cout << "Clip: not saved: the clip renderer zindle-shot is not installed"
                  << (options_.shot.empty() ? "" : " (looked for " + options_.shot.string() + ")")
                  << std::endl;
        say("CLIP NOT SAVED: ZINDLE-SHOT IS NOT INSTALLED");
        return;
    }
    Source source;
    std::string problem;
    if (!options_.source || !options_.source(source, problem)) {
        std::cout << "Clip: not saved: " << problem << std::endl;
        say("CLIP NOT SAVED: " + problem);
        return;
    }
    std::filesystem::create_directories(options_.folder, ec);
    const std::time_t now = options_.now();
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        clip_ = options_.folder / replayFileName(now, attempt);
        clip_.replace_extension(".gif");
        if (!std::filesystem::exists(clip_, ec))
            break;
    }
    const double to = std::floor(source.now * 100) / 100;
    const double from = std::max(0.0, to - kClipSeconds);
    errorFile_ =
        std::filesystem::temp_directory_path(ec) /
        ("zindle-clip-" + std::to_string(::getpid()) + "-" + std::to_string(++started_) + ".log");
    const std::vector<std::string> argv{kShell,
                                        "-c",
                                        kRenderScript,
                                        "zindle-clip",
                                        options_.shot.string(),
                                        source.scratch ? source.replay.string() : "",
                                        "--replay",
                                        source.replay.string(),
                                        "--from",
                                        seconds(from),
                                        "--to",
                                        seconds(to),
                                        "--scale",
                                        std::to_string(options_.scale),
                                        "--out",
                                        clip_.string(),
                                        "--data",
                                        options_.dataRoot.string()};
    if (!child_.start(argv, errorFile_, problem)) {
        if (source.scratch)
            std::filesystem::remove(source.replay, ec);
        std::cout << "Clip " << clip_.string() << ": not saved: " << problem << std::endl;
        say("CLIP NOT SAVED: " + problem);
        return;
    }
    std::cout << "Clip " << clip_.string() << ": the match from " << seconds(from) << " s to "
              << seconds(to) << " s, rendering" << std::endl;
    say("SAVING CLIP " + clip_.filename().string() + " ...", true);
}

void ClipSaver::poll() {
    if (const auto status = child_.ended())
        ended(*status);
}

void ClipSaver::finish() {
    if (const auto status = child_.wait())
        ended(*status);
}

void ClipSaver::ended(int status) {
    std::error_code ec;
    const std::string said = lastLine(errorFile_);
    std::filesystem::remove(errorFile_, ec);
    if (status == 0 && std::filesystem::is_regular_file(clip_, ec)) {
        std::cout << "Clip " << clip_.string() << ": saved" << std::endl;
        say("CLIP SAVED: " + clip_.filename().string());
        pruneReplays(options_.folder, clip_, options_.keepFiles, options_.keepBytes, ".gif");
        return;
    }
    // Half a picture is no clip.
    std::filesystem::remove(clip_, ec);
    const std::string why =
        said.empty() ? "the renderer ended with status " + std::to_string(status) : said;
    std::cout << "Clip " << clip_.string() << ": not saved: " << why << std::endl;
    say("CLIP NOT SAVED: " + why);
}

void ClipSaver::say(std::string text, bool lasting) {
    line_ = std::move(text);
    lineLasts_ = lasting;
    lineUntil_ = (options_.clock ? options_.clock() : 0) + kLineSeconds;
}

std::string ClipSaver::line() const {
    if (line_.empty())
        return {};
    if (lineLasts_ || (options_.clock && options_.clock() < lineUntil_))
        return line_;
    return {};
}

void ClipSaver::draw(Graphics& graphics) const {
    const std::string whole = line();
    if (whole.empty() || !Game::tiler)
        return;
    Tiler& tiler = *Game::tiler;
    // Too long for the screen (a long reason): cut, and say so.
    const std::string text = text_line::fitted(tiler, whole, kScreenWidthPx - 2 * kLineMarginPx);
    tiler.drawOnScreen(graphics, [&text](Tiler& on) {
        text_line::drawCentred(on, text, kScreenWidthPx / 2, kLineMarginPx);
    });
}

} // namespace zindle
