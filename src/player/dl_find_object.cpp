// The self-contained Linux player links GCC's unwinder statically. Built on glibc 2.35 or
// newer, the unwinder finds the unwind tables of a code address with _dl_find_object, which
// glibc 2.34 lacks; through it alone the player would need glibc 2.35. This definition, which
// the linker prefers to glibc's, finds the same through dl_iterate_phdr, which every glibc has.
// Only exceptions and backtraces ask, so the walk over the loaded objects costs nothing else.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdint>

namespace {

struct Search {
    uintptr_t address;
    dl_find_object* result;
    bool found;
};

// Fills the search's result from the object whose loaded segments hold its address.
int visit_object(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    uintptr_t start = UINTPTR_MAX;
    uintptr_t end = 0;
    void* eh_frame = nullptr;
    bool holds = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD) {
            start = std::min(start, begin);
            end = std::max(end, begin + segment.p_memsz);
            holds =
                holds || (search->address >= begin && search->address < begin + segment.p_memsz);
        } else if (segment.p_type == PT_GNU_EH_FRAME) {
            eh_frame = reinterpret_cast<void*>(begin);
        }
    }
    if (!holds)
        return 0;
    *search->result = {};
    search->result->dlfo_map_start = reinterpret_cast<void*>(start);
    search->result->dlfo_map_end = reinterpret_cast<void*>(end);
    search->result->dlfo_eh_frame = eh_frame;
    search->found = true;
    return 1;
}

}  // namespace

extern "C" int _dl_find_object(void* address, dl_find_object* result) noexcept {
    Search search{reinterpret_cast<uintptr_t>(address), result, false};
    dl_iterate_phdr(visit_object, &search);
    return search.found ? 0 : -1;
}
