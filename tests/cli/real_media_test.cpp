// Real files written by ffmpeg (and documents built here), in every container the rule table
// knows that ffmpeg can write, classified under their own name, renamed to ".txt" and with no
// extension at all. ffmpeg is required: without it these tests fail, unless the environment
// variable KINDPROBE_ALLOW_NO_FFMPEG is set, in which case they are skipped.
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_process.h"
#include "json_line.h"
#include "platform/utf.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

namespace fs = std::filesystem;

struct MediaCase {
  const char* name;       // test name and file stem
  const char* extension;  // with its dot
  std::vector<std::string> ffmpegArgs;  // inputs and codec options; the output is appended
  const char* encoder;    // an encoder that must be present, or "" for none
  int typeId;
  const char* description;
};

// Test names carry the case's name; gtest would otherwise print the case's bytes.
void PrintTo(const MediaCase& c, std::ostream* out) { *out << c.name; }

const std::vector<std::string> kVideo = {"-f", "lavfi", "-i", "testsrc=size=32x32:rate=25:duration=0.2"};
const std::vector<std::string> kAudio = {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=0.2"};
const std::vector<std::string> kPicture = {"-f", "lavfi", "-i", "testsrc=size=16x16:rate=1", "-frames:v", "1"};

std::vector<std::string> With(std::vector<std::string> base, std::initializer_list<std::string> more) {
  base.insert(base.end(), more);
  return base;
}

std::vector<MediaCase> Cases() {
  return {
      {"avi", ".avi", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", 4, "AVI文件"},
      {"mkv", ".mkv", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", 4, "MKV媒体文件"},
      {"mpeg_ps", ".mpg", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpeg"}), "mpeg1video", 4, "MPEG媒体文件"},
      {"mpeg2_ps", ".vob", With(kVideo, {"-c:v", "mpeg2video", "-f", "vob"}), "mpeg2video", 4, "MPEG媒体文件"},
      {"mpeg_ts", ".ts", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpegts"}), "mpeg1video", 4, "MPEG媒体文件"},
      {"mpeg1_video", ".m1v", With(kVideo, {"-c:v", "mpeg1video", "-f", "mpeg1video"}), "mpeg1video", 4, "Some Media"},
      {"mp4", ".mp4", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", 4, "MPEG-4文件"},
      {"mov", ".mov", With(kVideo, {"-c:v", "mpeg4"}), "mpeg4", 4, "MPEG-4文件"},
      {"m4a", ".m4a", With(kAudio, {"-c:a", "aac"}), "aac", 4, "MPEG-4文件"},
      {"flv", ".flv", With(kVideo, {"-c:v", "flv"}), "flv", 4, "FLV媒体文件"},
      {"swf", ".swf", With(kVideo, {"-c:v", "flv", "-f", "swf"}), "flv", 4, "FLV媒体文件"},
      {"mp3", ".mp3", With(kAudio, {"-c:a", "libmp3lame"}), "libmp3lame", 4, "MP3文件"},
      {"ogg", ".ogg", With(kAudio, {"-c:a", "libvorbis"}), "libvorbis", 4, "OGG媒体文件"},
      {"wav", ".wav", With(kAudio, {"-c:a", "pcm_s16le"}), "pcm_s16le", 4, "WAV文件"},
      {"amr", ".amr", With(kAudio, {"-c:a", "libopencore_amrnb", "-ar", "8000", "-ac", "1"}), "libopencore_amrnb", 4, "AMR媒体文件"},
      {"wma", ".wma", With(kAudio, {"-c:a", "wmav2"}), "wmav2", 4, "Windows媒体文件"},
      {"wmv", ".wmv", With(kVideo, {"-c:v", "wmv2"}), "wmv2", 4, "Windows媒体文件"},
      {"asf", ".asf", With(kVideo, {"-c:v", "wmv1"}), "wmv1", 4, "Windows媒体文件"},
      {"aiff", ".aiff", With(kAudio, {"-c:a", "pcm_s16be"}), "pcm_s16be", 4, "Some Media"},
      {"au", ".au", With(kAudio, {"-c:a", "pcm_s16be", "-f", "au"}), "pcm_s16be", 4, "Some Media"},
      {"png", ".png", kPicture, "png", 2, "PNG图像文件"},
      {"jpeg", ".jpg", With(kPicture, {"-pix_fmt", "yuvj420p"}), "mjpeg", 2, "JPEG图像文件"},
      {"gif", ".gif", kPicture, "gif", 2, "GIF图像文件"},
      {"bmp", ".bmp", kPicture, "bmp", 2, "BMP图像文件"},
      {"ico", ".ico", kPicture, "bmp", 2, "ICO图像文件"},
  };
}

const std::string& EncoderList() {
  static const std::string list =
      RunProcess("ffmpeg", {"-hide_banner", "-encoders"}).out;
  return list;
}

bool HasEncoder(const std::string& encoder) {
  return encoder.empty() || EncoderList().find(" " + encoder + " ") != std::string::npos;
}

// The answer for each of `paths`, from one --json run.
std::vector<JsonObject> Classify(const std::vector<std::string>& paths) {
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto result = RunKindprobe(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::vector<JsonObject> objects;
  for (const std::string& line : Lines(result.out)) {
    auto object = ParseJsonLine(line);
    EXPECT_TRUE(object.has_value()) << line;
    if (object) objects.push_back(std::move(*object));
  }
  return objects;
}

// The file under its own name, renamed to ".txt", and without extension.
void ExpectSameAnswerUnderEveryName(const fs::path& file, int typeId, const std::string& description) {
  const fs::path renamed = file.parent_path() / (file.stem().string() + "-renamed.txt");
  const fs::path bare = file.parent_path() / (file.stem().string() + "-noext");
  fs::copy_file(file, renamed);
  fs::copy_file(file, bare);
  const std::vector<std::string> paths = {file.string(), renamed.string(), bare.string()};
  const auto answers = Classify(paths);
  ASSERT_EQ(answers.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    EXPECT_EQ(answers[i].at("typeId").integer, typeId);
    EXPECT_EQ(platform::Utf16ToUtf8(answers[i].at("description").text), description);
  }
}

class RealMedia : public ::testing::TestWithParam<MediaCase> {
 protected:
  void SetUp() override {
    if (!ProgramAvailable("ffmpeg")) {
      if (std::getenv("KINDPROBE_ALLOW_NO_FFMPEG") != nullptr) {
        GTEST_SKIP() << "ffmpeg is not installed (allowed by KINDPROBE_ALLOW_NO_FFMPEG)";
      }
      FAIL() << "ffmpeg is needed to write the media files (apt-get install ffmpeg), or set "
                "KINDPROBE_ALLOW_NO_FFMPEG to skip these tests";
    }
  }
};

TEST_P(RealMedia, IsRecognisedByNameAndByContent) {
  const MediaCase& c = GetParam();
  if (!HasEncoder(c.encoder)) GTEST_SKIP() << "this ffmpeg has no " << c.encoder << " encoder";
  testsupport::TempDir dir;
  const fs::path file = dir.path() / (std::string(c.name) + c.extension);
  std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
  args.insert(args.end(), c.ffmpegArgs.begin(), c.ffmpegArgs.end());
  args.push_back(file.string());
  const auto made = RunProcess("ffmpeg", args);
  ASSERT_EQ(made.exitCode, 0) << made.err;
  ASSERT_GT(fs::file_size(file), 0u);
  ExpectSameAnswerUnderEveryName(file, c.typeId, c.description);
}

INSTANTIATE_TEST_SUITE_P(Containers, RealMedia, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutLe(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) *out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A complete archive holding one stored file.
std::string ZipArchive(const std::string& name, const std::string& data) {
  const uint32_t crc = Crc32(data);
  const auto size = static_cast<uint32_t>(data.size());
  std::string local = "PK\x03\x04";
  PutLe(&local, 20, 2), PutLe(&local, 0, 2), PutLe(&local, 0, 2), PutLe(&local, 0, 4);
  PutLe(&local, crc, 4), PutLe(&local, size, 4), PutLe(&local, size, 4);
  PutLe(&local, static_cast<uint32_t>(name.size()), 2), PutLe(&local, 0, 2);
  local += name + data;
  std::string central = "PK\x01\x02";
  PutLe(&central, 20, 2), PutLe(&central, 20, 2), PutLe(&central, 0, 2), PutLe(&central, 0, 2);
  PutLe(&central, 0, 4), PutLe(&central, crc, 4), PutLe(&central, size, 4), PutLe(&central, size, 4);
  PutLe(&central, static_cast<uint32_t>(name.size()), 2);
  for (int i = 0; i < 4; ++i) PutLe(&central, 0, 2);
  PutLe(&central, 0, 4), PutLe(&central, 0, 4);
  central += name;
  std::string end = "PK\x05\x06";
  PutLe(&end, 0, 4), PutLe(&end, 1, 2), PutLe(&end, 1, 2);
  PutLe(&end, static_cast<uint32_t>(central.size()), 4);
  PutLe(&end, static_cast<uint32_t>(local.size()), 4), PutLe(&end, 0, 2);
  return local + central + end;
}

// A one-page document with a binary comment line, as writers put after the header.
std::string PdfDocument() {
  return "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"
         "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
         "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
         "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >> endobj\n"
         "trailer << /Root 1 0 R >>\n%%EOF\n";
}

// Debian's ffmpeg decodes AMR but has no AMR encoder: the file is written here from the
// format's storage layout (magic line, then 12.2 kbit/s frames of one header byte and 31 bytes
// of speech bits), and ffmpeg must decode it before it counts as real.
TEST(RealDocuments, AmrDecodableByFfmpegIsRecognisedByNameAndByContent) {
  if (!ProgramAvailable("ffmpeg")) GTEST_SKIP() << "covered by the RealMedia failure";
  std::string amr = "#!AMR\n";
  for (int frame = 0; frame < 10; ++frame) amr += '\x3c' + std::string(31, '\0');
  testsupport::TempDir dir;
  const auto file = dir.Write("speech.amr", amr);
  const auto decoded = RunProcess(
      "ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-i", file.string(), "-f", "null", "-"});
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
  ExpectSameAnswerUnderEveryName(file, 4, "AMR媒体文件");
}

TEST(RealDocuments, ZipArchiveIsRecognisedByNameAndByContent) {
  testsupport::TempDir dir;
  const auto zip = dir.Write("bundle.zip", ZipArchive("a.txt", "hello\n"));
  ExpectSameAnswerUnderEveryName(zip, 2, "ZIP压缩文档");
}

TEST(RealDocuments, PdfWithoutControlBytesIsTextUnlessNamedPdf) {
  testsupport::TempDir dir;
  const auto pdf = dir.Write("paper.pdf", PdfDocument());
  const auto renamed = dir.Write("paper.txt", PdfDocument());
  // Every byte of this document is 8 or more: once its own name no longer names the PDF rule,
  // the text test comes before the scan.
  const auto answers = Classify({pdf.string(), renamed.string()});
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(platform::Utf16ToUtf8(answers[0].at("description").text), "PDF文档");
  EXPECT_EQ(platform::Utf16ToUtf8(answers[1].at("description").text), "文本文件");
}

}  // namespace
}  // namespace kindprobe::clitest
