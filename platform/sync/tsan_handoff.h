#pragma once
// GLib, GStreamer and Qt are not built for the thread sanitizer, so the order they impose between threads
// (a state change starting the streaming threads, a buffer passed from one element's thread to another's,
// an event posted to another thread's queue) is invisible to it. These marks tell it: Publish before the
// hand-over, Receive after it. No code without the sanitizer.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define VELLUMO_TSAN_PUBLISH(address) \
    __tsan_release(const_cast<void*>(static_cast<const volatile void*>(address)))
#define VELLUMO_TSAN_RECEIVE(address) \
    __tsan_acquire(const_cast<void*>(static_cast<const volatile void*>(address)))
#else
#define VELLUMO_TSAN_PUBLISH(address) ((void)0)
#define VELLUMO_TSAN_RECEIVE(address) ((void)0)
#endif
