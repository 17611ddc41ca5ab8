// Project1.exe is built without exceptions. Where the standard library would throw (memory
// exhausted, a length beyond any string), the launcher ends at once instead: it has nothing to
// recover and nobody to report to. Defining the library's throw points here keeps the exception
// runtime out of the executable, and with it a threads library and a name demangler that would
// make up three quarters of the file.

#include <cstdlib>
#include <new>

namespace std {
[[noreturn]] void __throw_bad_alloc() { abort(); }
[[noreturn]] void __throw_bad_array_new_length() { abort(); }
[[noreturn]] void __throw_length_error(const char*) { abort(); }
[[noreturn]] void __throw_logic_error(const char*) { abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { abort(); }
[[noreturn]] void __throw_bad_function_call() { abort(); }
}  // namespace std

void* operator new(std::size_t size)
{
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    std::abort();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
