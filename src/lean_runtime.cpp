// The exe is built without exceptions. What the library would throw (no memory left, a string
// longer than a string can be) nobody here could catch, so it ends the process at once, as an
// uncaught throw would. Defining these here keeps the library's exception machinery, with its
// demangler, unwinder and the thread library under them, out of the exe.
//
// Adding code: libstdc++ keeps all its __throw_* helpers in one object (functexcept.o). A
// call to a helper not defined here, as std::stoi makes to __throw_invalid_argument, has the
// linker take that whole object from libstdc++.a, whose __throw_bad_alloc and the rest then
// clash with these: "multiple definition of `std::__throw_bad_alloc()'". Define that helper
// here too, ending the process as these do, or do without the call.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    std::abort();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std
