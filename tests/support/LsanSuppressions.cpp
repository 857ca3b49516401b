// Linked into the programs of sanitized builds (the studio, the test suites,
// the tools and the fuzz targets). fontconfig, under Qt's font database, keeps
// its caches for the life of the process, and so does the embedded Python
// interpreter after finalizing, and D-Bus, which Qt's X11 platform talks to on
// a display; LeakSanitizer is told so instead of failing every run.
#if defined(__SANITIZE_ADDRESS__)
#define TAMSEL_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAMSEL_LSAN 1
#endif
#endif

#ifdef TAMSEL_LSAN
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libpython3\n"
           // libxml2 and libxslt come in with lxml under fontTools.
           "leak:libxml2.so\n"
           "leak:libxslt.so\n"
           "leak:libexslt.so\n"
           "leak:libdbus-1.so\n";
}
#endif
