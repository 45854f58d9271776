// The byte format of project streams: tags, class records, the index table,
// strings and counts, and the refusals that keep hostile streams harmless.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/archive_writer.h"
#include "document/object_archive.h"

namespace ov {
namespace {

// A small stream class with a value, a reference and held children.
class Node : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker& walker) override {
    walker.Int32("value", value);
    Ref(walker, "link", link);
    OwnedList(walker, "children", children);
  }

  int32_t value = 0;
  Node* link = nullptr;
  std::vector<std::unique_ptr<Node>> children;
};
constinit const SerialClass Node::kClass{"Node", 1, false, &MakeObject<Node>, nullptr};

class Leaf : public Node {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
};
constinit const SerialClass Leaf::kClass{"Leaf", 3, true, &MakeObject<Leaf>, &Node::kClass};

class Other : public Persistent {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  void Serialize(FieldWalker&) override {}
};
constinit const SerialClass Other::kClass{"Other", 1, false, &MakeObject<Other>, nullptr};

const SerialClassRegistry& TestClasses() {
  static const SerialClassRegistry registry = [] {
    SerialClassRegistry classes;
    classes.Register(Node::kClass);
    classes.Register(Leaf::kClass);
    classes.Register(Other::kClass);
    return classes;
  }();
  return registry;
}

using Bytes = std::vector<uint8_t>;

