// A module without resources of its own whose dependency has a table.
extern "C" int platform_testlib_dep_value();

extern "C" __attribute__((visibility("default"))) int platform_testlib_user_value() {
  return platform_testlib_dep_value();
}
