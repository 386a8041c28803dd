// Archive container: a missing file, the exact layout the writer produces,
// the writer's refusals, and the reader's verdict on damaged images and on
// the deepest nesting.
#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/archive.h"
#include "foundation/archive_test_support.h"
#include "foundation/byte_reader.h"

namespace tavelnor {
namespace {

TEST(ArchiveReaderTest, OpenMissingFileIsNotFound) {
  test::ScratchDir dir;
  ArchiveReader in;
  EXPECT_EQ(in.Open(dir.File("absent.oxatrad")).code(), Status::Code::kNotFound);
}

// ---------------------------------------------------------------------------
// ArchiveWriter and ReadArchive on good archives

// Counts the nodes a traversal enters.
class Recorder : public ArchiveVisitor {
 public:
  void EnterNode(std::string_view, size_t) override { ++nodes; }
  void Text(uint16_t, std::string) override {}
  void LeaveNode() override {}
  int nodes = 0;
};

std::vector<uint8_t> Header(uint32_t sections) {
  ByteWriter w;
  w.Text("TVAR");
  w.U16(1);
  w.U16(0);
  w.U32(sections);
  return w.Take();
}

TEST(ArchiveWriterTest, WritesTheDocumentedLayout) {
  ArchiveWriter writer;
  writer.BeginNode("S");
  writer.Text(1036, "ab");
  writer.BeginNode("x");
  writer.EndNode();
  writer.EndNode();
  auto bytes = writer.Finish();
  ASSERT_TRUE(bytes.ok()) << bytes.status().ToString();
  const std::vector<uint8_t> expected = {'T',  'V',  'A', 'R', 1, 0, 0,   0,
                                         1,    0,    0,   0,  // header, one section
                                         1,    'S',  1,       // "S", one text
                                         0x0C, 0x04, 2,   0,   0, 0, 'a', 'b',  // 1036: "ab"
                                         1,    0,    0,   0,                    // one child
                                         1,    'x',  0,   0,   0, 0, 0};  // "x": no text, no child
  EXPECT_EQ(bytes.value(), expected);
}

// Runs a writer script: "+name" begins a node ("+" alone: empty name), "-"
// ends one, a number writes a text in that language.
Status RunScript(const std::string& script) {
  ArchiveWriter writer;
  std::istringstream tokens(script);
  for (std::string token; tokens >> token;) {
    if (token[0] == '+') {
      writer.BeginNode(std::string_view(token).substr(1));
    } else if (token == "-") {
      writer.EndNode();
    } else {
      writer.Text(static_cast<uint16_t>(std::stoi(token)), "t");
    }
  }
  return writer.Finish().status();
}

std::string Repeat(const std::string& token, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += token + " ";
  return out;
}

TEST(ArchiveWriterTest, RefusesMisuse) {
  std::string many_languages = "+s ";
  for (int lang = 0; lang < 256; ++lang) many_languages += std::to_string(lang) + " ";
  const std::pair<const char*, std::string> cases[] = {
      {"empty name", "+ -"},
      {"name of 256 bytes", "+" + std::string(256, 'n') + " -"},
      {"siblings out of order", "+b - +a -"},
      {"repeated child", "+s +x - +x - -"},
      {"text after a child", "+s +x - 1036 -"},
      {"repeated language", "+s 1036 1036 -"},
      {"languages out of order", "+s 2055 1036 -"},
      {"256 languages", many_languages + "-"},
      {"text outside a node", "1036"},
      {"EndNode without BeginNode", "-"},
      {"node left open", "+open"},
      {"65 levels", Repeat("+n", kArchiveMaxDepth + 1) + Repeat("-", kArchiveMaxDepth + 1)},
  };
  for (const auto& [name, script] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(RunScript(script).code(), Status::Code::kInvalidArgument);
  }
  // The limits themselves are accepted.
  EXPECT_TRUE(RunScript("+" + std::string(255, 'n') + " 1 2 +a - +b - - +t -").ok());
  EXPECT_TRUE(RunScript(Repeat("+n", kArchiveMaxDepth) + Repeat("-", kArchiveMaxDepth)).ok());
}

// ---------------------------------------------------------------------------
// ReadArchive on damaged images

// The head of a node without text; its `children` follow it.
void Node(ByteWriter& w, std::string_view name, uint32_t children) {
  w.U8(static_cast<uint8_t>(name.size()));
  w.Text(name);
  w.U8(0);
  w.U32(children);
}

struct RawText {
  uint16_t lang;
  uint32_t declared_length;
  std::string_view bytes;
};

// A node with a declared text count and texts that need not agree with it.
void NodeWithTexts(ByteWriter& w, std::string_view name, uint8_t declared,
                   std::initializer_list<RawText> texts) {
  w.U8(static_cast<uint8_t>(name.size()));
  w.Text(name);
  w.U8(declared);
  for (const RawText& t : texts) {
    w.U16(t.lang);
    w.U32(t.declared_length);
    w.Text(t.bytes);
  }
  w.U32(0);
}

std::vector<uint8_t> Nested(int levels) {
  ByteWriter w;
  w.Bytes(Header(1));
  for (int i = 0; i < levels; ++i) Node(w, "n", i + 1 < levels ? 1 : 0);
  return w.Take();
}

struct DamageCase {
  const char* name;
  std::vector<uint8_t> bytes;
  Status::Code code;
  const char* message;  // expected part of the message
};

std::vector<DamageCase> DamageCases() {
  std::vector<DamageCase> cases;
  auto add = [&](const char* name, Status::Code code, const char* message, auto build) {
    ByteWriter w;
    build(w);
    cases.push_back({name, w.Take(), code, message});
  };
  auto header = [](ByteWriter& w, const char* magic, uint16_t version, uint16_t flags) {
    w.Text(magic);
    w.U16(version);
    w.U16(flags);
    w.U32(0);
  };
  using C = Status::Code;
  add("empty input", C::kCorrupt, "archive magic truncated", [](ByteWriter&) {});
  add("bad magic", C::kCorrupt, "bad archive magic at offset 0",
      [&](ByteWriter& w) { header(w, "TVAX", 1, 0); });
  add("newer version", C::kUnsupported, "version 2",
      [&](ByteWriter& w) { header(w, "TVAR", 2, 0); });
  add("absurd section count", C::kCorrupt, "section count 4294967295", [](ByteWriter& w) {
    w.Bytes(Header(0xFFFFFFFF));
    Node(w, "s", 0);
  });
  add("empty name", C::kCorrupt, "empty node name at offset 12", [](ByteWriter& w) {
    w.Bytes(Header(1));
    Node(w, "", 0);
    w.U8(0);  // enough bytes left for the smallest node
  });
  add("sections out of order", C::kCorrupt, "\"a\" out of order or repeated at offset 19",
      [](ByteWriter& w) {
        w.Bytes(Header(2));
        Node(w, "b", 0);
        Node(w, "a", 0);
      });
  add("absurd text count", C::kCorrupt, "text count 255", [](ByteWriter& w) {
    w.Bytes(Header(1));
    NodeWithTexts(w, "s", 255, {{1036, 0, ""}});
  });
  add("absurd text length", C::kCorrupt, "text truncated at offset 21", [](ByteWriter& w) {
    w.Bytes(Header(1));
    NodeWithTexts(w, "s", 1, {{1036, 0xFFFFFFFF, "abc"}});
  });
  add("repeated language", C::kCorrupt, "language 1036 out of order or repeated at offset 21",
      [](ByteWriter& w) {
        w.Bytes(Header(1));
        NodeWithTexts(w, "s", 2, {{1036, 0, ""}, {1036, 0, ""}});
      });
  add("trailing bytes", C::kCorrupt, "2 trailing bytes at offset 19", [](ByteWriter& w) {
    w.Bytes(Header(1));
    Node(w, "s", 0);
    w.U16(0);
  });
  cases.push_back({"65 levels", Nested(kArchiveMaxDepth + 1), C::kCorrupt, "nesting deeper"});
  return cases;
}

TEST(ReadArchiveTest, ReportsDamageWithItsOffset) {
  for (const auto& c : DamageCases()) {
    SCOPED_TRACE(c.name);
    ArchiveReader in{std::span<const uint8_t>(c.bytes)};
    Recorder recorder;
    const Status status = ReadArchive(in, recorder);
    EXPECT_EQ(status.code(), c.code) << status.ToString();
    EXPECT_NE(status.message().find(c.message), std::string::npos) << status.ToString();
  }
}

TEST(ReadArchiveTest, AcceptsTheDeepestNesting) {
  const auto bytes = Nested(kArchiveMaxDepth);
  ArchiveReader in{std::span<const uint8_t>(bytes)};
  Recorder recorder;
  const Status status = ReadArchive(in, recorder);
  EXPECT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(recorder.nodes, kArchiveMaxDepth);
}

}  // namespace
}  // namespace tavelnor
