// A module of our own for the loader's tests, built by clang for MinGW-w64 (whose GCC would
// emulate thread_local through KERNEL32's TlsAlloc instead of the TLS directory): thread-local
// data with a template, read through the TLS index and the thread block, and a TLS callback.
using TlsCallback = void(__attribute__((stdcall)) *)(void*, unsigned long, void*);

thread_local int counter = 42;
int notices = 0;         // one digit per notification: its reason plus one
int seenByCallback = 0;  // the thread-local value when the callback first ran

void __attribute__((stdcall)) Notice(void*, unsigned long reason, void*) {
  notices = notices * 10 + static_cast<int>(reason) + 1;
  if (seenByCallback == 0) seenByCallback = counter;
}
// Between the C runtime's first and last entries of the callback list.
extern "C" __attribute__((section(".CRT$XLB"), used)) const TlsCallback noticeCallback = Notice;

// 1: the notifications seen; 2: the thread-local value the callback saw; else the next count.
extern "C" __declspec(dllexport) int Probe(int what) {
  if (what == 1) return notices;
  if (what == 2) return seenByCallback;
  return ++counter;
}
