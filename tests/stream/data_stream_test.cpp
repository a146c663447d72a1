#include "stream_test_support.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using namespace zandrel;
using namespace zandrel::test;

namespace {

// A node of a graph: a value and links to other nodes.
class Node : public TDataObject {
public:
    Ref<TDataType> DataType() override;
    int value = 0;
    std::vector<Ref<Node>> links;
};

// Links are read in ReadFinish, once the node has its number, so that links
// back to the node itself resolve.
class NodeType : public TDataType {
public:
    String Name() override { return u"test.Node"; }
    Ref<Object> Read(TStream& stream) override {
        auto node = New<Node>();
        node->value = stream.ReadInt();
        return node;
    }
    void ReadFinish(const Ref<Object>& object, TStream& stream) override {
        auto node = As<Node>(object);
        int count = stream.ReadInt();
        CheckDataLength(stream, count);
        for (int i = 0; i < count; ++i)
            node->links.push_back(As<Node>(stream.ReadObject()));
    }
    void Write(const Ref<Object>& object, TStream& stream) override {
        auto node = As<Node>(object);
        stream.WriteInt(node->value);
        stream.WriteInt(static_cast<int>(node->links.size()));
        for (auto& link : node->links)
            stream.WriteObject(link);
    }
};

Ref<NodeType>& TheNodeType() {
    static Ref<NodeType> type = New<NodeType>();
    return type;
}

Ref<TDataType> Node::DataType() {
    return TheNodeType();
}

Ref<Node> MakeNode(int value) {
    auto node = New<Node>();
    node->value = value;
    return node;
}

// Another type of its own name, for counting type numbers.
class NamedType : public TDataType {
public:
    explicit NamedType(String name) : name_(std::move(name)) {}
    String Name() override { return name_; }
    Ref<Object> Read(TStream&) override { return New<TBank>(); }
    void Write(const Ref<Object>&, TStream&) override {}

private:
    String name_;
};

class Tagged : public TDataObject {
public:
    explicit Tagged(Ref<TDataType> type) : type_(std::move(type)) {}
    Ref<TDataType> DataType() override { return type_; }

private:
    Ref<TDataType> type_;
};

} // namespace

TEST(DataStream, WritesNamesOnceAndBackReferences) {
    auto bank = CreateBank(0);
    auto data = CreateDataStream(CreateBankStream(bank));
    auto payload = CreateBank(2);
    payload->SetShortAt(0, 0x0201);
    data->WriteObject(payload);
    data->WriteObject(payload);
    data->WriteObject(nullptr);
    data->WriteObject(CreateBank(0));
    std::vector<uint8_t> expected = {1};
    for (char c : std::string("KVO.Bank.TBank\r\n"))
        expected.push_back(static_cast<uint8_t>(c));
    expected.insert(expected.end(), {2, 0, 0, 0, 1, 2}); // size 2, then the bytes
    expected.insert(expected.end(), {255, 1, 0, 0, 0});  // the same bank again
    expected.push_back(0);                               // no object
    expected.insert(expected.end(), {1, 0, 0, 0, 0});    // a second bank: no name
    EXPECT_EQ(BankBytes(bank), expected);

    auto reader = CreateDataStream(CreateBankStream(bank));
    auto first = As<TBank>(reader->ReadObject());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetShortAt(0), 0x0201);
    EXPECT_EQ(reader->ReadObject(), first);
    EXPECT_EQ(reader->ReadObject(), nullptr);
    auto empty = As<TBank>(reader->ReadObject());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Size(), 0);
    // Anything that is not a data object is written as no object.
    data->WriteObject(New<Object>());
    EXPECT_EQ(bank->GetByteAt(bank->Size() - 1), 0);
}

TEST(DataStream, GraphWithSharedAndSelfReferences) {
    TheNodeType();
    auto a = MakeNode(1), b = MakeNode(2), c = MakeNode(3);
    a->links = {b, c, a};
    b->links = {c};
    c->links = {a, c};
    TempFolder folder;
    SaveObjectTo(a, "data::" + folder / "graph.bin");
    auto root = As<Node>(LoadObjectFrom("data::" + folder / "graph.bin"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->value, 1);
    ASSERT_EQ(root->links.size(), 3u);
    auto rb = root->links[0], rc = root->links[1];
    EXPECT_EQ(root->links[2], root);
    EXPECT_EQ(rb->value, 2);
    EXPECT_EQ(rc->value, 3);
    EXPECT_EQ(rb->links[0], rc);
    EXPECT_EQ(rc->links[0], root);
    EXPECT_EQ(rc->links[1], rc);
    for (auto& n : {root, rb, rc})
        n->links.clear(); // break the cycles
    for (auto& n : {a, b, c})
        n->links.clear();
}

TEST(DataStream, ThroughTextAndByteSwapStreams) {
    TheNodeType();
    auto a = MakeNode(-77);
    a->links = {MakeNode(5), nullptr};
    for (String proto : {u"utf8", u"bigendian"}) {
        auto bank = CreateBank(0);
        auto out = proto == u"utf8"
                       ? Ref<TStream>(CreateTextStream(CreateBankStream(bank), TextEncoding::Utf8))
                       : BigEndianStream(CreateBankStream(bank));
        CreateDataStream(out)->WriteObject(a);
        auto in = proto == u"utf8"
                      ? Ref<TStream>(CreateTextStream(CreateBankStream(bank), TextEncoding::Utf8))
                      : BigEndianStream(CreateBankStream(bank));
        auto back = As<Node>(CreateDataStream(in)->ReadObject());
        ASSERT_TRUE(back) << ToBytes(proto);
        EXPECT_EQ(back->value, -77);
        ASSERT_EQ(back->links.size(), 2u);
        EXPECT_EQ(back->links[0]->value, 5);
        EXPECT_EQ(back->links[1], nullptr);
    }
}

TEST(DataStream, ManyObjectsGrowTheTable) {
    TheNodeType();
    auto bank = CreateBank(0);
    auto writer = CreateDataStream(CreateBankStream(bank));
    std::vector<Ref<Node>> nodes;
    for (int i = 0; i < 600; ++i)
        nodes.push_back(MakeNode(i));
    for (auto& n : nodes)
        writer->WriteObject(n);
    for (auto& n : nodes)
        writer->WriteObject(n);
    auto reader = CreateDataStream(CreateBankStream(bank));
    std::vector<Ref<Object>> read;
    for (int i = 0; i < 1200; ++i)
        read.push_back(reader->ReadObject());
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(As<Node>(read[i])->value, i);
        ASSERT_EQ(read[600 + i], read[i]) << i;
    }
}

