/* Preloaded into every program of the sanitizer runs: libraries stay loaded
   to the end, so LeakSanitizer can name the library behind a leak (SDL loads
   and unloads the X11 and GL libraries itself) and the suppressions apply. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
