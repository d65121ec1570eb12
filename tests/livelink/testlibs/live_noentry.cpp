// A shared library that loads but exports no live-link entry point.
extern "C" int vxtest_not_the_entry_point() { return 1; }
