// A failed allocation must reach the runtime as a null pointer (which it reports as a fatal
// error) rather than stop the sanitizer-instrumented test process.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
