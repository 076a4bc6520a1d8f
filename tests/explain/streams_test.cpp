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

Bytes FullBox(const char* type, const Bytes& fields) {
  return Box(type, Concat({Zeros(4), fields}));
}

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
  const Bytes cutUrl =
      Track("soun", SoundEntry("mp4a", FullBox("esds", {0x03, 0x7F, 0, 1, 0x40, 200})));
  return {
      {"faststart", Mp4(Concat({hevc, aac})), {"hvc1", "mp4a.40"}},
      {"index_at_the_end", Mp4(Concat({hevc, aac}), true), {"hvc1", "mp4a.40"}},
      {"stsd_with_a_64_bit_size", Mp4(Track("vide", VisualEntry("vp09"), true)), {"vp09"}},
      {"esds_with_a_url",
       Mp4(Track("soun", SoundEntry("mp4a", Esds(0x40, withUrl, 0x6B)))),
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
  const Bytes encryption = Element(0x6D80, Element(0x6240, Element(0x5035, Element(0x47E1, {5}))));
  Bytes cut = TrackEntry(2, "A_DTS");
  cut[cut.size() - 6] = 0x40;  // the CodecID's size claims more than Tracks holds
  return {
      {"two_tracks",
       Matroska(Concat({TrackEntry(1, "V_MPEGH/ISO/HEVC"), TrackEntry(2, "A_EAC3")})),
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
  return Concat({{table, static_cast<uint8_t>(0xB0 | length >> 8), static_cast<uint8_t>(length), 0,
                  1, 0xC1, 0, 0},
                 body,
                 Zeros(4)});
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
       TransportStream({0x24, 0xE1, 0x00, 0xF0, 0x00, 0x06, 0xE1, 0x01, 0xF0, 0x06, 0x05, 0x04, 'O',
                        'p', 'u', 's'}),
       {"0x24", "0x06.Opus"}},
      {"descriptors_past_the_section",
       TransportStream({0x06, 0xE1, 0x01, 0xF0, 0x40, 0x6A, 0x01}),
       {"0x06.0x6A"}},
  };
}

// A RIFF chunk, padded to an even size; a LIST of `type`.
Bytes Chunk(const char* id, const Bytes& body) {
  Bytes chunk =
      Concat({Text(id), Builder().Le32(static_cast<uint32_t>(body.size())).bytes(), body});
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}
Bytes List(const char* type, const Bytes& body) {
  return Chunk("LIST", Concat({Text(type), body}));
}

Bytes StreamList(const char* kind, const char* handler, const Bytes& format) {
  return List("strl", Concat({Chunk("strh", Concat({Text(kind), Text(handler), Zeros(48)})),
                              Chunk("strf", format)}));
}
Bytes Bitmap(const char* compression) { return Concat({Zeros(16), Text(compression), Zeros(20)}); }
Bytes WaveFormat(uint8_t low, uint8_t high) { return Concat({{low, high}, Zeros(16)}); }

Bytes Avi(const Bytes& hdrlBody, uint32_t hdrlSize = 0) {
  Bytes hdrl = List("hdrl", Concat({Chunk("avih", Zeros(56)), hdrlBody}));
  if (hdrlSize != 0) {
    for (int i = 0; i < 4; ++i) hdrl[4 + i] = static_cast<uint8_t>(hdrlSize >> (8 * i));
  }
  const Bytes body = Concat({Text("AVI "), hdrl, List("movi", Chunk("00dc", Zeros(100)))});
  return Concat({Text("RIFF"), Builder().Le32(static_cast<uint32_t>(body.size())).bytes(), body});
}

std::vector<StreamsCase> RiffCases() {
  const Bytes video = StreamList("vids", "H264", Bitmap("H264"));
  const Bytes audio = StreamList("auds", "\0\0\0\0", WaveFormat(0x00, 0x20));
  return {
      {"video_and_audio", Avi(Concat({video, audio})), {"H264", "0x2000"}},
      // A format too short for its compression code: the stream header's handler names it.
      {"short_video_format", Avi(StreamList("vids", "XVID", Zeros(10))), {"XVID"}},
      // The second stream lies past the head, within the one read of hdrl.
      {"second_stream_past_the_head",
       Avi(Concat({video, Chunk("JUNK", Zeros(6000)), audio})),
       {"H264", "0x2000"}},
      {"hdrl_larger_than_the_file", Avi(video, 0xFFFFFF00), {"H264"}},
  };
}

// An ASF Header Object around `objects`.
Bytes Asf(const Bytes& objects) {
  const Bytes guid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  Builder size;
  size.Le32(static_cast<uint32_t>(30 + objects.size())).Le32(0).Le32(2).Raw({1, 2});
  return Concat({guid, size.bytes(), objects, Zeros(200)});
}

Bytes AsfObject(const Bytes& guid, const Bytes& body, size_t declared = 0) {
  Builder size;
  size.Le32(static_cast<uint32_t>(declared != 0 ? declared : 24 + body.size())).Le32(0);
  return Concat({guid, size.bytes(), body});
}

std::vector<StreamsCase> AsfCases() {
  const Bytes properties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                            0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const Bytes audio = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                       0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
  const Bytes video = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                       0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
  const Bytes encryption = {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                            0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
  // Stream type, error correction type, time offset, two lengths, flags, reserved.
  const auto stream = [&](const Bytes& type, const Bytes& specific) {
    return AsfObject(properties, Concat({type, Zeros(16 + 8 + 4 + 4 + 2 + 4), specific}));
  };
  const Bytes wmv3 = stream(video, Concat({Zeros(4 + 4 + 1 + 2), Bitmap("WMV3")}));
  const Bytes wma = stream(audio, WaveFormat(0x61, 0x01));
  // Stream Properties too short for its type-specific data.
  const Bytes cut = AsfObject(properties, Concat({audio, Zeros(10)}));
  return {
      {"video_and_audio", Asf(Concat({wmv3, wma})), {"WMV3", "0x0161"}},
      {"protected", Asf(Concat({AsfObject(encryption, Zeros(16)), wma})), {"0x0161"}, true},
      {"properties_too_short", Asf(cut), {}},
  };
}

// An Ogg page with the flags given and one packet.
Bytes OggPage(uint8_t flags, uint32_t serial, const Bytes& packet, uint8_t lacing = 0) {
  Builder page;
  page.Text("OggS").Raw({0, flags}).Fill(8).Raw({static_cast<uint8_t>(serial), 0, 0, 0}).Fill(8);
  page.Raw({1, lacing != 0 ? lacing : static_cast<uint8_t>(packet.size())});
  return Concat({page.bytes(), packet});
}

std::vector<StreamsCase> OggCases() {
  const Bytes vorbis = OggPage(0x02, 1, Concat({{0x01}, Text("vorbis"), Zeros(23)}));
  const Bytes theora = OggPage(0x02, 2, Concat({{0x80}, Text("theora"), Zeros(35)}));
  const Bytes data = OggPage(0x00, 1, Zeros(50));
  return {
      {"two_streams_then_data",
       Concat({vorbis, theora, data, OggPage(0x04, 1, Zeros(10))}),
       {"vorbis", "theora"}},
      // A first page whose lacing says more than the file holds.
      {"packet_past_the_end", OggPage(0x02, 1, Text("Opu"), 200), {}},
  };
}

std::vector<StreamsCase> FlvCases() {
  Builder flv;
  flv.Text("FLV").Raw({1, 0x05}).Be32(9).Be32(0);
  const auto tag = [](uint8_t type, const Bytes& data) {
    Builder header;
    header.Raw({type, 0, 0, static_cast<uint8_t>(data.size())}).Fill(7);
    return Concat(
        {header.bytes(), data, Builder().Be32(static_cast<uint32_t>(11 + data.size())).bytes()});
  };
  const Bytes script = tag(18, Zeros(30));
  const Bytes hevc = tag(9, {0x1C, 0, 0, 0, 0});
  const Bytes opus = tag(8, Concat({{0x90}, Text("Opus")}));
  return {
      {"enhanced_audio_after_video",
       Concat({flv.bytes(), script, hevc, opus, hevc}),
       {"v12", "Opus"}},
      {"empty_tags_skipped", Concat({flv.bytes(), tag(9, {}), tag(8, {0x2F})}), {"a2"}},
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
INSTANTIATE_TEST_SUITE_P(Riff, Streams, ::testing::ValuesIn(RiffCases()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Asf, Streams, ::testing::ValuesIn(AsfCases()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Ogg, Streams, ::testing::ValuesIn(OggCases()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Flv, Streams, ::testing::ValuesIn(FlvCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The walk to a cut mdat spends the bookkeeping's reads; the tracks, far apart in an index past
// the head, take reads of their own, and the walk's finding stands.
TEST(StreamReads, NamingTheStreamsTakesNoReadOfTheWalk) {
  const Bytes filler = Box("free", Zeros(20000));
  const Bytes farApart = Concat({Track("vide", VisualEntry("hvc1")), Box("free", Zeros(30000)),
                                 Track("soun", SoundEntry("ac-3"))});
  const Bytes whole = Concat({Box("ftyp", Text("isom\0\0\0\0isom")), filler, filler,
                              Box("moov", farApart), Box("mdat", Zeros(50000))});
  const Outcome outcome = Explain(Cut(whole, whole.size() - 1000));
  EXPECT_TRUE(outcome.Has(explain::DetailId::kIsoBox));
  EXPECT_EQ(Tags(outcome), (std::vector<std::string>{"hvc1", "ac-3"}));
  EXPECT_LE(outcome.extraReads, explain::kMaxExtraReads);
  EXPECT_GT(outcome.streamReads, 0u);
  EXPECT_LE(outcome.streamReads, explain::kMaxStreamReads);
}

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
