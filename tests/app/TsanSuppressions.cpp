// Qt is not built with TSan: its inner locking is invisible to it. Only Qt Core, Gui and
// Test are silenced; our code and the widgets stay checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Test.so\n";
}
#endif
