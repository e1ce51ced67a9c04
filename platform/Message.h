// Window handles, per-thread message queues, posting and sending, timers and message loops, in
// the design's Windows vocabulary. Logic code is written against these; the GUI layer attaches Qt
// windows to the same handles and pumps the same queues.
//
// Threading: each window belongs to the thread that created it, and its procedure runs only
// there. PostMessage and IsWindow may be called from any thread; SendMessage to another thread's
// window blocks until that thread has handled it (while it waits, sends to the waiting thread are
// still handled, so two threads sending to each other do not deadlock). Timers, loops, GetMessage
// and PeekMessage act on the calling thread's queue.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using UINT = uint32_t;
using DWORD = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
struct HWND__;
using HWND = HWND__*;  // opaque; never dereferenced. Handles of other processes are valid too.

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
// Posted by SetForegroundWindow: the window is asked to show itself and come to the front.
constexpr UINT WM_LX_FOREGROUND = 0x7FF0;

inline constexpr DWORD LoWord(uintptr_t v) { return static_cast<DWORD>(v & 0xFFFF); }
inline constexpr DWORD HiWord(uintptr_t v) { return static_cast<DWORD>((v >> 16) & 0xFFFF); }
inline constexpr WPARAM MakeWParam(DWORD lo, DWORD hi) { return (static_cast<WPARAM>(hi & 0xFFFF) << 16) | (lo & 0xFFFF); }

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    uint32_t time = 0;  // tick count when queued
};

// The procedure of one window. Called on the window's own thread only.
class IWindowProc {
public:
    virtual LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IWindowProc() = default;
};

// Creates a window bound to the calling thread's queue. A non-empty title makes it findable by
// FindWindow from this and other processes (the design's top-level window titles).
// `proc` must outlive the window. Sends WM_CREATE before returning.
HWND CreateMessageWindow(IWindowProc* proc, std::u16string_view title = {});
// Sends WM_DESTROY, kills its timers and forgets the handle; later posts to it are dropped.
// Only on the window's own thread.
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
std::u16string GetWindowTitle(HWND hwnd);
bool SetWindowTitle(HWND hwnd, std::u16string_view title);

// Queues a message; false when the handle does not exist (then nothing happens).
// Messages posted from one thread to one window arrive in posting order.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window's procedure and returns its result: directly on the window's thread, else by
// waiting for its thread. 0 when the handle does not exist or belongs to another process (where
// it is posted instead).
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_TIMER (wParam = id) every elapse_ms on the window's thread, until KillTimer. Setting an
// existing id restarts it. Returns id, or 0 for a handle that is not a window of this thread.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms);
bool KillTimer(HWND hwnd, UINT_PTR id);

// Queues WM_QUIT (wParam = exit_code) on the calling thread's queue; it is taken after the
// messages already queued.
void PostQuitMessage(int exit_code);
// Waits for the next message of this thread (due timers included); false when it is WM_QUIT.
bool GetMessage(MSG* msg);
// Takes (remove) or looks at the next message without waiting; false when there is none.
bool PeekMessage(MSG* msg, bool remove);
// Waits up to timeout_ms until a message or timer is due on this thread; true when one is.
bool WaitMessage(uint32_t timeout_ms);
LRESULT DispatchMessage(const MSG& msg);

// Cross-process: finds a top-level window by exact title in this process or another one of the
// same user; nullptr when none answers. Posting to a window of another process goes over its
// listening socket; SendMessage to it posts and returns 0.
HWND FindWindow(std::u16string_view title);
// Asks the window (here or in another process) to come to the front by posting WM_LX_FOREGROUND.
bool SetForegroundWindow(HWND hwnd);

// How a thread waits for messages. The default waits on a condition variable; the GUI installs a
// pump that runs Qt's event loop while waiting, so Qt input reaches the windows during the wait.
class IThreadPump {
public:
    virtual ~IThreadPump() = default;
    // Waits until Wake is called or timeout_ms passes (kInfinite: no limit). May dispatch
    // platform events (input, painting) meanwhile.
    virtual void Wait(uint32_t timeout_ms) = 0;
    // Called from any thread when a message is queued for the pump's thread.
    virtual void Wake() = 0;
};
// Installs a pump for the calling thread (nullptr restores the default); not owned.
void SetThreadPump(IThreadPump* pump);

class IMessageFilter {
public:
    // True when the message was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* msg) = 0;

protected:
    ~IMessageFilter() = default;
};

class IIdleHandler {
public:
    // Called when the queue is empty; true asks to be called again before waiting.
    virtual bool OnIdle() = 0;

protected:
    ~IIdleHandler() = default;
};

// A message loop for the calling thread: filters, then dispatch; idle handlers when the queue is
// empty. Loops nest (a modal dialog runs its own); a WM_QUIT taken by a nested loop ends it and
// is posted again so the enclosing loops end too.
// Threading: used only on the thread that runs it.
class MessageLoop {
public:
    virtual ~MessageLoop();
    void AddMessageFilter(IMessageFilter* filter);
    void RemoveMessageFilter(IMessageFilter* filter);
    void AddIdleHandler(IIdleHandler* handler);
    void RemoveIdleHandler(IIdleHandler* handler);

    // Runs until WM_QUIT; returns its exit code.
    virtual int Run();
    // Runs until *done becomes true (checked after each message) or WM_QUIT arrives; returns
    // false when it ended on WM_QUIT (which is then posted again).
    bool RunModal(const bool* done);

    // The loop registered for the calling thread (the innermost running one), or nullptr.
    static MessageLoop* ForCurrentThread();

protected:
    virtual bool PreTranslateMessage(MSG* msg);
    virtual bool OnIdle(int idle_count);

private:
    struct Impl;
    Impl* impl_ = nullptr;
    Impl& impl();
};
