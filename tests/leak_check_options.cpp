// LeakSanitizer's scan of thread-local storage crashes its leak check at exit
// in some runs of the programs that load Qt's plugins ("Tracer caught signal
// 11", GCC 12's sanitizer with glibc 2.36): it reads the dynamic TLS block of
// a library that is gone by then. It shows under load only, in whichever test
// program ends that way, so every program skips that scan. What GLib keeps
// per thread there then looks leaked and is passed over.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_options() {
  return "use_tls=0:suppressions=" FOLIM_TEST_DATA_DIR "/../lsan_tls.supp";
}
#endif
