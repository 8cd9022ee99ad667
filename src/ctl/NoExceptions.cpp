// What a throw does in morvanectl: nothing in it catches an exception, so
// whatever the standard library would throw (an allocation that fails, a
// string grown past its largest size) ends the process at once. Left to
// the library, the same end first builds the exception and names its type,
// and for that links the unwinder, exception classes and the C++ name
// demangler: about 80 KB of the program. libstdc++ built without exceptions
// defines these the same way.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
    abort();
}
void __throw_bad_array_new_length() {
    abort();
}
void __throw_logic_error(const char*) {
    abort();
}
void __throw_length_error(const char*) {
    abort();
}
void __throw_out_of_range(const char*) {
    abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    abort();
}
void __throw_invalid_argument(const char*) {
    abort();
}
} // namespace std