TEST(DataStream, BadInputIsARuntimeError) {
    auto expectError = [](std::vector<uint8_t> bytes, const char16_t* message) {
        auto bank = CreateBank(0);
        auto stream = CreateBankStream(bank);
        stream->WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
        auto reader = CreateDataStream(CreateBankStream(bank));
        try {
            reader->ReadObject();
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& e) {
            if (message) {
                EXPECT_EQ(e.Message(), message);
            }
        }
    };
    std::vector<uint8_t> unknown = {1};
    for (char c : std::string("no.such.Type\n"))
        unknown.push_back(static_cast<uint8_t>(c));
    expectError(unknown, u"Unrecognized DataType: no.such.Type");
    expectError({255, 1, 0, 0, 0}, nullptr);
    expectError({255, 0xFF, 0xFF, 0xFF, 0xFF}, nullptr);
    std::vector<uint8_t> hugeBank = {1};
    for (char c : std::string("KVO.Bank.TBank\n"))
        hugeBank.push_back(static_cast<uint8_t>(c));
    hugeBank.insert(hugeBank.end(), {0xFF, 0xFF, 0xFF, 0x7F});
    expectError(hugeBank, nullptr);
    auto negative = hugeBank;
    negative.pop_back();
    negative.push_back(0xFF);
    expectError(negative, nullptr);
}

// Over a source that cannot seek, a bank grows as its bytes arrive: a length
// that the input does not hold is an error, not a block of that size.
TEST(DataStream, BanksOverAnUnseekableSourceGrowAsBytesArrive) {
    auto record = [](int32_t size, int bytes) {
        std::vector<uint8_t> data = {1};
        for (char c : std::string("KVO.Bank.TBank\n"))
            data.push_back(static_cast<uint8_t>(c));
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<uint8_t>(size >> (8 * i)));
        for (int i = 0; i < bytes; ++i)
            data.push_back(static_cast<uint8_t>(i * 7));
        return data;
    };
    auto shortInput = record(1 << 28, 9);
    ASSERT_EQ(shortInput.size(), 29u);
    auto reader = CreateDataStream(New<ScriptedSource>(shortInput, 7, false));
    EXPECT_THROW(reader->ReadObject(), TStreamReadError);

    auto whole = record(300000, 300000);
    auto bank = As<TBank>(CreateDataStream(New<ScriptedSource>(whole, 4096, false))->ReadObject());
    ASSERT_TRUE(bank);
    EXPECT_EQ(BankBytes(bank), std::vector<uint8_t>(whole.end() - 300000, whole.end()));
}

TEST(DataStream, OpenerAndTypeLimits) {
    TempFolder folder;
    try {
        OpenStream("data::" + folder / "x.bin", FileMode::ReadWrite);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Message(), u"DataStreams can not be both readable and writeable");
    }
    EXPECT_FALSE(OpenReadStream("data::" + folder / "missing.bin"));
    EXPECT_FALSE(LoadObjectFrom(folder / "missing.bin"));

    std::vector<Ref<NamedType>> types;
    for (int i = 0; i < 255; ++i)
        types.push_back(New<NamedType>(u"type" + FromInt(i)));
    EXPECT_EQ(FindDataType(u"type254"), types[254].get());
    EXPECT_EQ(FirstDataType(), types[254].get());
    {
        auto writer = CreateDataStream(CreateBankStream());
        for (int i = 0; i < 254; ++i)
            writer->WriteObject(New<Tagged>(types[i]));
        try {
            writer->WriteObject(New<Tagged>(types[254]));
            FAIL();
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Message(), u"Too many DataTypes");
        }
    }
    // A type leaves the list when its last holder lets go.
    types.clear();
    EXPECT_EQ(FindDataType(u"type3"), nullptr);
}
