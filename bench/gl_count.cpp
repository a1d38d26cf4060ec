// An OpenGL library for SDL to load in place of the system's (SDL_OPENGL_LIBRARY): it hands out
// the system's functions, all but the draw calls, which it counts on their way through.
#include <cstdint>
#include <cstring>
#include <dlfcn.h>

namespace {
using Lookup = void* (*)(const unsigned char*);
using DrawArrays = void (*)(unsigned, int, int);
using DrawElements = void (*)(unsigned, int, unsigned, const void*);

uint64_t DRAWS = 0;
DrawArrays REAL_DRAW_ARRAYS = nullptr;
DrawElements REAL_DRAW_ELEMENTS = nullptr;

void draw_arrays(unsigned mode, int first, int count) {
    DRAWS++;
    REAL_DRAW_ARRAYS(mode, first, count);
}

void draw_elements(unsigned mode, int count, unsigned type, const void* indices) {
    DRAWS++;
    REAL_DRAW_ELEMENTS(mode, count, type, indices);
}

// The system's lookup, found past this library: SDL finds every other glX function there too,
// through this library's dependence on the system's.
void* counted(const char* lookup_name, const unsigned char* name) {
    static auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, lookup_name));
    void* function = real ? real(name) : nullptr;
    if (!function) return nullptr;
    const char* text = reinterpret_cast<const char*>(name);
    if (std::strcmp(text, "glDrawArrays") == 0) {
        REAL_DRAW_ARRAYS = reinterpret_cast<DrawArrays>(function);
        return reinterpret_cast<void*>(draw_arrays);
    }
    if (std::strcmp(text, "glDrawElements") == 0) {
        REAL_DRAW_ELEMENTS = reinterpret_cast<DrawElements>(function);
        return reinterpret_cast<void*>(draw_elements);
    }
    return function;
}
} // namespace

extern "C" {
__attribute__((visibility("default"))) void* glXGetProcAddressARB(const unsigned char* name) {
    return counted("glXGetProcAddressARB", name);
}

__attribute__((visibility("default"))) void* glXGetProcAddress(const unsigned char* name) {
    return counted("glXGetProcAddress", name);
}

// glDrawArrays and glDrawElements made through this library since it was loaded.
__attribute__((visibility("default"))) uint64_t gl_draw_calls() {
    return DRAWS;
}
}
