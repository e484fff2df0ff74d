// ThreadSanitizer builds only. cpp-httplib comes as a system library built
// without ThreadSanitizer, so its own synchronisation (the inline guard of a
// function-local static table, for one) is invisible to the tool, and the
// memcmp/memcpy calls it makes on data shared that way show up as races.
// Only accesses made from inside that library are ignored; this program's
// own code stays checked.
extern "C" __attribute__((visibility("default"), used)) const char*
__tsan_default_suppressions() {
  return "called_from_lib:libcpp-httplib.so.0.11\n";
}
