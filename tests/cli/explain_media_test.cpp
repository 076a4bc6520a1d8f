// kindprobe --explain over real files written by ffmpeg: whole, cut at several points, renamed
// to another container's extension, and cut and renamed. Needs ffmpeg like the other real
// media tests (KINDPROBE_ALLOW_NO_FFMPEG skips them when it is missing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

namespace fs = std::filesystem;

struct ExplainCase {
  const char* name;
  const char* extension;
  std::vector<std::string> ffmpegArgs;
  const char* encoder;
  // An extension of another rule, under which the content reads as a rename.
  const char* otherExtension;
};

void PrintTo(const ExplainCase& c, std::ostream* out) { *out << c.name; }

// Long enough that the cuts below fall inside the media data, not only in headers.
const std::vector<std::string> kVideo = {"-f", "lavfi", "-i",
                                         "testsrc=size=64x48:rate=25:duration=1"};
const std::vector<std::string> kAudio = {"-f", "lavfi", "-i",
                                         "sine=frequency=440:sample_rate=8000:duration=1"};

std::vector<std::string> With(std::vector<std::string> base,
                              std::initializer_list<std::string> more) {
  base.insert(base.end(), more);
  return base;
}

std::vector<ExplainCase> Cases() {
  return {
      {"avi", ".avi", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", ".mkv"},
      {"mkv", ".mkv", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", ".avi"},
      {"mp4", ".mp4", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", ".avi"},
      {"mp4_faststart", ".mp4", With(kVideo, {"-c:v", "mpeg4", "-movflags", "+faststart"}), "mpeg4",
       ".flv"},
      {"mov", ".mov", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", ".mkv"},
      {"m4a", ".m4a", With(kAudio, {"-c:a", "aac"}), "aac", ".mp3"},
      {"flv", ".flv", With(kVideo, {"-c:v", "flv"}), "flv", ".mp4"},
      {"mpeg_ts", ".ts", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpegts"}), "mpeg1video",
       ".avi"},
      {"ogg", ".ogg", With(kAudio, {"-c:a", "libvorbis"}), "libvorbis", ".mp3"},
      {"wav", ".wav", With(kAudio, {"-c:a", "pcm_s16le"}), "pcm_s16le", ".avi"},
      {"mp3", ".mp3", With(kAudio, {"-c:a", "libmp3lame"}), "libmp3lame", ".ogg"},
  };
}

// Each path's reason codes, from plain output: the result line, then one indented line each.
std::map<std::string, std::vector<std::string>> ReasonCodes(const std::string& out) {
  std::map<std::string, std::vector<std::string>> codes;
  std::string current;
  for (const std::string& line : Lines(out)) {
    if (line.rfind("  streams: ", 0) == 0) continue;
    if (line.rfind("  ", 0) == 0) {
      codes[current].push_back(line.substr(2, line.find(':') - 2));
    } else {
      current = line.substr(0, line.find(": "));
      codes[current];
    }
  }
  return codes;
}

void WritePrefix(const fs::path& from, const fs::path& to, uintmax_t length) {
  std::ifstream in(from, std::ios::binary);
  std::string bytes(length, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  std::ofstream(to, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(length));
}

// From a fixture's SetUp: the test then runs only with ffmpeg.
void RequireFfmpeg() {
  if (!ProgramAvailable("ffmpeg")) {
    if (std::getenv("KINDPROBE_ALLOW_NO_FFMPEG") != nullptr) GTEST_SKIP() << "no ffmpeg";
    FAIL() << "ffmpeg is needed to write the media files (apt-get install ffmpeg)";
  }
}

class ExplainRealMedia : public ::testing::TestWithParam<ExplainCase> {
 protected:
  void SetUp() override { RequireFfmpeg(); }
};

TEST_P(ExplainRealMedia, WholeCutRenamedAndBoth) {
  const ExplainCase& c = GetParam();
  const auto encoders = RunProcess("ffmpeg", {"-hide_banner", "-encoders"}).out;
  if (encoders.find(std::string(" ") + c.encoder + " ") == std::string::npos) {
    GTEST_SKIP() << "this ffmpeg has no " << c.encoder << " encoder";
  }
  testsupport::TempDir dir;
  const fs::path whole = dir.path() / (std::string("whole") + c.extension);
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
  args.insert(args.end(), c.ffmpegArgs.begin(), c.ffmpegArgs.end());
  args.push_back(whole.string());
  const auto made = RunProcess("ffmpeg", args);
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const uintmax_t size = fs::file_size(whole);

  std::vector<std::string> cuts;
  // A transport stream cut at a packet boundary is indistinguishable from a whole one.
  for (uintmax_t length : {size / 5, size / 2, size * 4 / 5, size - 1}) {
    const uintmax_t cut = length % 188 == 0 ? length - 1 : length;
    const fs::path path = dir.path() / ("cut" + std::to_string(cut) + c.extension);
    WritePrefix(whole, path, cut);
    cuts.push_back(path.string());
  }
  const fs::path renamed = dir.path() / (std::string("renamed") + c.otherExtension);
  fs::copy_file(whole, renamed);
  const fs::path cutRenamed = dir.path() / (std::string("cut-renamed") + c.otherExtension);
  WritePrefix(whole, cutRenamed, size / 2);

  std::vector<std::string> paths = {"--explain", whole.string(), renamed.string(),
                                    cutRenamed.string()};
  paths.insert(paths.end(), cuts.begin(), cuts.end());
  const auto result = RunKindprobe(paths);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  auto codes = ReasonCodes(result.out);
  SCOPED_TRACE(result.out);

  EXPECT_TRUE(codes.at(whole.string()).empty());
  for (const std::string& cut : cuts) {
    EXPECT_EQ(codes.at(cut), std::vector<std::string>{"truncated"}) << cut;
  }
  EXPECT_EQ(codes.at(renamed.string()), std::vector<std::string>{"renamed"});
  EXPECT_EQ(codes.at(cutRenamed.string()), (std::vector<std::string>{"truncated", "renamed"}));
}

INSTANTIATE_TEST_SUITE_P(Containers, ExplainRealMedia, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Files that play to their end, as encoders, taggers and downloads leave them: no reason at
// all. `appended` is added to ffmpeg's output, as a tagger would.
struct HealthyCase {
  const char* name;
  std::vector<std::string> ffmpegArgs;  // the output's name last
  std::string appended;
};

std::string Id3v1Tag() {
  std::string tag = "TAG";
  tag.resize(128, ' ');
  return tag;
}

std::vector<HealthyCase> HealthyCases() {
  return {
      {"bare_mp3", With(kAudio, {"-c:a", "libmp3lame", "-id3v2_version", "0", "bare.mp3"}), ""},
      {"mp2_as_mp3", With(kAudio, {"-c:a", "mp2", "-f", "mp2", "mp2.mp3"}), ""},
      {"mpeg1_video_as_mpg", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpeg1video", "v.mpg"}), ""},
      {"fragmented_mp4", With(kVideo, {"-c:v", "mpeg4", "-movflags", "frag_keyframe",
                                       "-frag_duration", "100000", "frag.mp4"}), ""},
      {"streaming_mp4", With(kVideo, {"-c:v", "mpeg4", "-movflags", "frag_keyframe+empty_moov",
                                      "stream.mp4"}), ""},
      {"mp4_id3v1", With(kVideo, {"-c:v", "mpeg4", "tagged.mp4"}), Id3v1Tag()},
      {"mp4_zero_padding", With(kVideo, {"-c:v", "mpeg4", "padded.mp4"}), std::string(4, '\0')},
      {"flv_id3v1", With(kVideo, {"-c:v", "flv", "tagged.flv"}), Id3v1Tag()},
      {"mkv_id3v1", With(kVideo, {"-c:v", "mpeg4", "tagged.mkv"}), Id3v1Tag()},
      {"ts_id3v1", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpegts", "tagged.ts"}), Id3v1Tag()},
      {"wmv", With(kVideo, {"-c:v", "wmv2", "v.wmv"}), ""},
  };
}

// The file ffmpeg wrote for `args` (its last argument), in `dir`; empty when it could not.
fs::path WriteWithFfmpeg(const fs::path& dir, std::vector<std::string> args) {
  const fs::path out = dir / args.back();
  args.back() = out.string();
  args.insert(args.begin(), {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"});
  return RunProcess("ffmpeg", args).exitCode == 0 ? out : fs::path();
}

class ExplainHealthyMedia : public ::testing::Test {
 protected:
  void SetUp() override { RequireFfmpeg(); }
};

TEST_F(ExplainHealthyMedia, FilesThatPlayHaveNoReason) {
  testsupport::TempDir dir;
  std::vector<std::string> args = {"--explain"};
  for (const HealthyCase& c : HealthyCases()) {
    const fs::path path = WriteWithFfmpeg(dir.path(), c.ffmpegArgs);
    if (path.empty()) continue;  // an encoder this ffmpeg lacks
    std::ofstream(path, std::ios::binary | std::ios::app) << c.appended;
    args.push_back(path.string());
  }
  ASSERT_GT(args.size(), 8u) << "ffmpeg wrote too few of the files";
  const auto result = RunKindprobe(args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  for (const auto& [path, codes] : ReasonCodes(result.out)) {
    EXPECT_TRUE(codes.empty()) << result.out;
  }
}

TEST_F(ExplainHealthyMedia, WhatTheHeadShowsOfFilesCutOrEmpty) {
  testsupport::TempDir dir;
  const std::vector<std::string> longVideo = {"-f", "lavfi", "-i",
                                              "testsrc=size=64x48:rate=25:duration=20"};
  // Fragments of a tenth of a second: hundreds of top-level boxes.
  const fs::path frag = WriteWithFfmpeg(
      dir.path(), With(longVideo, {"-c:v", "mpeg4", "-movflags", "frag_keyframe", "-frag_duration",
                                   "100000", "frag.mp4"}));
  const fs::path emptyMp4 = WriteWithFfmpeg(dir.path(), With(kVideo, {"-frames:v", "0", "e.mp4"}));
  const fs::path emptyMkv = WriteWithFfmpeg(dir.path(), With(kVideo, {"-frames:v", "0", "e.mkv"}));
  ASSERT_FALSE(frag.empty() || emptyMp4.empty() || emptyMkv.empty());
  const fs::path cut = dir.path() / "cut.mp4";
  WritePrefix(frag, cut, fs::file_size(frag) * 3 / 4);
  const auto result = RunKindprobe({"--explain", cut.string(), emptyMp4.string(),
                                    emptyMkv.string()});
  const auto codes = ReasonCodes(result.out);
  SCOPED_TRACE(result.out);
  EXPECT_EQ(codes.at(cut.string()), std::vector<std::string>{"truncated"});
  EXPECT_EQ(codes.at(emptyMp4.string()), std::vector<std::string>{"no-media-data"});
  EXPECT_EQ(codes.at(emptyMkv.string()), std::vector<std::string>{"no-media-data"});
}

TEST(ExplainOutput, FilesWithoutContentOrAccessHaveNoReasons) {
  testsupport::TempDir dir;
  const fs::path empty = dir.Write("empty.avi", "");
  // Text under a name that promises nothing (".dat" is the text rule's too).
  const fs::path text = dir.Write("notes.dat", "just some words\n");
  const auto result = RunKindprobe({"--explain", "--json", empty.string(), text.string(),
                                    (dir.path() / "missing.avi").string()});
  EXPECT_EQ(result.exitCode, 1);
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    EXPECT_NE(line.find(",\"reasons\":[],\"streams\":[]}"), std::string::npos) << line;
  }
}

// What the content is, where the name promised media: text of each kind, and zeros.
struct ContentCase {
  const char* name;
  std::string content;
  const char* code;  // the one reason expected; empty for none
  const char* what;  // a word the English detail must hold
};

std::vector<ContentCase> ContentCases() {
  const std::string zeros(100000, '\0');
  std::string zerosThenData = zeros;
  zerosThenData.back() = 1;
  std::string dataThenZeros = zeros;
  dataThenZeros[5000] = 1;  // past the head, before the end looked at
  return {
      {"page.mp4", "\n  <!DOCTYPE html><html><body>403 Forbidden</body></html>\n", "not-media",
       "HTML page"},
      {"page.mkv", "\xEF\xBB\xBF<HTML><HEAD>", "not-media", "HTML page"},
      {"error.avi", "{\"error\":\"expired\"}", "not-media", "JSON"},
      {"feed.flv", "<?xml version=\"1.0\"?><rss/>", "not-media", "XML"},
      {"notes.avi", "just some words\n", "not-media", "text"},
      // Text whose bytes a transport stream could have (0x47 every 188 bytes) is not read as one.
      {"letters.ts", std::string(1000, 'G'), "not-media", "text"},
      {"notes.rmvb", "line one\r\nline two\r\n", "not-media", "text"},
      {"binary.mp4",
       std::string("abc\x01"
                   "def"),
       "", ""},
      // An INI file's section is no JSON array; pretty-printed JSON is JSON.
      {"settings.wmv", "[Reference]\r\nRef1=http://example.org/a.wmv\r\n", "not-media", "text"},
      {"reply.mp4", "{\n  \"status\": 404\n}\n", "not-media", "JSON"},
      {"reserved.mkv", zeros, "zero-filled", "100000"},
      {"reserved.dat", zeros, "zero-filled", "100000"},
      {"small.mp4", std::string(300, '\0'), "zero-filled", "300"},
      {"written-at-end.mkv", zerosThenData, "", ""},
      {"written-inside.mkv", dataThenZeros, "zero-filled", ""},
  };
}

TEST(ExplainOutput, TextUnderAMediaNameAndZerosAreNamed) {
  testsupport::TempDir dir;
  std::vector<std::string> args = {"--explain", "--lang", "en"};
  const auto cases = ContentCases();
  for (const ContentCase& c : cases) args.push_back(dir.Write(c.name, c.content).string());
  const auto result = RunKindprobe(args);
  SCOPED_TRACE(result.out);
  const auto codes = ReasonCodes(result.out);
  for (const ContentCase& c : cases) {
    const std::string path = (dir.path() / c.name).string();
    const std::vector<std::string> expected =
        *c.code == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.code};
    EXPECT_EQ(codes.at(path), expected) << c.name;
    const size_t at = result.out.find(path + ":");
    const size_t next = result.out.find("\n" + dir.path().string(), at);
    EXPECT_NE(result.out.substr(at, next - at).find(c.what), std::string::npos) << c.name;
  }
}

TEST(ExplainOutput, StreamsLineInEitherLanguageAndJsonArray) {
  testsupport::TempDir dir;
  // A WAV of 8 bytes of 16-bit mono PCM; the same with the extensible format (0xFFFE) whose
  // sub-format is IEEE float (3).
  const std::string fmt =
      std::string("fmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0\x02\0\x10\0", 24);
  std::string ext = std::string(
      "fmt \x28\0\0\0\xFE\xFF\x01\0\x40\x1F\0\0\x00\x7D\0\0\x04\0\x20\0"
      "\x16\0\x20\0\x04\0\0\0\x03\0\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71",
      48);
  const std::string data = std::string("data\x08\0\0\0", 8) + std::string(8, '\x01');
  const auto wav = [&](const std::string& format) {
    const std::string body = "WAVE" + format + data;
    const auto size = static_cast<char>(body.size());
    return std::string("RIFF") + size + std::string(3, '\0') + body;
  };
  const fs::path pcm = dir.Write("pcm.wav", wav(fmt));
  const fs::path floats = dir.Write("float.wav", wav(ext));
  const auto chinese = RunKindprobe({"--explain", pcm.string()});
  EXPECT_EQ(chinese.out, pcm.string() + ": WAV文件 (TypeID 4)\n  streams: 音频 PCM (0x0001)\n");
  const auto english = RunKindprobe({"--explain", "--lang", "en", floats.string()});
  EXPECT_EQ(english.out,
            floats.string() + ": WAV file (TypeID 4)\n  streams: audio PCM (float) (0x0003)\n");
  const auto json = RunKindprobe({"--explain", "--json", "--lang", "en", floats.string()});
  EXPECT_NE(json.out.find(",\"reasons\":[],\"streams\":[{\"kind\":\"audio\",\"codec\":"
                          "\"PCM (float)\",\"tag\":\"0x0003\"}]}"),
            std::string::npos)
      << json.out;
  // Without --explain, no streams key.
  EXPECT_EQ(RunKindprobe({"--json", pcm.string()}).out.find("streams"), std::string::npos);
}

TEST(ExplainOutput, EnglishDetailsAndUnchangedOutputWithoutTheOption) {
  testsupport::TempDir dir;
  std::string riff = std::string("RIFF") + std::string("\x10\x27\0\0", 4) + "AVI LIST";
  riff.resize(64, '\0');
  const fs::path cut = dir.Write("clip.avi", riff);
  const auto english = RunKindprobe({"--explain", "--lang", "en", cut.string()});
  EXPECT_EQ(english.out,
            cut.string() +
                ": AVI file (TypeID 4)\n"
                "  truncated: the RIFF header declares 10008 bytes, the file has 64\n");
  const auto plain = RunKindprobe({cut.string()});
  EXPECT_EQ(plain.out, cut.string() + ": AVI文件 (TypeID 4)\n");
  const auto bad = RunKindprobe({"--lang", "fr", cut.string()});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.err, "kindprobe: --lang takes zh or en\n");
}

}  // namespace
}  // namespace kindprobe::clitest
