// kindprobe --explain over files ffmpeg writes, one per (container, codec) pair it can: the
// streams line must name each stream's kind, codec and the container's own tag. Needs ffmpeg
// like the other real media tests; a pair whose encoder this ffmpeg lacks is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

namespace fs = std::filesystem;

struct StreamsCase {
  const char* name;
  const char* extension;
  std::vector<std::string> encoders;   // each must be in `ffmpeg -encoders`
  std::vector<std::string> arguments;  // after the inputs (video, then audio)
  const char* streams;                 // the expected line, English, without its indent
  const char* reason = "";             // the one reason expected before it; empty for none
};

void PrintTo(const StreamsCase& c, std::ostream* out) { *out << c.name; }

const std::vector<std::string> kInputs = {
    "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=0.2",
    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=0.2"};

bool HasEncoders(const std::vector<std::string>& encoders) {
  static const std::string listed = RunProcess("ffmpeg", {"-hide_banner", "-encoders"}).out;
  for (const std::string& encoder : encoders) {
    if (listed.find(" " + encoder + " ") == std::string::npos) return false;
  }
  return true;
}

class ExplainStreams : public ::testing::TestWithParam<StreamsCase> {
 protected:
  void SetUp() override {
    if (!ProgramAvailable("ffmpeg")) {
      if (std::getenv("KINDPROBE_ALLOW_NO_FFMPEG") != nullptr) GTEST_SKIP() << "no ffmpeg";
      FAIL() << "ffmpeg is needed to write the media files (apt-get install ffmpeg)";
    }
  }
};

TEST_P(ExplainStreams, NamesEachStreamWithItsTag) {
  const StreamsCase& c = GetParam();
  if (!HasEncoders(c.encoders)) GTEST_SKIP() << "this ffmpeg lacks an encoder of " << c.name;
  testsupport::TempDir dir;
  const fs::path file = dir.path() / (std::string(c.name) + c.extension);
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
  args.insert(args.end(), kInputs.begin(), kInputs.end());
  args.insert(args.end(), c.arguments.begin(), c.arguments.end());
  args.push_back(file.string());
  const auto made = RunProcess("ffmpeg", args);
  ASSERT_EQ(made.exitCode, 0) << made.err;

  const auto result = RunKindprobe({"--explain", "--lang", "en", file.string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = Lines(result.out);
  ASSERT_GE(lines.size(), 2u) << result.out;
  // A whole file: the streams line comes last, after only the reason expected.
  EXPECT_EQ(lines.back(), std::string("  streams: ") + c.streams) << result.out;
  const std::vector<std::string> expected =
      *c.reason == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.reason};
  std::vector<std::string> codes;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    codes.push_back(lines[i].substr(2, lines[i].find(':') - 2));
  }
  EXPECT_EQ(codes, expected) << result.out;
}

// Video and audio maps of the two inputs, each with its codec.
std::vector<std::string> Av(const std::string& video, const std::string& audio,
                            std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"-map", "0:v", "-map", "1:a", "-c:v", video, "-c:a", audio};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::string> AudioOnly(const std::string& audio, std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"-map", "1:a", "-c:a", audio};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

const std::vector<std::string> kExperimental = {"-strict", "-2"};

// One row a pair: kept a line or two each, so that the tables read as tables.
// clang-format off

INSTANTIATE_TEST_SUITE_P(
    Mp4, ExplainStreams,
    ::testing::Values(
        StreamsCase{"h264_aac", ".mp4", {"libx264", "aac"}, Av("libx264", "aac"),
                    "video H.264 (avc1), audio AAC (mp4a.40)"},
        StreamsCase{"hevc_eac3", ".mp4", {"libx265", "eac3"},
                    Av("libx265", "eac3", {"-tag:v", "hvc1"}),
                    "video HEVC (hvc1), audio E-AC-3 (ec-3)"},
        StreamsCase{"hev1_ac3_faststart", ".mp4", {"libx265", "ac3"},
                    Av("libx265", "ac3", {"-movflags", "+faststart"}),
                    "video HEVC (hev1), audio AC-3 (ac-3)"},
        StreamsCase{"av1_opus", ".mp4", {"libaom-av1", "libopus"},
                    Av("libaom-av1", "libopus", {"-cpu-used", "8"}),
                    "video AV1 (av01), audio Opus (Opus)"},
        StreamsCase{"vp9_flac", ".mp4", {"libvpx-vp9", "flac"},
                    Av("libvpx-vp9", "flac", {"-deadline", "realtime", "-strict", "-2"}),
                    "video VP9 (vp09), audio FLAC (fLaC)"},
        StreamsCase{"mpeg2_mp3", ".mp4", {"mpeg2video", "libmp3lame"},
                    Av("mpeg2video", "libmp3lame"), "video MPEG-2 (mp4v.61), audio MP3 (mp4a.6B)"},
        StreamsCase{"mpeg4_dts", ".mp4", {"mpeg4", "dca"}, Av("mpeg4", "dca", kExperimental),
                    "video MPEG-4 Visual (mp4v.20), audio DTS (mp4a.A9)"},
        // QuickTime keeps the esds in a 'wave' box of a version 1 sound entry.
        StreamsCase{"prores_aac", ".mov", {"prores_ks", "aac"}, Av("prores_ks", "aac"),
                    "video ProRes 4444 (ap4h), audio AAC (mp4a.40)"},
        StreamsCase{"mpeg4_ac3", ".mov", {"mpeg4", "ac3"}, Av("mpeg4", "ac3"),
                    "video MPEG-4 Visual (mp4v.20), audio AC-3 (ac-3)"},
        StreamsCase{"cenc", ".mp4", {"libx264", "aac"},
                    Av("libx264", "aac",
                       {"-encryption_scheme", "cenc-aes-ctr", "-encryption_key",
                        "00112233445566778899aabbccddeeff", "-encryption_kid",
                        "0123456789abcdef0123456789abcdef"}),
                    "video H.264 (avc1), audio AAC (mp4a.40)", "encrypted"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Matroska, ExplainStreams,
    ::testing::Values(
        StreamsCase{"hevc_dts", ".mkv", {"libx265", "dca"}, Av("libx265", "dca", kExperimental),
                    "video HEVC (V_MPEGH/ISO/HEVC), audio DTS (A_DTS)"},
        StreamsCase{"h264_ac3", ".mkv", {"libx264", "ac3"}, Av("libx264", "ac3"),
                    "video H.264 (V_MPEG4/ISO/AVC), audio AC-3 (A_AC3)"},
        StreamsCase{"mpeg4_eac3", ".mkv", {"mpeg4", "eac3"}, Av("mpeg4", "eac3"),
                    "video MPEG-4 Visual (V_MPEG4/ISO/ASP), audio E-AC-3 (A_EAC3)"},
        StreamsCase{"theora_flac", ".mkv", {"libtheora", "flac"}, Av("libtheora", "flac"),
                    "video Theora (V_THEORA), audio FLAC (A_FLAC)"},
        StreamsCase{"mpeg2_pcm", ".mkv", {"mpeg2video", "pcm_s16le"}, Av("mpeg2video", "pcm_s16le"),
                    "video MPEG-2 (V_MPEG2), audio PCM (A_PCM/INT/LIT)"},
        StreamsCase{"vp8_vorbis", ".webm", {"libvpx", "libvorbis"}, Av("libvpx", "libvorbis"),
                    "video VP8 (V_VP8), audio Vorbis (A_VORBIS)"},
        StreamsCase{"av1_opus", ".webm", {"libaom-av1", "libopus"},
                    Av("libaom-av1", "libopus", {"-cpu-used", "8"}),
                    "video AV1 (V_AV1), audio Opus (A_OPUS)"},
        // Windows codecs: named by the BITMAPINFOHEADER and WAVEFORMATEX in CodecPrivate.
        StreamsCase{"wmv2_wma2", ".mkv", {"wmv2", "wmav2"}, Av("wmv2", "wmav2"),
                    "video Windows Media Video 8 (WMV2), audio Windows Media Audio 2 (0x0161)"},
        StreamsCase{"vp9_aac", ".mkv", {"libvpx-vp9", "aac"},
                    Av("libvpx-vp9", "aac", {"-deadline", "realtime"}),
                    "video VP9 (V_VP9), audio AAC (A_AAC)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Riff, ExplainStreams,
    ::testing::Values(
        StreamsCase{"mpeg4_mp3", ".avi", {"mpeg4", "libmp3lame"}, Av("mpeg4", "libmp3lame"),
                    "video MPEG-4 Visual (FMP4), audio MP3 (0x0055)"},
        StreamsCase{"h264_ac3", ".avi", {"libx264", "ac3"}, Av("libx264", "ac3"),
                    "video H.264 (H264), audio AC-3 (0x2000)"},
        StreamsCase{"mpeg2_pcm", ".avi", {"mpeg2video", "pcm_s16le"}, Av("mpeg2video", "pcm_s16le"),
                    "video MPEG-2 (mpg2), audio PCM (0x0001)"},
        StreamsCase{"wmv2_wma2", ".avi", {"wmv2", "wmav2"}, Av("wmv2", "wmav2"),
                    "video Windows Media Video 8 (WMV2), audio Windows Media Audio 2 (0x0161)"},
        StreamsCase{"pcm", ".wav", {"pcm_s16le"}, AudioOnly("pcm_s16le"), "audio PCM (0x0001)"},
        StreamsCase{"float", ".wav", {"pcm_f32le"}, AudioOnly("pcm_f32le"),
                    "audio PCM (float) (0x0003)"},
        StreamsCase{"extensible", ".wav", {"pcm_s24le"}, AudioOnly("pcm_s24le", {"-ac", "6"}),
                    "audio PCM (0x0001)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MpegAudio, ExplainStreams,
    ::testing::Values(
        StreamsCase{"mp3", ".mp3", {"libmp3lame"}, AudioOnly("libmp3lame"),
                    "audio MP3 (mpeg1-l3)"},
        StreamsCase{"mp3_lsf", ".mp3", {"libmp3lame"}, AudioOnly("libmp3lame", {"-ar", "22050"}),
                    "audio MP3 (MPEG-2) (mpeg2-l3)"},
        StreamsCase{"mp2", ".mp2", {"mp2"}, AudioOnly("mp2"), "audio MP2 (mpeg1-l2)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Flv, ExplainStreams,
    ::testing::Values(
        StreamsCase{"h264_aac", ".flv", {"libx264", "aac"}, Av("libx264", "aac"),
                    "video H.264 (v7), audio AAC (a10)"},
        StreamsCase{"sorenson_mp3", ".flv", {"flv", "libmp3lame"},
                    Av("flv", "libmp3lame", {"-ar", "44100"}),  // the first tag is audio
                    "audio MP3 (a2), video Sorenson H.263 (v2)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Ogg, ExplainStreams,
    ::testing::Values(
        StreamsCase{"vorbis", ".ogg", {"libvorbis"}, AudioOnly("libvorbis"),
                    "audio Vorbis (vorbis)"},
        StreamsCase{"opus", ".opus", {"libopus"}, AudioOnly("libopus"), "audio Opus (OpusHead)"},
        StreamsCase{"flac", ".ogg", {"flac"}, AudioOnly("flac"), "audio FLAC (FLAC)"},
        StreamsCase{"speex", ".spx", {"libspeex"}, AudioOnly("libspeex", {"-ar", "16000"}),
                    "audio Speex (Speex)"},
        StreamsCase{"theora_vorbis", ".ogv", {"libtheora", "libvorbis"},
                    Av("libtheora", "libvorbis"), "video Theora (theora), audio Vorbis (vorbis)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    MpegTs, ExplainStreams,
    ::testing::Values(
        StreamsCase{"h264_aac", ".ts", {"libx264", "aac"}, Av("libx264", "aac"),
                    "video H.264 (0x1B), audio AAC (ADTS) (0x0F)"},
        StreamsCase{"hevc_ac3", ".ts", {"libx265", "ac3"}, Av("libx265", "ac3"),
                    "video HEVC (0x24), audio AC-3 (0x81)"},
        StreamsCase{"mpeg2_mp2", ".ts", {"mpeg2video", "mp2"}, Av("mpeg2video", "mp2"),
                    "video MPEG-2 (0x02), audio MP2 (MPEG-1) (0x03)"},
        StreamsCase{"mpeg4_eac3", ".ts", {"mpeg4", "eac3"}, Av("mpeg4", "eac3"),
                    "video MPEG-4 Visual (0x10), audio E-AC-3 (0x87)"},
        StreamsCase{"dts", ".ts", {"dca"}, AudioOnly("dca", kExperimental), "audio DTS (0x82)"},
        StreamsCase{"opus", ".ts", {"libopus"}, AudioOnly("libopus"), "audio Opus (0x06.Opus)"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Asf, ExplainStreams,
    ::testing::Values(
        StreamsCase{"wmv2_wma2", ".wmv", {"wmv2", "wmav2"}, Av("wmv2", "wmav2"),
                    "video Windows Media Video 8 (WMV2), audio Windows Media Audio 2 (0x0161)"},
        StreamsCase{"wma2", ".wma", {"wmav2"}, AudioOnly("wmav2"),
                    "audio Windows Media Audio 2 (0x0161)"}),
    [](const auto& info) { return std::string(info.param.name); });

// clang-format on

}  // namespace
}  // namespace kindprobe::clitest
