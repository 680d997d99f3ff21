// Encoding speed of AUDIO_audioEncode against FFmpeg's pcm_mulaw encoder, on the same 125 ms
// blocks of 16 kHz samples that the audio intake encodes.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include "audio/q7_audio_EncDec.h"

namespace {

const int kBlock = 2000;

std::vector<int16_t> samples()
{
    std::vector<int16_t> s(kBlock);
    for (int i = 0; i < kBlock; i++)
        s[(size_t)i] = (int16_t)(uint16_t)(i * 7919u + 12345u);
    return s;
}

void BM_AudioEncode(benchmark::State &state)
{
    std::vector<int16_t> in = samples();
    std::vector<uint8_t> out(kBlock);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AUDIO_audioEncode(0, out.data(), in.data(), kBlock * 2));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_AudioEncode);

void BM_FfmpegPcmMulaw(benchmark::State &state)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_PCM_MULAW);
    AVCodecContext *ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (ctx == nullptr) {
        state.SkipWithError("no pcm_mulaw encoder");
        return;
    }
    ctx->sample_rate = 16000;
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&ctx->ch_layout, 1);
    AVFrame *frame = av_frame_alloc();
    AVPacket *pkt = av_packet_alloc();
    if (avcodec_open2(ctx, codec, nullptr) < 0 || frame == nullptr || pkt == nullptr) {
        state.SkipWithError("cannot open pcm_mulaw encoder");
    } else {
        frame->nb_samples = kBlock;
        frame->format = AV_SAMPLE_FMT_S16;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        av_frame_get_buffer(frame, 0);
        std::vector<int16_t> in = samples();
        memcpy(frame->data[0], in.data(), kBlock * 2);
        for (auto _ : state) {
            if (avcodec_send_frame(ctx, frame) < 0 || avcodec_receive_packet(ctx, pkt) < 0) {
                state.SkipWithError("encode failed");
                break;
            }
            benchmark::DoNotOptimize(pkt->data);
            av_packet_unref(pkt);
        }
        state.SetItemsProcessed(state.iterations() * kBlock);
    }
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
}
BENCHMARK(BM_FfmpegPcmMulaw);

} // namespace

BENCHMARK_MAIN();
