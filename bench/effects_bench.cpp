// The edit dialogs' picture hooks on 1920 x 1080 pictures against the
// filter library doing the same work on the same pictures, in one run:
//  - the effects hook with brightness, contrast and saturation all moved and
//    the negative on;
//  - the crop overlay (outside dimmed, white frame);
//  - the library's eq (brightness, contrast, saturation) + negate graph, and
//    its eq + hue graph (saturation by hue), each on one thread like the
//    preview's player thread, and eq + negate with the library's own threads.
// Each is timed five times over all pictures; the best pass counts.
//
//   effects_bench FILE   (bench/run_effects_bench.sh makes one)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include "edit/crop_hook.h"
#include "edit/picture_effects.h"
#include "media/media_decoder.h"

namespace {

constexpr int kPictures = 40;
constexpr int kPasses = 5;

struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
struct GraphFree {
  void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphFree>;

struct Pictures {
  int width = 0, height = 0;
  std::vector<std::vector<uint8_t>> planes;  // Y, U, V back to back, as decoded
};

Pictures Decode(const std::string& file) {
  Pictures out;
  media::CMediaDecoder decoder;
  decoder.Initialise();
  if (decoder.Open(file.c_str()) != 1) return out;
  auto frame = decoder.CreateVideoFrame();
  if (!frame) return out;
  for (int calls = 0; calls < 10'000 && int(out.planes.size()) < kPictures; ++calls) {
    if (decoder.DecodeVideoFrame(frame.get()) == 1) {
      out.width = frame->width;
      out.height = frame->height;
      const size_t bytes =
          size_t(out.width) * out.height + 2 * size_t(out.width / 2) * (out.height / 2);
      out.planes.emplace_back(frame->data.begin(), frame->data.begin() + bytes);
    } else if (decoder.VideoEnded()) {
      break;
    }
  }
  return out;
}

// Best pass over all pictures, in ms per picture.
double Time(int pictures, const std::function<bool(int)>& one) {
  double best = 1e9;
  for (int pass = 0; pass < kPasses; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < pictures; ++i)
      if (!one(i)) return -1;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / pictures);
  }
  return best;
}

// buffer -> `filters` -> buffersink for yuv420p pictures of the given size.
struct Graph {
  GraphPtr graph;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
};

bool MakeGraph(const std::string& filters, int width, int height, int threads, Graph* g) {
  g->graph.reset(avfilter_graph_alloc());
  if (!g->graph) return false;
  g->graph->nb_threads = threads;
  const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                           ":pix_fmt=yuv420p:time_base=1/25:pixel_aspect=1/1";
  if (avfilter_graph_create_filter(&g->source, avfilter_get_by_name("buffer"), "in", args.c_str(),
                                   nullptr, g->graph.get()) < 0 ||
      avfilter_graph_create_filter(&g->sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                   nullptr, g->graph.get()) < 0)
    return false;
  AVFilterInOut* outputs = avfilter_inout_alloc();
  AVFilterInOut* inputs = avfilter_inout_alloc();
  outputs->name = av_strdup("in");
  outputs->filter_ctx = g->source;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = g->sink;
  const int parsed =
      avfilter_graph_parse_ptr(g->graph.get(), filters.c_str(), &inputs, &outputs, nullptr);
  avfilter_inout_free(&inputs);
  avfilter_inout_free(&outputs);
  return parsed >= 0 && avfilter_graph_config(g->graph.get(), nullptr) >= 0;
}

std::vector<FramePtr> AsFrames(const Pictures& p) {
  std::vector<FramePtr> frames;
  const size_t luma = size_t(p.width) * p.height, chroma = size_t(p.width / 2) * (p.height / 2);
  for (size_t i = 0; i < p.planes.size(); ++i) {
    FramePtr f(av_frame_alloc());
    f->format = AV_PIX_FMT_YUV420P;
    f->width = p.width;
    f->height = p.height;
    f->pts = int64_t(i);
    if (av_frame_get_buffer(f.get(), 0) < 0) return {};
    const uint8_t* src[3] = {p.planes[i].data(), p.planes[i].data() + luma,
                             p.planes[i].data() + luma + chroma};
    const int lines[3] = {p.width, p.width / 2, p.width / 2};
    av_image_copy(f->data, f->linesize, src, lines, AV_PIX_FMT_YUV420P, p.width, p.height);
    frames.push_back(std::move(f));
  }
  return frames;
}

