// Qt is not built with ThreadSanitizer: its event queue, pooled threads and test watchdog
// lock with futexes TSan cannot see, so their inner accesses show as races. Only Qt Core,
// Gui and Test are silenced; our own code and the widgets stay checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Test.so\n";
}
#endif
