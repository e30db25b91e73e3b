#include "serialization/data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "package_bytes.h"
#include "serialization/file_io.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"

namespace demo {
namespace {

using namespace package_bytes;
namespace fs = std::filesystem;

Bytes binary_form(const Data& data) {
    Bytes bytes;
    OutputStream out(bytes);
    data.write_binary(out);
    return bytes;
}

std::unique_ptr<Data> make_data(const std::string& name, const Bytes& bytes) {
    auto data = std::make_unique<Data>();
    data->name = name;
    data->buffer = std::make_unique<ByteBuffer>(bytes.data(), bytes.size());
    return data;
}

std::string text_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// ---------------------------------------------------------------------------------------------
// Binary form: the name as a stored string, then the bytes as a stored buffer
// ---------------------------------------------------------------------------------------------

// Names shorter than five bytes cannot hold a match, so their compressed block is exactly the
// length and one literal run, and the whole form is fixed by the format.
TEST(DataBinary, WritesNameThenScrambledBytes) {
    const Bytes bytes = {'x', 'y', 'z', 0, 0xFF};
    Bytes expected = u64(4);
    append(expected, scrambled({0x02, 0x05, 'a', 'b'}));
    append(expected, u64(5));
    append(expected, scrambled(bytes));
    EXPECT_EQ(binary_form(*make_data("ab", bytes)), expected);
}

TEST(DataBinary, EmptyBufferIsEightZeroBytesAfterTheName) {
    Bytes expected = stored_string("e");
    append(expected, Bytes(8, 0));
    EXPECT_EQ(binary_form(*make_data("e", {})), expected);

    // An empty name is the single length byte 0, scrambled.
    Bytes unnamed = u64(1);
    append(unnamed, scrambled({0x00}));
    append(unnamed, Bytes(8, 0));
    EXPECT_EQ(binary_form(*make_data("", {})), unnamed);
}

// The package has no lengths to skip by, so a blob without a buffer must still write one.
TEST(DataBinary, BlobWithoutBufferWritesAnEmptyBuffer) {
    Data data;
    data.name = "none";
    Bytes expected = stored_string("none");
    append(expected, Bytes(8, 0));
    EXPECT_EQ(binary_form(data), expected);
}

TEST(DataBinary, ReadsAHandLaidFormAndStopsAtItsEnd) {
    // A name of 70 bytes makes the literal token a two-byte varint (141 = 0x8D 0x01); 300 bytes
    // of contents run the keystream past the point where the walk reaches 1 and restarts.
    const std::string name(70, 'n');
    Bytes contents;
    for (int i = 0; i < 300; ++i)
        contents.push_back(static_cast<uint8_t>(i * 7 + 3));
    ASSERT_EQ(literal_block(name)[1], 0x8D);
    Bytes bytes = stored_string(name);
    append(bytes, stored_buffer(contents));
    const size_t form_size = bytes.size();
    append(bytes, {0xAA, 0xBB});  // whatever follows belongs to the next object

    InputStream in(bytes.data(), bytes.size());
    const Data data(in);
    EXPECT_EQ(data.name, name);
    ASSERT_NE(data.buffer, nullptr);
    EXPECT_EQ(data.buffer->data, contents);
    EXPECT_EQ(in.offset(), form_size);
}

TEST(DataBinary, WrittenFormReadsBack) {
    // Repetitive names compress with copies, so this also goes through the compressor.
    for (const std::string& name :
         {std::string("textures/textures/textures/textures/a.png"), std::string("music.mp3"),
          std::string(1000, 'z'), std::string("")}) {
        Bytes contents(name.size() * 3 + 1, 0);
        for (size_t i = 0; i < contents.size(); ++i)
            contents[i] = static_cast<uint8_t>(i * 31);
        const Bytes bytes = binary_form(*make_data(name, contents));
        InputStream in(bytes.data(), bytes.size());
        const Data data(in);
        EXPECT_EQ(data.name, name);
        EXPECT_EQ(data.buffer->data, contents);
        EXPECT_EQ(in.offset(), bytes.size());
    }
}

TEST(DataBinary, CutFormIsAPackageError) {
    const Bytes bytes = binary_form(*make_data("sound/kick.wav", {1, 2, 3, 4, 5, 6}));
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        InputStream in(bytes.data(), cut);
        EXPECT_THROW(Data data(in), PackageError) << "cut at " << cut;
    }
}

// ---------------------------------------------------------------------------------------------
// JSON form: embedded {"name", "data_buffer"} or exported {"name"} with a side file
// ---------------------------------------------------------------------------------------------

TEST(DataJson, EmbeddedFormCarriesBase64) {
    const Data data(Json{{"name", "blob.bin"}, {"data_buffer", "aGVsbG8="}});
    EXPECT_EQ(data.name, "blob.bin");
    ASSERT_NE(data.buffer, nullptr);
    EXPECT_EQ(data.buffer->data, bytes_of("hello"));

    const Json expected = {{"name", "blob.bin"}, {"data_buffer", "aGVsbG8="}};
    EXPECT_EQ(data.to_json(false), expected);
    EXPECT_EQ(make_data("raw", {0x00, 0x01, 0x02, 0xFF})->to_json(false),
              (Json{{"name", "raw"}, {"data_buffer", "AAEC/w=="}}));
}

TEST(DataJson, EmptyBufferIsAnEmptyString) {
    const Data data(Json{{"name", "empty"}, {"data_buffer", ""}});
    ASSERT_NE(data.buffer, nullptr);
    EXPECT_EQ(data.buffer->size(), 0u);
    EXPECT_EQ(data.to_json(false), (Json{{"name", "empty"}, {"data_buffer", ""}}));
}

TEST(DataJson, ReadsTheSideFileNamedByName) {
    ScopedWorkDir dir;
    const Bytes contents = {0, 1, 2, 0, 'z', 0xFE, 0};
    write_file_bytes("blobs/deep/table.bin", contents);
    const Data data(Json{{"name", "blobs/deep/table.bin"}});
    EXPECT_EQ(data.name, "blobs/deep/table.bin");
    EXPECT_EQ(data.buffer->data, contents);
}

TEST(DataJson, EmbeddedBytesWinOverTheSideFile) {
    ScopedWorkDir dir;
    write_file_bytes("blob.bin", bytes_of("from the file"));
    const Data with_file(Json{{"name", "blob.bin"}, {"data_buffer", "aGVsbG8="}});
    EXPECT_EQ(with_file.buffer->data, bytes_of("hello"));

    // The side file is not even opened: a missing one is no problem.
    const Data without_file(Json{{"name", "not/there.bin"}, {"data_buffer", "aGVsbG8="}});
    EXPECT_EQ(without_file.buffer->data, bytes_of("hello"));
    EXPECT_FALSE(fs::exists("not"));
}

TEST(DataJson, ExportWritesTheSideFileAndLeavesOnlyTheName) {
    ScopedWorkDir dir;
    const Bytes contents = {9, 8, 7, 0, 0, 6};
    const Json exported = make_data("out/sub/data.bin", contents)->to_json(true);
    EXPECT_EQ(exported, (Json{{"name", "out/sub/data.bin"}}));
    EXPECT_EQ(read_file_bytes("out/sub/data.bin"), contents);

    const Data back(exported);
    EXPECT_EQ(back.name, "out/sub/data.bin");
    EXPECT_EQ(back.buffer->data, contents);
}

TEST(DataJson, ExportOfAnEmptyBufferWritesAnEmptySideFile) {
    ScopedWorkDir dir;
    write_file_bytes("empty.bin", bytes_of("stale contents"));
    EXPECT_EQ(make_data("empty.bin", {})->to_json(true), (Json{{"name", "empty.bin"}}));
    ASSERT_TRUE(fs::exists("empty.bin"));
    EXPECT_EQ(fs::file_size("empty.bin"), 0u);
    EXPECT_EQ(Data(Json{{"name", "empty.bin"}}).buffer->size(), 0u);
}

// As in the binary form, a blob without a buffer stands for an empty one: its export must
// still leave a side file, or the exported project could not be read back.
TEST(DataJson, ExportOfABlobWithoutBufferWritesAnEmptySideFile) {
    ScopedWorkDir dir;
    Data data;
    data.name = "blobs/none.bin";
    EXPECT_EQ(data.to_json(true), (Json{{"name", "blobs/none.bin"}}));
    ASSERT_TRUE(fs::exists("blobs/none.bin"));
    EXPECT_EQ(fs::file_size("blobs/none.bin"), 0u);
    EXPECT_EQ(Data(Json{{"name", "blobs/none.bin"}}).buffer->size(), 0u);
    EXPECT_EQ(data.to_json(false), (Json{{"name", "blobs/none.bin"}, {"data_buffer", ""}}));
}

TEST(DataJson, NameThatIsNotAStringIsEmpty) {
    const Data data(Json{{"name", 5}, {"data_buffer", "YQ=="}});
    EXPECT_EQ(data.name, "");
    EXPECT_EQ(data.buffer->data, bytes_of("a"));
}

TEST(DataJson, DataBufferThatIsNotAStringGivesAnEmptyBuffer) {
    const Data data(Json{{"name", "n"}, {"data_buffer", 42}});
    ASSERT_NE(data.buffer, nullptr);
    EXPECT_EQ(data.buffer->size(), 0u);
}

TEST(DataJson, InvalidBase64IsAnError) {
    try {
        Data data(Json{{"name", "n"}, {"data_buffer", "aGVs bG8="}});
        ADD_FAILURE() << "expected an error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Input is not valid base64-encoded data.");
    }
}

// A missing side file ends the process with "crash.txt" in the working directory. The death
// test forks at the statement, so the child works in the same temporary folder.
// A folder is no file either: reading one must not report "out of memory" from its size.
TEST(DataJsonDeathTest, MissingSideFileIsFatal) {
    ScopedWorkDir dir;
    fs::create_directory(dir.path() / "sub");
    for (const char* name : {"nowhere.bin", "sub"}) {
        const Json value = {{"name", name}};
        EXPECT_EXIT({ Data data(value); }, ::testing::ExitedWithCode(1), "");
        EXPECT_EQ(text_file(dir.path() / "crash.txt"),
                  std::string("Fatal error: File not found: ") + name + "\nExiting.");
        EXPECT_EQ(read_whole_file(name), "");
    }
}

TEST(DataJsonDeathTest, MissingNameWithoutBufferIsFatal) {
    ScopedWorkDir dir;
    EXPECT_EXIT({ Data data{Json::object()}; }, ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(text_file(dir.path() / "crash.txt"), "Fatal error: File not found: \nExiting.");
}

}  // namespace
}  // namespace demo
