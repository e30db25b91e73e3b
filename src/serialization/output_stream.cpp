#include "serialization/output_stream.h"

namespace demo {

uint64_t OutputStream::id_of(const void* object) const {
    if (object == nullptr)
        return 0;
    if (ids_ != nullptr) {
        auto it = ids_->find(object);
        if (it != ids_->end())
            return it->second;
    }
    return reinterpret_cast<uintptr_t>(object);
}

void OutputStream::write_bytes(const void* data, uint64_t size) {
    if (size == 0)
        return;
    if (bytes_ != nullptr) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_->insert(bytes_->end(), p, p + size);
    } else if (std::fwrite(data, 1, size, file_) != size) {
        ok_ = false;
    }
    written_ += size;
}

}  // namespace demo