void Le16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Le32(Bytes& out, uint32_t v) {
  Le16(out, static_cast<uint16_t>(v));
  Le16(out, static_cast<uint16_t>(v >> 16));
}
void ClassRecord(Bytes& out, uint16_t schema, const std::string& name) {
  Le16(out, 0xFFFF);
  Le16(out, schema);
  Le16(out, static_cast<uint16_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}
// The fields of a Node: value, null link, no children.
void PlainNodeFields(Bytes& out, int32_t value) {
  Le32(out, static_cast<uint32_t>(value));
  Le16(out, 0);
  Le16(out, 0);
}

// Reads one object held by the test, as a document holds its root.
struct ReadResult {
  std::unique_ptr<Node> node;
  std::size_t position = 0;
};
ReadResult ReadNode(const Bytes& bytes) {
  ObjectArchive archive(bytes, TestClasses());
  ReadResult result;
  Persistent* object = archive.ReadObject(&Node::kClass);
  if (object) result.node.reset(static_cast<Node*>(archive.Adopt(object).release()));
  result.position = archive.Position();
  return result;
}

ArchiveErrorKind ReadFailure(const Bytes& bytes) {
  try {
    ReadNode(bytes);
  } catch (const ArchiveError& error) {
    return error.kind();
  }
  ADD_FAILURE() << "the stream was accepted";
  return ArchiveErrorKind::kGeneric;
}

TEST(ObjectArchiveTags, NullTagConsumesTwoBytes) {
  const Bytes bytes = {0, 0, 0x55};
  const ReadResult result = ReadNode(bytes);
  EXPECT_EQ(result.node, nullptr);
  EXPECT_EQ(result.position, 2u);
}

TEST(ObjectArchiveTags, ClassTakesAnIndexAndLaterObjectsUseClassReferences) {
  // Root node (class record: index 1, object: index 2) with two children of
  // the same class (0x8001: indexes 3 and 4); the second child links to the first.
  Node root;
  root.children.push_back(std::make_unique<Node>());
  root.children.push_back(std::make_unique<Node>());
  root.children[1]->link = root.children[0].get();
  ArchiveWriter writer;
  writer.WriteObject(&root);

  Bytes expected;
  ClassRecord(expected, 1, "Node");
  Le32(expected, 0);
  Le16(expected, 0);
  Le16(expected, 2);  // count of children
  Le16(expected, 0x8001);
  PlainNodeFields(expected, 0);
  Le16(expected, 0x8001);
  Le32(expected, 0);
  Le16(expected, 3);  // back-reference to the first child
  Le16(expected, 0);
  EXPECT_EQ(writer.bytes(), expected);

  const ReadResult result = ReadNode(expected);
  ASSERT_EQ(result.node->children.size(), 2u);
  EXPECT_EQ(result.node->children[1]->link, result.node->children[0].get());
}

TEST(ObjectArchiveTags, SelfReferenceResolvesToTheObjectBeingRead) {
  Bytes bytes;
  ClassRecord(bytes, 1, "Node");
  Le32(bytes, 7);
  Le16(bytes, 2);  // its own index
  Le16(bytes, 0);
  const ReadResult result = ReadNode(bytes);
  EXPECT_EQ(result.node->link, result.node.get());
}

TEST(ObjectArchiveTags, LongTagsBeyond0x7FFFIndexesRoundTrip) {
  Node root;
  for (int i = 0; i < 0x8001; ++i) {
    root.children.push_back(std::make_unique<Node>());
    root.children.back()->value = i;
  }
  // Indexes now pass 0x7FFF; the last child links to itself.
  root.children.back()->link = root.children.back().get();
  ArchiveWriter writer;
  writer.WriteObject(&root);
  const Bytes& bytes = writer.bytes();
  // Its self-reference is a long tag: 0x7FFF, then its index.
  const uint32_t last_index = 2 + 0x8001;
  const std::size_t tail = bytes.size() - 2 - 6;  // the link, then its count of children
  EXPECT_EQ(bytes[tail], 0xFF);
  EXPECT_EQ(bytes[tail + 1], 0x7F);
  EXPECT_EQ(bytes[tail + 2] | (bytes[tail + 3] << 8) | (bytes[tail + 4] << 16), last_index);

  const ReadResult result = ReadNode(bytes);
  ASSERT_EQ(result.node->children.size(), 0x8001u);
  EXPECT_EQ(result.node->children.back()->value, 0x8000);
  EXPECT_EQ(result.node->children.back()->link, result.node->children.back().get());
}

TEST(ObjectArchiveTags, LongClassReferenceReadsANewObject) {
  Bytes bytes;
  ClassRecord(bytes, 1, "Node");
  Le32(bytes, 0);
  Le16(bytes, 0);
  Le16(bytes, 1);
  Le16(bytes, 0x7FFF);
  Le32(bytes, 0x80000001u);
  PlainNodeFields(bytes, 9);
  const ReadResult result = ReadNode(bytes);
  ASSERT_EQ(result.node->children.size(), 1u);
  EXPECT_EQ(result.node->children[0]->value, 9);
}

TEST(ObjectArchiveClasses, VersionableClassAcceptsAnyStoredSchema) {
  Bytes accepted;
  ClassRecord(accepted, 7, "Leaf");
  PlainNodeFields(accepted, 1);
  ObjectArchive archive(accepted, TestClasses());
  std::unique_ptr<Persistent> leaf = archive.Adopt(archive.ReadObject(nullptr));
  EXPECT_EQ(&leaf->GetClass(), &Leaf::kClass);
  EXPECT_EQ(archive.StoredSchema(Leaf::kClass), 7);

  Bytes refused;
  ClassRecord(refused, 7, "Node");
  PlainNodeFields(refused, 1);
  EXPECT_EQ(ReadFailure(refused), ArchiveErrorKind::kBadSchema);
}

TEST(ObjectArchiveClasses, UnknownLongAndUnexpectedClassesAreRefused) {
  Bytes unknown;
  ClassRecord(unknown, 1, "node");  // names match exactly
  EXPECT_EQ(ReadFailure(unknown), ArchiveErrorKind::kBadClass);

  Bytes long_name;
  ClassRecord(long_name, 1, std::string(64, 'N'));
  EXPECT_EQ(ReadFailure(long_name), ArchiveErrorKind::kBadClass);

  Bytes other;
  ClassRecord(other, 1, "Other");
  EXPECT_EQ(ReadFailure(other), ArchiveErrorKind::kBadClass);

  // A back-reference to an object of the wrong class.
  Bytes wrong_reference;
  ClassRecord(wrong_reference, 1, "Other");
  Le16(wrong_reference, 2);
  ObjectArchive archive(wrong_reference, TestClasses());
  const std::unique_ptr<Persistent> held = archive.Adopt(archive.ReadObject(nullptr));
  try {
    archive.ReadObject(&Node::kClass);
    ADD_FAILURE();
  } catch (const ArchiveError& error) {
    EXPECT_EQ(error.kind(), ArchiveErrorKind::kBadClass);
  }
}

TEST(ObjectArchiveIndexes, ClassAndObjectEntriesAreToldApart) {
  // A class reference naming the root object (index 2).
  Bytes class_names_object;
  ClassRecord(class_names_object, 1, "Node");
  Le32(class_names_object, 0);
  Le16(class_names_object, 0);
  Le16(class_names_object, 1);
  Le16(class_names_object, 0x8002);
  EXPECT_EQ(ReadFailure(class_names_object), ArchiveErrorKind::kBadIndex);

  // An object reference naming the class (index 1).
  Bytes object_names_class;
  ClassRecord(object_names_class, 1, "Node");
  Le32(object_names_class, 0);
  Le16(object_names_class, 1);
  EXPECT_EQ(ReadFailure(object_names_class), ArchiveErrorKind::kBadIndex);

  for (const uint16_t tag : {uint16_t{0x0009}, uint16_t{0x8009}, uint16_t{0x8000}}) {
    Bytes beyond;
    Le16(beyond, tag);
    EXPECT_EQ(ReadFailure(beyond), ArchiveErrorKind::kBadIndex) << tag;
  }
}

TEST(ObjectArchiveOwnership, ObjectHeldTwiceOrHoldingItselfIsRefused) {
  // The root lists the same child twice.
  Bytes twice;
  ClassRecord(twice, 1, "Node");
  Le32(twice, 0);
  Le16(twice, 0);
  Le16(twice, 2);
  Le16(twice, 0x8001);
  PlainNodeFields(twice, 0);
  Le16(twice, 3);
  EXPECT_EQ(ReadFailure(twice), ArchiveErrorKind::kGeneric);

  // The root lists itself among its children.
  Bytes itself;
  ClassRecord(itself, 1, "Node");
  Le32(itself, 0);
  Le16(itself, 0);
  Le16(itself, 1);
  Le16(itself, 2);
  EXPECT_EQ(ReadFailure(itself), ArchiveErrorKind::kGeneric);

  // A child holds its own holder, which is then held by the document too.
  Bytes cycle;
  ClassRecord(cycle, 1, "Node");
  Le32(cycle, 0);
  Le16(cycle, 0);
  Le16(cycle, 1);
  Le16(cycle, 0x8001);
  Le32(cycle, 0);
  Le16(cycle, 0);
  Le16(cycle, 1);
  Le16(cycle, 2);
  EXPECT_EQ(ReadFailure(cycle), ArchiveErrorKind::kGeneric);
}

TEST(ObjectArchiveOwnership, ObjectsNobodyHoldsAreFreedWithTheArchive) {
  // The root links to a new node that no list holds. Leak detection in the
  // sanitizer build checks that it is freed.
  Bytes bytes;
  ClassRecord(bytes, 1, "Node");
  Le32(bytes, 0);
  Le16(bytes, 0x8001);
  PlainNodeFields(bytes, 5);
  Le16(bytes, 0);
  const ReadResult result = ReadNode(bytes);
  EXPECT_EQ(result.node->children.size(), 0u);
}

TEST(ObjectArchiveOwnership, NestingDeeperThanTheCapIsAGenericError) {
  Bytes bytes;
  ClassRecord(bytes, 1, "Node");
  for (int i = 0; i < 600; ++i) {
    Le32(bytes, 0);
    Le16(bytes, 0);
    Le16(bytes, 1);
    Le16(bytes, 0x8001);
  }
  EXPECT_EQ(ReadFailure(bytes), ArchiveErrorKind::kGeneric);
}

// --- Strings and counts ----------------------------------------------------

Bytes StringBytes(std::size_t length) {
  ArchiveWriter writer;
  writer.WriteString(std::string(length, 'x'));
  return writer.TakeBytes();
}

TEST(ObjectArchiveStrings, WriterUsesTheShortestLengthForm) {
  EXPECT_EQ(StringBytes(254).size(), 1u + 254);
  EXPECT_EQ(StringBytes(254)[0], 254);

  const Bytes s255 = StringBytes(255);
  EXPECT_EQ(Bytes(s255.begin(), s255.begin() + 3), (Bytes{0xFF, 0xFF, 0x00}));
  const Bytes s65533 = StringBytes(65533);
  EXPECT_EQ(Bytes(s65533.begin(), s65533.begin() + 3), (Bytes{0xFF, 0xFD, 0xFF}));
  const Bytes s65534 = StringBytes(65534);
  EXPECT_EQ(Bytes(s65534.begin(), s65534.begin() + 7),
            (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));

  for (const std::size_t length : {0u, 254u, 255u, 65533u, 65534u, 70000u}) {
    const Bytes bytes = StringBytes(length);
    ObjectArchive archive(bytes, TestClasses());
    EXPECT_EQ(archive.ReadString(), std::string(length, 'x'));
    EXPECT_EQ(archive.Remaining(), 0u);
  }
}

TEST(ObjectArchiveStrings, WideStringIsDeliveredAsUtf8) {
  ArchiveWriter writer;
  const uint16_t units[] = {'a', 0x00E9, 0x20AC};  // a, e acute, euro sign
  writer.WriteWideString(units);
  const Bytes& bytes = writer.bytes();
  ASSERT_EQ(bytes.size(), 4u + 6);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0xFF, 0xFE, 0xFF, 0x03}));
  ObjectArchive archive(bytes, TestClasses());
  EXPECT_EQ(archive.ReadString(), "a\xC3\xA9\xE2\x82\xAC");
}

