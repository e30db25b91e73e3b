// The GPU side of a model: buffers, one vertex array per primitive with fixed attribute
// locations, one texture per glTF image, and the joint-matrix uniform buffer.
#pragma once

namespace demo {

class Model;

// Attribute locations every primitive's vertex array uses.
enum VertexLocation : unsigned {
    kPositionLocation = 0,
    kNormalLocation = 1,
    kTexcoordLocation = 2,
    kJointsLocation = 3,
    kWeightsLocation = 4,
};

// Bytes of the joint-matrix uniform buffer: 100 matrices.
inline constexpr long kMatricesBufferSize = 6400;

// Uploads the parsed document. Primitives the validation pass rejected keep their vertex
// array slot but are not set up. Prints "Number of VAOs: n".
void upload_to_gpu(Model& model);

// Deletes the buffers, vertex arrays, textures and joint-matrix buffer.
void release(Model& model);

}  // namespace demo
