// A libtesmor.so that exports none of the decoder's functions, for the tests
// of a library that loads but lacks the export the player asks for.
extern "C" __attribute__((visibility("default"))) int tesmor_stand_in_version() {
  return 1;
}