TEST(ObjectArchiveStrings, LengthsBeyondTheBytesAreRefusedBeforeAllocating) {
  const Bytes huge_32 = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F, 'a'};
  const Bytes huge_64 = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0};
  const Bytes wide_odd = {0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'};
  const Bytes big_count = {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00};
  ObjectArchive a(huge_32, TestClasses());
  EXPECT_THROW(
      {
        try {
          a.ReadString();
        } catch (const ArchiveError& e) {
          EXPECT_EQ(e.kind(), ArchiveErrorKind::kEndOfData);
          throw;
        }
      },
      ArchiveError);
  ObjectArchive b(huge_64, TestClasses());
  try {
    b.ReadString();
    ADD_FAILURE();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.kind(), ArchiveErrorKind::kGeneric);
  }
  ObjectArchive c(wide_odd, TestClasses());
  EXPECT_THROW(c.ReadString(), ArchiveError);
  ObjectArchive d(big_count, TestClasses());
  std::vector<std::string> strings;
  EXPECT_THROW(d.ReadStringArray(strings), ArchiveError);
}

TEST(ObjectArchiveCounts, CountOf65535TakesTheLongForm) {
  ArchiveWriter writer;
  writer.WriteCount(65534);
  writer.WriteCount(65535);
  EXPECT_EQ(writer.bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
  ObjectArchive archive(writer.bytes(), TestClasses());
  EXPECT_EQ(archive.ReadCount(), 65534u);
  EXPECT_EQ(archive.ReadCount(), 65535u);
}

TEST(ObjectArchivePrimitives, EveryPrimitiveReadsBackWhatWasWritten) {
  ArchiveWriter writer;
  writer.WriteUInt8(200);
  writer.WriteInt16(-2);
  writer.WriteInt32(-70000);
  writer.WriteUInt32(0xDEADBEEF);
  writer.WriteFloat32(0.1f);
  writer.WriteFloat64(-1e300);
  writer.WriteRect({1, -2, 3, 4});
  writer.WritePoint({-5, 6});
  const uint8_t raw[] = {9, 8, 7};
  writer.WriteBytes(raw);
  writer.WriteCount(2);  // an array of strings
  writer.WriteString("one");
  writer.WriteString("");
  writer.WriteCount(3);  // an array of bytes
  writer.WriteBytes(raw);
  ObjectArchive archive(writer.bytes(), TestClasses());
  EXPECT_EQ(archive.ReadUInt8(), 200);
  EXPECT_EQ(archive.ReadInt16(), -2);
  EXPECT_EQ(archive.ReadInt32(), -70000);
  EXPECT_EQ(archive.ReadUInt32(), 0xDEADBEEF);
  EXPECT_EQ(archive.ReadFloat32(), 0.1f);
  EXPECT_EQ(archive.ReadFloat64(), -1e300);
  EXPECT_EQ(archive.ReadRect(), (Rect{1, -2, 3, 4}));
  EXPECT_EQ(archive.ReadPoint(), (Point{-5, 6}));
  EXPECT_EQ(archive.ReadBytes(3), (Bytes{9, 8, 7}));
  std::vector<std::string> strings;
  archive.ReadStringArray(strings);
  EXPECT_EQ(strings, (std::vector<std::string>{"one", ""}));
  Bytes bytes;
  archive.ReadByteArray(bytes);
  EXPECT_EQ(bytes, (Bytes{9, 8, 7}));
  try {
    archive.ReadUInt8();
    ADD_FAILURE();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.kind(), ArchiveErrorKind::kEndOfData);
  }
}

}  // namespace
}  // namespace ov
