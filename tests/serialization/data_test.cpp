#include "serialization/data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "serialization/file_io.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;
using test_util::make_data;
namespace fs = std::filesystem;

TEST(DataJson, ValuesOfTheWrongKindAndInvalidBase64) {
    // A name or a buffer that is not a string is empty.
    EXPECT_EQ(Data(Json{{"name", 5}, {"data_buffer", "YQ=="}}).name, "");
    EXPECT_EQ(Data(Json{{"name", "n"}, {"data_buffer", 42}}).buffer->size(), 0u);
    test_util::expect_throw_with_message<std::runtime_error>(
        [] {
            Data data(Json{{"name", "n"}, {"data_buffer", "aGVs bG8="}});
        },
        "Input is not valid base64-encoded data.");
}

TEST(DataJson, SideFiles) {
    ScopedWorkDir dir;
    // The embedded bytes win: the side file is not even opened, so a missing one is fine.
    write_file_bytes("blob.bin", bytes_of("from the file"));
    for (const char* name : {"blob.bin", "not/there.bin"})
        EXPECT_EQ(Data(Json{{"name", name}, {"data_buffer", "aGVsbG8="}}).buffer->data,
                  bytes_of("hello"));

    // Export writes the side file named by the name, over a stale one, and keeps only the name.
    // A blob without a buffer stands for an empty one: in the package (or what follows would be
    // misread) and as a side file (or the project could not be read back).
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
