// Leaks that the sanitizer build must not count against the player: the font
// configuration library keeps its caches until the process ends.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
