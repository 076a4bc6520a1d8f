// The streams the explainers name, over headers built byte by byte: well-formed ones, and the
// hostile ones where a read past a structure's end or an unbounded walk would hide.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/explain/codec_names.h"
#include "explain_support.h"

namespace kindprobe::explaintest {
namespace {

using explain::ReasonCode;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(std::string_view text) { return Builder().Text(text).bytes(); }
Bytes Zeros(size_t count) { return Bytes(count, 0); }

// An ISO box; with `large`, its size in the 64-bit field.
Bytes Box(const char* type, const Bytes& body, bool large = false) {
  Builder box;
  if (large) {
    box.Be32(1).Text(type).Be64(16 + body.size());
  } else {
    box.Be32(static_cast<uint32_t>(8 + body.size())).Text(type);
  }
  return Concat({box.bytes(), body});
}

Bytes FullBox(const char* type, const Bytes& fields) { return Box(type, Concat({Zeros(4), fields})); }

// A track of `handler` whose only sample entry is `entry`.
Bytes Track(const char* handler, const Bytes& entry, bool largeStsd = false) {
  const Bytes hdlr = FullBox("hdlr", Concat({Zeros(4), Text(handler), Zeros(12), Text("x")}));
  Bytes stsdBody = Concat({Zeros(4), Builder().Be32(1).bytes(), entry});
  const Bytes stsd = Box("stsd", stsdBody, largeStsd);
  return Box("trak", Box("mdia", Concat({hdlr, Box("minf", Box("stbl", stsd))})));
}

Bytes VisualEntry(const char* type, const Bytes& children = {}) {
  return Box(type, Concat({Zeros(8 + 70), children}));
}
Bytes SoundEntry(const char* type, const Bytes& children = {}) {
  return Box(type, Concat({Zeros(8 + 20), children}));
}

// esds: an ES descriptor (flags `esFlags`, then `optional` bytes) holding a decoder config of
// `objectType`.
Bytes Esds(uint8_t esFlags, const Bytes& optional, uint8_t objectType) {
  const Bytes config = {0x04, 13, objectType, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Bytes es = {0x03, static_cast<uint8_t>(3 + optional.size() + config.size()), 0, 1, esFlags};
  return FullBox("esds", Concat({es, optional, config}));
}

Bytes Mp4(const Bytes& moovBody, bool moovAtEnd = false) {
  const Bytes ftyp = Box("ftyp", Text("isom\0\0\0\0isom"));
  const Bytes mdat = Box("mdat", Bytes(moovAtEnd ? 20000 : 100, 0x55));
  const Bytes moov = Box("moov", moovBody);
  return moovAtEnd ? Concat({ftyp, mdat, moov}) : Concat({ftyp, moov, mdat});
}

std::vector<std::string> Tags(const Outcome& outcome) {
  std::vector<std::string> tags;
  for (const auto& stream : outcome.streams) tags.push_back(stream.tag);
  return tags;
}

struct StreamsCase {
  const char* name;
  Bytes file;
  std::vector<std::string> tags;
  bool encrypted = false;
};

void PrintTo(const StreamsCase& c, std::ostream* out) { *out << c.name; }

std::vector<StreamsCase> IsoCases() {
  const Bytes hevc = Track("vide", VisualEntry("hvc1"));
  const Bytes aac = Track("soun", SoundEntry("mp4a", Esds(0, {}, 0x40)));
  Bytes url = {11};
  const Bytes withUrl = Concat({url, Text("example.org")});
  Bytes manyTracks;
  for (int i = 0; i < 40; ++i) manyTracks = Concat({manyTracks, hevc});
  const Bytes protectedVideo = Track(
      "vide", VisualEntry("encv", Box("sinf", Concat({Box("frma", Text("avc1")),
                                                        FullBox("schm", Text("cbcs\0\0\1\0"))}))));
  // An entry whose size runs past its stsd, and an esds whose URL runs past the box.
  Bytes overrun = Track("vide", VisualEntry("av01"));
  overrun[overrun.size() - 86 + 1] = 0x10;
  const Bytes cutUrl = Track("soun", SoundEntry("mp4a", FullBox("esds", {0x03, 0x7F, 0, 1, 0x40, 200})));
  return {
      {"faststart", Mp4(Concat({hevc, aac})), {"hvc1", "mp4a.40"}},
      {"index_at_the_end", Mp4(Concat({hevc, aac}), true), {"hvc1", "mp4a.40"}},
      {"stsd_with_a_64_bit_size", Mp4(Track("vide", VisualEntry("vp09"), true)), {"vp09"}},
      {"esds_with_a_url", Mp4(Track("soun", SoundEntry("mp4a", Esds(0x40, withUrl, 0x6B)))),
       {"mp4a.6B"}},
      {"esds_url_past_its_box", Mp4(cutUrl), {"mp4a"}},
      {"entry_past_its_stsd", Mp4(overrun), {}},
      {"protected_entry", Mp4(protectedVideo), {"avc1"}, true},
      {"licence_data_alone", Mp4(Concat({FullBox("pssh", Zeros(20)), hevc})), {"hvc1"}, true},
      {"more_tracks_than_kept", Mp4(manyTracks),
       std::vector<std::string>(explain::kMaxStreams, "hvc1")},
  };
}

// A Matroska element with an 8-byte size.
Bytes Element(uint32_t id, const Bytes& body) {
  Builder element;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if ((id >> shift) != 0) element.Raw({static_cast<uint8_t>(id >> shift)});
  }
  element.Raw({0x01}).Raw({0, 0}).Be32(0).Raw({static_cast<uint8_t>(body.size())});
  return Concat({element.bytes(), body});
}

Bytes Matroska(const Bytes& tracks) {
  const Bytes ebml = Element(0x1A45DFA3, Element(0x4282, Text("matroska")));
  const Bytes cluster = Element(0x1F43B675, Zeros(30));
  return Concat({ebml, Element(0x18538067, Concat({Element(0x1654AE6B, tracks), cluster}))});
}

Bytes TrackEntry(uint8_t type, const char* codec, const Bytes& more = {}) {
  return Element(0xAE, Concat({Element(0x83, {type}), Element(0x86, Text(codec)), more}));
}

std::vector<StreamsCase> MatroskaCases() {
  const Bytes encryption =
      Element(0x6D80, Element(0x6240, Element(0x5035, Element(0x47E1, {5}))));
  Bytes cut = TrackEntry(2, "A_DTS");
  cut[cut.size() - 6] = 0x40;  // the CodecID's size claims more than Tracks holds
  return {
      {"two_tracks", Matroska(Concat({TrackEntry(1, "V_MPEGH/ISO/HEVC"), TrackEntry(2, "A_EAC3")})),
       {"V_MPEGH/ISO/HEVC", "A_EAC3"}},
      {"encrypted_track", Matroska(TrackEntry(1, "V_VP9", encryption)), {"V_VP9"}, true},
      {"codec_id_past_tracks", Matroska(cut), {"A_DTS"}},
  };
}

// One 188-byte packet of `pid` starting a section `section`.
Bytes Packet(uint16_t pid, const Bytes& section) {
  Bytes packet = {0x47, static_cast<uint8_t>(0x40 | pid >> 8), static_cast<uint8_t>(pid), 0x10, 0};
  packet = Concat({packet, section});
  packet.resize(188, 0xFF);
  return packet;
}

Bytes Section(uint8_t table, const Bytes& body) {
  const size_t length = body.size() + 5 + 4;  // five header bytes after the length, the CRC
  return Concat({{table, static_cast<uint8_t>(0xB0 | length >> 8), static_cast<uint8_t>(length),
                  0, 1, 0xC1, 0, 0},
                 body, Zeros(4)});
}

Bytes TransportStream(const Bytes& esLoop) {
  const Bytes pat = Packet(0, Section(0x00, {0, 1, 0xE0, 0x20}));
  const Bytes pmt = Packet(0x20, Section(0x02, Concat({{0xE1, 0x00, 0xF0, 0x00}, esLoop})));
  Bytes file = Concat({pat, pmt});
  for (int i = 0; i < 4; ++i) file = Concat({file, Packet(0x100, {})});
  return file;
}

std::vector<StreamsCase> TransportStreamCases() {
  return {
      {"video_and_registered_audio",
       TransportStream({0x24, 0xE1, 0x00, 0xF0, 0x00, 0x06, 0xE1, 0x01, 0xF0, 0x06, 0x05, 0x04,
                        'O', 'p', 'u', 's'}),
       {"0x24", "0x06.Opus"}},
      {"descriptors_past_the_section",
       TransportStream({0x06, 0xE1, 0x01, 0xF0, 0x40, 0x6A, 0x01}), {"0x06.0x6A"}},
  };
}

class Streams : public ::testing::TestWithParam<StreamsCase> {};

TEST_P(Streams, NamesTheTagsWithinTheBudget) {
  const StreamsCase& c = GetParam();
  const Outcome outcome = Explain(c.file);
  EXPECT_EQ(Tags(outcome), c.tags);
  EXPECT_EQ(outcome.Has(ReasonCode::kEncrypted), c.encrypted);
  EXPECT_LE(outcome.extraReads, explain::kMaxExtraReads);
  EXPECT_LE(outcome.streamReads, explain::kMaxStreamReads);
}

INSTANTIATE_TEST_SUITE_P(IsoMedia, Streams, ::testing::ValuesIn(IsoCases()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Matroska, Streams, ::testing::ValuesIn(MatroskaCases()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(MpegTs, Streams, ::testing::ValuesIn(TransportStreamCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CodecNames, TagsAreNamedPerContainerAndUnknownOnesAsThemselves) {
  using explain::Container;
  using explain::NamedStream;
  using explain::StreamKind;
  const auto hevc = NamedStream(Container::kIsoMedia, "hvc1", StreamKind::kOther);
  EXPECT_EQ(hevc.codec, u"HEVC");
  EXPECT_EQ(hevc.kind, StreamKind::kVideo);
  // The same tag is another container's: not named there.
  EXPECT_EQ(NamedStream(Container::kMatroska, "hvc1", StreamKind::kVideo).codec, u"hvc1");
  const auto subtitles = NamedStream(Container::kMatroska, "S_TEXT/UTF8", StreamKind::kOther);
  EXPECT_EQ(subtitles.kind, StreamKind::kSubtitle);
  EXPECT_FALSE(subtitles.codecZh.empty());
  // A four-character code padded with spaces, and bytes no tag may hold.
  EXPECT_EQ(NamedStream(Container::kIsoMedia, "dvc ", StreamKind::kOther).codec, u"DV");
  const auto odd = NamedStream(Container::kRiff, std::string("a\x01\xFF", 3), StreamKind::kAudio);
  EXPECT_EQ(odd.tag, "a??");
  EXPECT_EQ(odd.kind, StreamKind::kAudio);
  // A structure too short for its identifier (a WAV's empty fmt chunk), or a code of spaces,
  // names no stream.
  explain::Explanation explanation;
  explain::AddStream(&explanation, Container::kRiff, "", StreamKind::kAudio);
  explain::AddStream(&explanation, Container::kIsoMedia, "    ", StreamKind::kVideo);
  EXPECT_TRUE(explanation.streams.empty());
}

}  // namespace
}  // namespace kindprobe::explaintest
