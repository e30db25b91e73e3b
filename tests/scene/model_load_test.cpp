// Loading glTF assets: images of any depth and size, damaged assets, the node walk, big skins.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "scene/node_walk.h"
#include "serialization/base64.h"
#include "test_support/image_bytes.h"
#include "test_support/scene_assets.h"

namespace demo::scene_test {
namespace {

std::unique_ptr<Model> from_embedded(const std::string& name, const std::vector<uint8_t>& bytes) {
    return std::make_unique<Model>(
        Json{{"filename", name}, {"buffer", base64_encode(bytes.data(), bytes.size())}});
}

tinygltf::Model asset_with_image(const std::vector<uint8_t>& encoded) {
    tinygltf::Model asset = square_asset();
    tinygltf::Image image;
    image.mimeType = "image/png";
    image.bufferView = gb::add_view(asset, encoded.data(), encoded.size());
    asset.images.push_back(image);
    return asset;
}

TEST(ModelLoading, ImagesBecomeEightBitRgbaOrAreLeftOut) {
    // 2 x 1 grey pixels at 16 bits, 0x8000 and 0xFF00: 8 RGBA bytes for the package to pay.
    const tinygltf::Model grey =
        asset_with_image(image_test::png(2, 1, 16, 0, {{0x80, 0, 0xFF, 0}}));
    const std::vector<uint8_t> glb = write_glb(grey);
    tinygltf::Model parsed;
    EXPECT_EQ(parse_gltf(parsed, glb.data(), glb.size(), true, "").image_bytes, 8u);
    auto deep = load_glb(grey);
    ASSERT_EQ(deep->gltf.images.size(), 1u);
    const tinygltf::Image& image = deep->gltf.images[0];
    EXPECT_EQ(image.bits, 8);
    EXPECT_EQ(image.component, 4);
    EXPECT_EQ(image.image,
              (std::vector<unsigned char>{0x80, 0x80, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    // A text asset is packed from its document; the converted image must survive that (and an
    // upper-case extension is read as GLB too).
    tinygltf::Model text = deep->gltf;
    text.images[0].bufferView = -1;
    text.images[0].uri = "grey.pgm";
    auto again = from_embedded("again.GLB", write_glb(text));
    ASSERT_EQ(again->gltf.images.size(), 1u);
    EXPECT_EQ(again->gltf.images[0].image, image.image);

    auto bomb = load_glb(asset_with_image(image_test::bmp_header(30000, 30000)));
    EXPECT_TRUE(bomb->parsed);
    EXPECT_EQ(bomb->gltf.images[0].width, 0);
    EXPECT_NE(bomb->parse_warnings.find("30000 x 30000"), std::string::npos);
    // Packed from a text asset whose image came from a data URI, the image left out keeps its
    // bytes: the GLB is valid and says again what will not show. An image's buffer view past
    // its buffer is not read.
    tinygltf::Model packed = bomb->gltf;
    packed.images[0].bufferView = -1;
    auto repacked = load_glb(packed);
    EXPECT_TRUE(repacked->parsed) << repacked->parse_errors;
    EXPECT_NE(repacked->parse_warnings.find("30000 x 30000"), std::string::npos);
    tinygltf::Model beyond = asset_with_image(image_test::bmp_header(2, 2));
    beyond.bufferViews.back().byteLength = 1 << 20;
    EXPECT_NE(load_glb(beyond)->parse_warnings.find("lies outside its buffer"), std::string::npos);
}

// Each damage is named and said at load; the node walk keeps to meshes that exist.
TEST(ModelLoading, DamagedAssetsLoadAndNameTheElement) {
    const float s = 0.70710678f;
    for (const Damage& damage : damaged_assets()) {
        SCOPED_TRACE(damage.reported);
        tinygltf::Model asset = bending_strip({0, 0, s, s});
        damage.apply(asset);
        testing::internal::CaptureStdout();
        auto model = load_glb(asset);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("Model 'asset.glb': "),
                  std::string::npos);
        std::string problems;
        for (const std::string& line : model->problems())
            problems += line + "\n";
        EXPECT_NE(problems.find(damage.reported), std::string::npos) << problems;
        std::vector<NodeDraw> draws;
        walk_nodes(*model, draws);
        for (const NodeDraw& draw : draws)
            EXPECT_LT(static_cast<size_t>(draw.mesh), model->gltf.meshes.size());
    }
}

// A child's world matrix is its parent's world times its own: (1, 0, 0) then (0, 2, 0); when
// animated, its animated transform ((0, 5, 0) from a one-key channel) replaces only its own.
TEST(NodeWalk, ChildrenAreTransformedByTheirParentsWorld) {
    for (const bool animated : {false, true}) {
        tinygltf::Model asset;
        const int child = gb::add_node(asset, "child", add_square(asset));
        const int parent = gb::add_node(asset, "parent", -1, {child});
        const int root = gb::add_node(asset, "root", -1, {parent});
        asset.nodes[child].translation = {0, 2, 0};
        asset.nodes[parent].translation = {1, 0, 0};
        asset.nodes[root].scale = {3, 3, 3};
        if (animated)
            gb::add_channel(asset, -1, "raise", child, "translation", {0}, {0, 5, 0});
        gb::set_scene(asset, {root});
        auto model = load_glb(asset);
        animate_nodes(*model, 1, 0.5f);
        std::vector<NodeDraw> draws;
        walk_nodes(*model, draws);
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0].world[3], glm::vec4(3, animated ? 15 : 6, 0, 1));
    }
}

// glTF takes a skin without inverse bind matrices as one whose matrices are all the identity.
TEST(ModelLoading, ASkinWithoutInverseBindMatricesHasIdentityOnes) {
    tinygltf::Model asset = bending_strip({0, 0, 0, 1});
    asset.skins[0].inverseBindMatrices = -1;
    auto model = load_glb(asset);
    ASSERT_EQ(model->skeleton->joints.size(), 2u);
    Animation::update_skeleton(*model->skeleton);
    expect_matrix_near(model->skeleton->joint_matrices[1],
                       glm::translate(glm::mat4(1.0f), glm::vec3(0, 1, 0)), "joint 1 at rest");
    EXPECT_EQ(model->problems(), std::vector<std::string>{});
}

TEST(ModelLoading, MoreThanAHundredJointsAreSaid) {
    tinygltf::Model asset = bending_strip({0, 0, 0, 1});
    std::vector<float> matrices;
    for (int j = 0; j < 101; ++j) {
        if (j >= 2)
            asset.skins[0].joints.push_back(gb::add_node(asset, "j" + std::to_string(j)));
        matrices.insert(matrices.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    }
    asset.skins[0].inverseBindMatrices = gb::add_floats(asset, matrices, 16);
    testing::internal::CaptureStdout();
    auto model = load_glb(asset);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(model->skeleton->joints.size(), 101u);
    EXPECT_NE(model->check.problems.back().find("101 joints"), std::string::npos);
}

}  // namespace
}  // namespace demo::scene_test
