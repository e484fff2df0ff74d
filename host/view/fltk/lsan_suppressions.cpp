// FLTK 1.3 opens its fonts through Xft and keeps them for the life of the
// process; fontconfig's patterns behind them are never freed, which
// LeakSanitizer reports at exit. Only fontconfig's own allocations are
// suppressed; leaks of this program, FLTK's widgets included, are still
// reported. Linked into ASan builds of the programs that use the view.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