double TimeGraph(const std::string& filters, const Pictures& p, int threads) {
  const std::vector<FramePtr> frames = AsFrames(p);
  FramePtr out(av_frame_alloc());
  double best = 1e9;
  for (int pass = 0; pass < kPasses; ++pass) {
    Graph g;  // a fresh graph per pass: timestamps start again
    if (frames.empty() || !MakeGraph(filters, p.width, p.height, threads, &g)) return -1;
    const auto start = std::chrono::steady_clock::now();
    for (const FramePtr& f : frames) {
      if (av_buffersrc_add_frame_flags(g.source, f.get(), AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
          av_buffersink_get_frame(g.sink, out.get()) < 0)
        return -1;
      av_frame_unref(out.get());
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / frames.size());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: effects_bench FILE\n");
    return 2;
  }
  const Pictures pictures = Decode(argv[1]);
  if (pictures.planes.empty()) {
    std::fprintf(stderr, "effects_bench: %s gives no pictures\n", argv[1]);
    return 1;
  }
  const int count = int(pictures.planes.size());
  std::vector<uint8_t> out(pictures.planes[0].size());
  const edit::EffectSettings effects{
      .effect = 2, .brightness = 20, .contrast = 130, .saturation = 40};
  const auto effectsHook = [&](int i) {
    edit::ApplyPictureEffects(effects, pictures.planes[i].data(), out.data(), pictures.width,
                              pictures.height);
    return true;
  };
  const double ours = Time(count, effectsHook);
  // The same without the processor's byte permutes, as on machines that lack them.
  edit::UseWidePermutes(false);
  const double portable = Time(count, effectsHook);
  edit::UseWidePermutes(true);
  const edit::CropRect rect{40, 30, 280, 210};
  const double crop = Time(count, [&](int i) {
    edit::ApplyCropOverlay(rect, pictures.planes[i].data(), out.data(), pictures.width,
                           pictures.height);
    return true;
  });
  // The same moves in the library's units: brightness 20 of 255, contrast
  // 1.3, saturation 1.4.
  const std::string eq = "eq=brightness=0.078:contrast=1.3:saturation=1.4";
  const double negate = TimeGraph(eq + ",negate", pictures, 1);
  const double hue = TimeGraph("eq=brightness=0.078:contrast=1.3,hue=s=1.4", pictures, 1);
  const double negateThreads = TimeGraph(eq + ",negate", pictures, 0);
  if (negate < 0 || hue < 0 || negateThreads < 0) {
    std::fprintf(stderr, "effects_bench: the filter graph failed\n");
    return 1;
  }
  std::printf("%dx%d, %d decoded pictures, best of %d passes\n", pictures.width, pictures.height,
              count, kPasses);
  std::printf("  eq + negate, one thread:        %6.3f ms per picture\n", negate);
  std::printf("  eq + hue, one thread:           %6.3f ms per picture\n", hue);
  std::printf("  eq + negate, library's threads: %6.3f ms per picture\n", negateThreads);
  std::printf(
      "  effects hook (all non-neutral): %6.3f ms per picture  ratio %.2f (eq+negate) %.2f "
      "(eq+hue) %.2f (threaded)\n",
      ours, ours / negate, ours / hue, ours / negateThreads);
  std::printf(
      "  effects hook, portable path:    %6.3f ms per picture  ratio %.2f (eq+negate) %.2f "
      "(eq+hue)\n",
      portable, portable / negate, portable / hue);
  std::printf(
      "  crop overlay hook:              %6.3f ms per picture  ratio %.2f (eq+negate) %.2f "
      "(eq+hue)\n",
      crop, crop / negate, crop / hue);
  return 0;
}
