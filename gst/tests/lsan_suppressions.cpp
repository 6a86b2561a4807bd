// Leaks that the sanitizer build must not count against the element: GLib and
// GStreamer keep blocks of their own (thread pools, the type system, polls)
// until the process ends, and LeakSanitizer, which cannot unwind through GLib,
// now and then sees one of them at exit with nothing but g_malloc in its stack.
// The element's own memory is allocated by C++ and stays checked.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:^g_malloc$\n";
}
