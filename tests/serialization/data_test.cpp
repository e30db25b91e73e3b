#include "serialization/data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "serialization/file_io.h"
#include "test_support/serialization_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::make_data;
namespace fs = std::filesystem;

TEST(DataJson, ValuesSideFilesAndExports) {
    ScopedWorkDir dir;
    // A name or a buffer that is not a string is empty; text that is not base64 is refused.
    EXPECT_EQ(Data(Json{{"name", 5}, {"data_buffer", "YQ=="}}).name, "");
    EXPECT_EQ(Data(Json{{"name", "n"}, {"data_buffer", 42}}).buffer->size(), 0u);
    EXPECT_EQ(test_util::thrown<std::runtime_error>([] {
                  Data(Json{{"name", "n"}, {"data_buffer", "aGVs bG8="}});
              }),
              "Input is not valid base64-encoded data.");
    // Export writes the side file named by the name, over a stale one, and keeps only the name.
    // A blob without a buffer stands for an empty one: in the package (or what follows would be
    // misread) and as a side file (or the project could not be read back).
    write_file_bytes("empty.bin", bytes_of("stale contents"));
    Data none;
    none.name = "blobs/none.bin";
    EXPECT_EQ(test_util::binary_form(none), concat({stored_string("blobs/none.bin"), u64(0)}));
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
        EXPECT_EQ(Data(exported).buffer->data, contents);
    }
}

}  // namespace
}  // namespace demo
