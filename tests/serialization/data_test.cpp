#include "serialization/data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "serialization/file_io.h"
#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;
using test_util::make_data;
namespace fs = std::filesystem;

TEST(DataBinary, ReadsHandLaidAndWrittenFormsToTheirEnd) {
    // A 70-byte name makes the literal token a two-byte varint (141 = 0x8D 0x01); 300 bytes of
    // contents run the keystream past the point where the walk restarts.
    const std::string name(70, 'n');
    Bytes contents;
    for (int i = 0; i < 300; ++i)
        contents.push_back(static_cast<uint8_t>(i * 7 + 3));
    ASSERT_EQ(literal_block(name)[1], 0x8D);
    Bytes hand = stored_string(name);
    append(hand, stored_buffer(contents));
    const std::pair<Bytes, std::string> forms[] = {
        {hand, name},
        // Repetitive names compress with copies, so these go through the compressor too.
        {binary_form(*make_data("textures/textures/textures/textures/a.png", contents)),
         "textures/textures/textures/textures/a.png"},
        {binary_form(*make_data(std::string(1000, 'z'), contents)), std::string(1000, 'z')}};
    for (const auto& [form, expected_name] : forms) {
        Bytes bytes = form;
        append(bytes, {0xAA, 0xBB});  // whatever follows belongs to the next object
        InputStream in(bytes.data(), bytes.size());
        const Data data(in);
        EXPECT_EQ(data.name, expected_name);
        ASSERT_NE(data.buffer, nullptr);
        EXPECT_EQ(data.buffer->data, contents);
        EXPECT_EQ(in.offset(), form.size());
        for (size_t cut = 0; cut < form.size(); ++cut) {
            InputStream cut_in(form.data(), cut);
            EXPECT_THROW(Data cut_data(cut_in), PackageError) << "cut at " << cut;
        }
    }
}

TEST(DataJson, ValuesOfTheWrongKindAndInvalidBase64) {
    // A name that is not a string is empty; a buffer that is not a string is empty.
    EXPECT_EQ(Data(Json{{"name", 5}, {"data_buffer", "YQ=="}}).name, "");
    EXPECT_EQ(Data(Json{{"name", "n"}, {"data_buffer", 42}}).buffer->size(), 0u);
    try {
        Data data(Json{{"name", "n"}, {"data_buffer", "aGVs bG8="}});
        ADD_FAILURE() << "expected an error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Input is not valid base64-encoded data.");
    }
}

TEST(DataJson, SideFiles) {
    ScopedWorkDir dir;
    // The embedded bytes win: the side file is not even opened, so a missing one is fine.
    write_file_bytes("blob.bin", bytes_of("from the file"));
    EXPECT_EQ(Data(Json{{"name", "blob.bin"}, {"data_buffer", "aGVsbG8="}}).buffer->data,
              bytes_of("hello"));
    EXPECT_EQ(Data(Json{{"name", "not/there.bin"}, {"data_buffer", "aGVsbG8="}}).buffer->data,
              bytes_of("hello"));
    EXPECT_FALSE(fs::exists("not"));

    // Export writes the side file named by the name, over a stale one, and keeps only the name.
    // A blob without a buffer stands for an empty one: it still writes an empty buffer, or the
    // package would be misread after it, and leaves a side file, or the project could not be
    // read back.
    write_file_bytes("empty.bin", bytes_of("stale contents"));
    Data none;
    none.name = "blobs/none.bin";
    Bytes empty = stored_string("blobs/none.bin");
    append(empty, Bytes(8, 0));
    EXPECT_EQ(binary_form(none), empty);
    EXPECT_EQ(none.to_json(false), (Json{{"name", "blobs/none.bin"}, {"data_buffer", ""}}));
    const std::pair<Json, Bytes> exports[] = {
        {make_data("out/sub/data.bin", {9, 8, 7, 0, 0, 6})->to_json(true), {9, 8, 7, 0, 0, 6}},
        {make_data("empty.bin", {})->to_json(true), {}},
        {none.to_json(true), {}}};
    for (const auto& [exported, contents] : exports) {
        const std::string name = exported["name"].get<std::string>();
        EXPECT_EQ(exported, (Json{{"name", name}}));
        ASSERT_TRUE(fs::exists(name));
        EXPECT_EQ(read_file_bytes(name), contents);
        const Data back(exported);
        EXPECT_EQ(back.name, name);
        EXPECT_EQ(back.buffer->data, contents);
    }
}

// A missing side file ends the process with "crash.txt" in the working directory (the death
// test forks, so the child works in the same folder). A folder is no file either: reading one
// must not report "out of memory" from its size.
TEST(DataJsonDeathTest, MissingSideFileIsFatal) {
    ScopedWorkDir dir;
    fs::create_directory(dir.path() / "sub");
    for (const char* name : {"nowhere.bin", "sub", ""}) {
        const Json value = *name == '\0' ? Json::object() : Json{{"name", name}};
        EXPECT_EXIT({ Data data(value); }, ::testing::ExitedWithCode(1), "");
        const Bytes crash = read_file_bytes(dir.path() / "crash.txt");
        EXPECT_EQ(std::string(crash.begin(), crash.end()),
                  std::string("Fatal error: File not found: ") + name + "\nExiting.");
        if (*name != '\0') {
            EXPECT_EQ(read_whole_file(name), "");
        }
    }
}

}  // namespace
}  // namespace demo
